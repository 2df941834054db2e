#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "images/picture.h"

namespace corvane {

// One picture of the image cache.
struct TBitmapItem {
  TPicture Picture;  // a still picture's mask travels with it
  TTransparency Transparency = TTransparency::None;
  int AccessCount = 0;  // loads since the entry was last used
  int UsageCount = 0;   // image objects that hold the picture now
};

// The image cache that a viewer shares with its documents, so that a picture used again within the next
// loads is not fetched again, and one shown by many image objects is decoded once. Entries are found by
// hash under their key (the name upper-cased and trimmed). User-interface thread only.
class TStringBitmapList {
 public:
  // The maximum count of a cache made without a viewer; a viewer gives its ImageCacheCount (5).
  static constexpr int kDefaultMaxCount = 4;

  explicit TStringBitmapList(int maxCount = kDefaultMaxCount) : m_maxCount(maxCount) {}

  // The key of a picture name: upper-cased in the ASCII letters, trimmed of characters of code 32 or below.
  static std::string Key(std::string_view name);

  // Nullptr when there is no entry of that name. Entries stay where they are until freed.
  TBitmapItem* Find(std::string_view name);
  // Stores a picture (replacing an entry of the same name), with access count 0.
  TBitmapItem& Add(std::string_view name, TPicture picture, TTransparency transparency, int usageCount = 1);
  // An image object takes the entry's picture: access count 0, usage count + 1.
  static TPicture Use(TBitmapItem& item);
  // An image object that held the picture of name is freed: usage count - 1 (not below 0).
  void Release(std::string_view name);

  // Run at every load: every entry's access count grows by 1, and an entry whose access count then
  // exceeds the maximum count and that no image object holds is freed. The names remembered as missing
  // are forgotten.
  void Purge();
  int MaxCount() const { return m_maxCount; }
  // Frees the entries no image object holds whose access count exceeds the new maximum.
  void SetMaxCount(int maxCount);
  void Clear();
  int Count() const { return static_cast<int>(m_items.size()); }

  // Names that gave no picture since the last purge (one load), so that a page that shows one missing
  // or broken picture many times looks for it once.
  void MarkMissing(std::string_view name);
  bool IsMissing(std::string_view name) const;

 private:
  void FreeUnused();

  std::unordered_map<std::string, TBitmapItem> m_items;
  std::unordered_set<std::string> m_missing;
  int m_maxCount;
};

}  // namespace corvane
