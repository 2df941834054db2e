// Links and font changes in inline content: A, FONT and BASEFONT.
#include <algorithm>
#include <array>
#include <optional>
#include <string>

#include "builder/document_builder.h"
#include "html/attribute_list.h"
#include "layout/section.h"
#include "layout/section_list.h"
#include "style/prop_stack.h"
#include "style/style_context.h"

namespace corvane {

namespace {

using S = TagSymbol;

// Font sizes 1..7 in points for ordinary and for preformatted text.
constexpr std::array<int, 7> kFontSizes = {8, 10, 12, 14, 18, 24, 36};
constexpr std::array<int, 7> kPreFontSizes = {7, 8, 10, 12, 15, 20, 30};

}  // namespace

void THtmlBuilder::BuildAnchor(bool readNext) {
  const TAttribute* href = Attributes().Find(S::SymHref);
  std::string_view pseudo;
  if (href) {
    EndLink();
    InLink = true;
    const TAttribute* target = Attributes().Find(S::SymTarget);
    LinkTarget.Assign(href->Text, target ? std::string_view(target->Text) : std::string_view(), Position(),
                      &Attributes());
    if (const TAttribute* tabIndex = Attributes().Find(S::SymTabindex)) LinkTarget.TabIndex = tabIndex->Value;
    pseudo = "link";
  }
  PushProperties("a", pseudo);
  InlineBoxCheck();
  if (CurrentSection) {
    CurrentSection->ChangeFont(Top());
  } else {
    OpenSection();
  }
  if (const TAttribute* name = Attributes().Find(S::SymName)) {
    std::string upper = name->Text;
    for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    if (!upper.empty() && upper[0] == '#') upper.erase(0, 1);
    m_document.IDNameList.AddPosition(upper, Position());
    CurrentSection->MarkAnchor();
  }
  if (href) CurrentSection->StartLink(LinkTarget, Top());
  if (readNext) NextToken();
}

void THtmlBuilder::EndLink() {
  if (InLink) {
    std::vector<TFontObj*>& runs = m_document.LinkRuns();
    LinkTarget.SetEnd(static_cast<int>(runs.size()),
                      [&runs](int i) { return &runs[static_cast<std::size_t>(i)]->EditRunTarget(); }, Position());
    LinkTarget.Clear();
    InLink = false;
  }
  PopProperties("a");
  if (CurrentSection) CurrentSection->EndLink(Top());
}

void THtmlBuilder::BuildFont(bool baseFont, bool preformatted) {
  int size = 0;
  std::optional<TColor> colour;
  std::string face;
  std::optional<int> charSet;
  TStyleContext& context = Top().Context();
  for (const auto& attribute : Attributes()) {
    switch (attribute->Symbol) {
      case S::SymSize: {
        // Sizes run from 1 to 7, so a relative step beyond 7 either way is as good as the largest.
        int value = attribute->Value;
        if (attribute->Text.size() > 1 && (attribute->Text[0] == '+' || attribute->Text[0] == '-'))
          value = std::clamp(value, -7, 7) + BaseFontSize;
        size = std::clamp(value, 1, 7);
        if (baseFont) BaseFontSize = size;
        break;
      }
      case S::SymColor:
        colour = context.ColorFromString(attribute->Text);
        break;
      case S::SymFace:
        if (!baseFont && !attribute->Text.empty()) face = attribute->Text;
        break;
      default:
        break;
    }
  }
  charSet = FontCharset(Attributes());
  TProperties& font = PushProperties("font");
  InlineBoxCheck();
  if (colour) font.SetFromAttribute(Prop::Color, TPropValue::Integer(static_cast<std::int32_t>(*colour | ColorMark)));
  if (size > 0) {
    const auto& table = preformatted ? kPreFontSizes : kFontSizes;
    const double points = m_document.Defaults().Size * table[static_cast<std::size_t>(size - 1)] / 12.0;
    font.SetFromAttribute(Prop::FontSize, TPropValue::Number(points));
  }
  if (!face.empty()) {
    // A face list with nothing installed leaves the family as it was.
    if (std::optional<std::string> name = context.FirstInstalledFont(face))
      font.SetFromAttribute(Prop::FontFamily, TPropValue::Text(*name));
  }
  if (charSet) font.SetCharSet(*charSet);
  PropStack().SealShape(font, "font:" + std::to_string(size) + ":" + (colour ? std::to_string(*colour) : "") + ":" + face +
                                  ":" + (charSet ? std::to_string(*charSet) : ""));
}

}  // namespace corvane
