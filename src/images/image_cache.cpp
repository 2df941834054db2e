#include "images/image_cache.h"

#include <algorithm>

namespace corvane {

std::string TStringBitmapList::Key(std::string_view name) {
  std::size_t first = 0;
  std::size_t last = name.size();
  while (first < last && static_cast<unsigned char>(name[first]) <= 32) ++first;
  while (last > first && static_cast<unsigned char>(name[last - 1]) <= 32) --last;
  std::string key(name.substr(first, last - first));
  for (char& c : key) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return key;
}

TBitmapItem* TStringBitmapList::Find(std::string_view name) {
  const auto found = m_items.find(Key(name));
  return found == m_items.end() ? nullptr : &found->second;
}

TBitmapItem& TStringBitmapList::Add(std::string_view name, TPicture picture, TTransparency transparency,
                                    int usageCount) {
  std::string key = Key(name);
  m_missing.erase(key);
  TBitmapItem& item = m_items[std::move(key)];
  item = TBitmapItem{std::move(picture), transparency, 0, usageCount};
  return item;
}

TPicture TStringBitmapList::Use(TBitmapItem& item) {
  item.AccessCount = 0;
  ++item.UsageCount;
  return item.Picture;
}

void TStringBitmapList::Release(std::string_view name) {
  if (TBitmapItem* item = Find(name)) item->UsageCount = std::max(0, item->UsageCount - 1);
}

void TStringBitmapList::FreeUnused() {
  std::erase_if(m_items, [this](const auto& entry) {
    return entry.second.AccessCount > m_maxCount && entry.second.UsageCount < 1;
  });
}

void TStringBitmapList::Purge() {
  for (auto& entry : m_items) ++entry.second.AccessCount;
  FreeUnused();
  m_missing.clear();
}

void TStringBitmapList::SetMaxCount(int maxCount) {
  m_maxCount = maxCount;
  FreeUnused();
}

void TStringBitmapList::Clear() {
  m_items.clear();
  m_missing.clear();
}

void TStringBitmapList::MarkMissing(std::string_view name) { m_missing.insert(Key(name)); }

bool TStringBitmapList::IsMissing(std::string_view name) const { return m_missing.contains(Key(name)); }

}  // namespace corvane
