#include "style/font_families.h"

#include <fontconfig/fontconfig.h>

#include <QFontDatabase>
#include <QGuiApplication>

#include <algorithm>

#include "style/style_text.h"

namespace corvane {

namespace {

using namespace style_text;

std::string_view GenericReplacement(std::string_view item) {
  if (EqualsIgnoreCase(item, "serif")) return "Times New Roman";
  if (EqualsIgnoreCase(item, "monospace")) return "Courier New";
  if (EqualsIgnoreCase(item, "sans-serif")) return "Arial";
  if (EqualsIgnoreCase(item, "cursive")) return "Lucida Handwriting";
  if (EqualsIgnoreCase(item, "Helvetica")) return "Arial";
  return item;
}

bool IsQuote(char c) { return c == '"' || c == '\''; }

}  // namespace

std::optional<std::string> FirstInstalledFont(std::string_view list,
                                              const std::function<bool(std::string_view)>& isInstalled) {
  std::string_view rest = list;
  while (true) {
    const std::size_t comma = rest.find(',');
    std::string_view item = GenericReplacement(Trim(rest.substr(0, comma)));
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    if (!item.empty() && IsQuote(item.back())) item.remove_suffix(1);
    if (!item.empty() && IsQuote(item.front())) item.remove_prefix(1);
    if (item.empty()) return std::nullopt;
    if (isInstalled(item)) return std::string(item);
  }
}

TFontFamilyIndex& TFontFamilyIndex::Process() {
  // Never destroyed, so that documents that outlive main's locals still find it.
  static TFontFamilyIndex* const index = new TFontFamilyIndex;
  return *index;
}

bool TFontFamilyIndex::IsInstalled(std::string_view family) {
  if (!LoadFamilies()) return false;
  std::string lower = LowerCopy(family);
  if (std::binary_search(m_families.begin(), m_families.end(), lower)) return true;
  {
    const std::lock_guard<std::mutex> lock(m_mutex);
    const auto known = m_aliases.find(lower);
    if (known != m_aliases.end()) return known->second;
  }
  const bool installed = HasMetricAlias(lower);
  const std::lock_guard<std::mutex> lock(m_mutex);
  m_aliases.emplace(std::move(lower), installed);
  return installed;
}

bool TFontFamilyIndex::LoadFamilies() {
  if (m_loaded.load(std::memory_order_acquire)) return true;
  const std::lock_guard<std::mutex> lock(m_mutex);
  if (m_loaded.load(std::memory_order_relaxed)) return true;
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return false;
  for (const QString& family : QFontDatabase::families()) m_families.push_back(LowerCopy(family.toStdString()));
  std::sort(m_families.begin(), m_families.end());
  m_loaded.store(true, std::memory_order_release);
  return true;
}

std::optional<std::string> TInstalledFonts::FirstInstalledFont(std::string_view list) {
  const auto known = m_lists.find(list);
  if (known != m_lists.end()) return known->second;
  std::optional<std::string> first =
      corvane::FirstInstalledFont(list, [this](std::string_view family) { return IsInstalled(family); });
  m_lists.emplace(std::string(list), first);
  return first;
}

// fontconfig's configuration binds the metric-compatible replacements of a family strongly to it, and
// only weakly the look-alikes and generic fall-backs, which keep the metrics of neither.
bool TFontFamilyIndex::HasMetricAlias(const std::string& lowerFamily) const {
  if (m_families.empty()) return false;
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return false;
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(lowerFamily.c_str()));
  bool found = false;
  if (FcConfigSubstitute(nullptr, pattern, FcMatchPattern)) {
    for (int i = 1; !found; ++i) {
      FcValue value;
      FcValueBinding binding;
      if (FcPatternGetWithBinding(pattern, FC_FAMILY, i, &value, &binding) != FcResultMatch) break;
      if (binding != FcValueBindingStrong || value.type != FcTypeString) continue;
      const std::string alias = LowerCopy(reinterpret_cast<const char*>(value.u.s));
      found = std::binary_search(m_families.begin(), m_families.end(), alias);
    }
  }
  FcPatternDestroy(pattern);
  return found;
}

}  // namespace corvane
