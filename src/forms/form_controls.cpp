#include "forms/form_controls.h"

#include "forms/button_controls.h"
#include "forms/list_controls.h"
#include "forms/text_controls.h"
#include "html/attribute_list.h"
#include "style/properties.h"
#include "style/style_context.h"

namespace corvane {

namespace {

using S = TagSymbol;

enum class TInputKind { Edit, Password, File, Submit, Reset, Button, Radio, CheckBox, Hidden, Image };

TInputKind InputKind(const TAttributeList& attributes) {
  const TAttribute* type = attributes.Find(S::SymType);
  if (!type) return TInputKind::Edit;
  const QString name = QString::fromLatin1(type->Text).left(20).trimmed().toLower();
  static const std::pair<const char*, TInputKind> kKinds[] = {
      {"password", TInputKind::Password}, {"file", TInputKind::File},     {"submit", TInputKind::Submit},
      {"reset", TInputKind::Reset},       {"button", TInputKind::Button}, {"radio", TInputKind::Radio},
      {"checkbox", TInputKind::CheckBox}, {"hidden", TInputKind::Hidden}, {"image", TInputKind::Image}};
  for (const auto& [text, kind] : kKinds)
    if (name == QLatin1String(text)) return kind;
  return TInputKind::Edit;
}

}  // namespace

TFormControlObj* TFormControls::CreateControl(TagSymbol symbol, TSectionList& document, ThtmlForm& form,
                                              TProperties& properties, const TAttributeList& attributes,
                                              TCodePageConverter& converter) {
  std::unique_ptr<TFormControlBase> control;
  auto edit = [&](TEditFormControlObj::TKind kind) {
    return std::make_unique<TEditFormControlObj>(&document, &form, m_panel, properties, attributes, converter, kind);
  };
  auto button = [&](TButtonFormControlObj::TKind kind) {
    return std::make_unique<TButtonFormControlObj>(&document, &form, m_panel, properties, attributes, converter, kind);
  };
  if (symbol == S::SymInput) {
    switch (InputKind(attributes)) {
      case TInputKind::Edit: control = edit(TEditFormControlObj::TKind::Text); break;
      case TInputKind::Password: control = edit(TEditFormControlObj::TKind::Password); break;
      case TInputKind::File: control = edit(TEditFormControlObj::TKind::File); break;
      case TInputKind::Submit: control = button(TButtonFormControlObj::TKind::Submit); break;
      case TInputKind::Reset: control = button(TButtonFormControlObj::TKind::Reset); break;
      case TInputKind::Button: control = button(TButtonFormControlObj::TKind::Button); break;
      case TInputKind::Radio:
        control = std::make_unique<TRadioButtonFormControlObj>(&document, &form, m_panel, properties, attributes,
                                                               converter, properties.Context().PixelsPerInch());
        break;
      case TInputKind::CheckBox:
        control = std::make_unique<TCheckBoxFormControlObj>(&document, &form, m_panel, properties, attributes, converter);
        break;
      case TInputKind::Hidden:
        control = std::make_unique<THiddenFormControlObj>(&document, &form, m_panel, properties, attributes, converter);
        break;
      case TInputKind::Image:
        // The picture takes the style; the control only takes the clicks.
        control = std::make_unique<TImageFormControlObj>(&document, &form, m_panel, properties, attributes, converter);
        return &form.InsertControl(std::move(control));
    }
  } else if (symbol == S::SymSelect) {
    const TAttribute* size = attributes.Find(S::SymSize);
    if (attributes.Find(S::SymMultiple) || (size && size->Value > 1))
      control = std::make_unique<TListBoxFormControlObj>(&document, &form, m_panel, properties, attributes, converter);
    else
      control = std::make_unique<TComboFormControlObj>(&document, &form, m_panel, properties, attributes, converter);
  } else if (symbol == S::SymTextarea) {
    control = std::make_unique<TTextAreaFormControlObj>(&document, &form, m_panel, properties, attributes, converter);
  } else {
    return nullptr;
  }
  control->ProcessProperties(properties);
  control->SizeControl();
  return &form.InsertControl(std::move(control));
}

void TFormControls::AddOption(TFormControlObj& control, const QString& text, const std::optional<QString>& value,
                              bool selected, const std::vector<std::string>& attributes) {
  if (auto* list = dynamic_cast<TOptionsFormControlObj*>(&control)) list->AddOption(text, value, selected, attributes);
}

void TFormControls::OptionsComplete(TFormControlObj& control) {
  if (auto* list = dynamic_cast<TOptionsFormControlObj*>(&control)) list->OptionsComplete();
}

TTextAreaContent* TFormControls::TextAreaOf(TFormControlObj& control) {
  return dynamic_cast<TTextAreaFormControlObj*>(&control);
}

}  // namespace corvane
