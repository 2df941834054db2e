#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace corvane {

// The first installed family of a "font-family" list: items split at ",", trimmed, generic names replaced
// ("serif" by "Times New Roman", "monospace" by "Courier New", "sans-serif" and "Helvetica" by "Arial",
// "cursive" by "Lucida Handwriting"), then one trailing and one leading quote removed. An empty item
// ends the search without a result.
std::optional<std::string> FirstInstalledFont(std::string_view list,
                                              const std::function<bool(std::string_view)>& isInstalled);

// The font families of this system: the families of the font database, and every name that fontconfig
// maps to a metric-compatible installed family ("Times New Roman" where "Liberation Serif" is
// installed). One index serves the whole process (Process()), so that fontconfig is asked about a
// family once, not once per document.
//
// Thread-safe: the family list is read from the font database once, under a mutex, the first time a
// QGuiApplication exists, and never changes after; the answers about aliases are kept in a map guarded
// by a mutex, and fontconfig is asked outside it (two threads may both ask about a new family; the
// answers agree). Without a QGuiApplication there is no font database and nothing is installed, and
// the list is read again on the next question.
class TFontFamilyIndex {
 public:
  TFontFamilyIndex() = default;
  TFontFamilyIndex(const TFontFamilyIndex&) = delete;
  TFontFamilyIndex& operator=(const TFontFamilyIndex&) = delete;

  // The index of this process, made on first use and kept until the process ends.
  static TFontFamilyIndex& Process();

  // Case-insensitive.
  bool IsInstalled(std::string_view family);

 private:
  bool LoadFamilies();
  bool HasMetricAlias(const std::string& lowerFamily) const;

  std::mutex m_mutex;
  std::atomic<bool> m_loaded{false};
  std::vector<std::string> m_families;  // lower case, sorted; set once, under m_mutex
  std::unordered_map<std::string, bool> m_aliases;  // under m_mutex
};

// The font families as one document sees them: the answers of an index (the process's unless told),
// with the first installed family of each "font-family" list the document asked about remembered, so
// that elements of one style ask the index once. Not thread-safe: one document is styled on one
// thread at a time; the index below it may be shared by every thread.
class TInstalledFonts {
 public:
  TInstalledFonts() : m_index(&TFontFamilyIndex::Process()) {}
  explicit TInstalledFonts(TFontFamilyIndex& index) : m_index(&index) {}

  // Case-insensitive.
  bool IsInstalled(std::string_view family) { return m_index->IsInstalled(family); }
  std::optional<std::string> FirstInstalledFont(std::string_view list);

 private:
  // Hashes keys given as std::string or std::string_view alike, so that lookups need no copy.
  struct TKeyHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view key) const { return std::hash<std::string_view>{}(key); }
  };

  TFontFamilyIndex* m_index;
  std::unordered_map<std::string, std::optional<std::string>, TKeyHash, std::equal_to<>> m_lists;
};

}  // namespace corvane
