#pragma once

#include "builder/builder_handlers.h"

class QWidget;

namespace corvane {

// Makes the form controls of the documents a viewer shows, their toolkit controls on its paint panel.
// Without a panel (a picture of a page, a test) the controls are drawn, not made.
class TFormControls final : public TFormControlFactory {
 public:
  explicit TFormControls(QWidget* panel = nullptr) : m_panel(panel) {}

  TFormControlObj* CreateControl(TagSymbol symbol, TSectionList& document, ThtmlForm& form, TProperties& properties,
                                 const TAttributeList& attributes, TCodePageConverter& converter) override;
  void AddOption(TFormControlObj& control, const QString& text, const std::optional<QString>& value, bool selected,
                 const std::vector<std::string>& attributes) override;
  void OptionsComplete(TFormControlObj& control) override;
  TTextAreaContent* TextAreaOf(TFormControlObj& control) override;

 private:
  QWidget* m_panel;
};

}  // namespace corvane
