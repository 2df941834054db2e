#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "style/prop_stack.h"
#include "style/style_list.h"
#include "style/style_sheet_parser.h"

namespace corvane::testing {

// A document's style list with the built-in rules at 96 pixels per inch, a property stack on it, and the
// inline style sets its elements use.
class TStyledDocument {
 public:
  explicit TStyledDocument(TStyleDefaults defaults = {}) : m_styles(96.0) {
    m_styles.LoadDefaults(defaults);
    m_stack = std::make_unique<TPropStack>(m_styles);
  }

  TStyleList& Styles() { return m_styles; }
  TPropStack& Stack() { return *m_stack; }

  // Adds the declarations "name: value" of one selector key to the style list.
  void AddRule(std::string_view key, const std::vector<std::pair<std::string, std::string>>& declarations) {
    for (const auto& [name, value] : declarations) m_styles.AddDeclaration(key, name, value);
  }

  // Reads the rules of a style sheet text.
  void AddSheet(std::string_view sheet) { ParseStyleSheetText(m_styles, sheet); }

  // A style attribute's set read from its text.
  const TProperties* StyleAttribute(std::string_view text) {
    auto set = std::make_unique<TProperties>(m_styles.Context());
    ParseInlineStyle(text, *set);
    m_inlineStyles.push_back(std::move(set));
    return m_inlineStyles.back().get();
  }

  // A style attribute's set with the given declarations.
  const TProperties* InlineStyle(const std::vector<std::pair<std::string, std::string>>& declarations) {
    auto set = std::make_unique<TProperties>(m_styles.Context());
    for (const auto& [name, value] : declarations) set->SetDeclarationByName(name, value);
    m_inlineStyles.push_back(std::move(set));
    return m_inlineStyles.back().get();
  }

  TProperties& Push(std::string_view tag, std::string_view cls = {}, std::string_view id = {},
                    std::string_view pseudo = {}, const TProperties* inlineStyle = nullptr) {
    return m_stack->PushProperties({tag, cls, id, pseudo, {}, inlineStyle});
  }

  // Pushes an element whose style attribute gives it the font size.
  TProperties& PushSized(std::string_view tag, std::string_view fontSize) {
    return Push(tag, {}, {}, {}, InlineStyle({{"font-size", std::string(fontSize)}}));
  }

 private:
  TStyleList m_styles;
  std::unique_ptr<TPropStack> m_stack;
  std::vector<std::unique_ptr<TProperties>> m_inlineStyles;
};

}  // namespace corvane::testing
