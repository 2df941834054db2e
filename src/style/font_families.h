#pragma once

#include <functional>
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

// The font families of this system, as one document sees them: the families of the font database, and
// every name that fontconfig maps to a metric-compatible installed family ("Times New Roman" where
// "Liberation Serif" is installed). Answers are cached, so keep one per document.
class TInstalledFonts {
 public:
  // Case-insensitive. Without a QGuiApplication there is no font database and nothing is installed.
  bool IsInstalled(std::string_view family);
  std::optional<std::string> FirstInstalledFont(std::string_view list);

 private:
  void LoadFamilies();
  bool HasMetricAlias(const std::string& lowerFamily) const;

  bool m_loaded = false;
  std::vector<std::string> m_families;  // lower case, sorted
  std::unordered_map<std::string, bool> m_aliases;
};

}  // namespace corvane
