// Objects in inline content: images, panels, form controls, image maps and OBJECT elements.
#include <memory>
#include <string>
#include <vector>

#include "builder/document_builder.h"
#include "html/attribute_list.h"
#include "layout/form_control.h"
#include "layout/image_obj.h"
#include "layout/section.h"
#include "layout/section_list.h"
#include "style/prop_stack.h"

namespace corvane {

namespace {

using S = TagSymbol;

std::string AttributeText(const TAttributeList& attributes, TagSymbol symbol) {
  const TAttribute* attribute = attributes.Find(symbol);
  return attribute ? attribute->Text : std::string();
}

}  // namespace

void THtmlBuilder::BuildImageOrPanel(bool readNext) {
  const TagSymbol symbol = Symbol();
  TSection& section = EnsureSection();
  TProperties& properties = PushProperties(ElementName(symbol));
  if (symbol == S::SymImg) {
    QString alt;
    if (const TAttribute* attribute = Attributes().Find(S::SymAlt))
      alt = Converter().ToUtf16(attribute->Text, attribute->CodePage);
    const int position = static_cast<int>(section.Text().size());
    auto image = std::make_unique<TImageObj>(&m_document, position, Attributes(), alt);
    image->ApplyStyle(properties);
    section.AddObject(std::move(image), TagPosition());
  } else {
    auto panel = std::make_unique<TPanelObj>(&m_document, Attributes());
    m_document.PanelList.push_back(panel.get());
    section.AddObject(std::move(panel), TagPosition());
  }
  PopProperties(ElementName(symbol));
  if (readNext) NextToken();
}

void THtmlBuilder::BuildFormControl(bool readNext) {
  const TagSymbol symbol = Symbol();
  TFormControlFactory* factory = m_handlers.FormControls;
  TFormControlObj* control = nullptr;
  if (factory) {
    TSection& section = EnsureSection();
    TProperties& properties = PushProperties(ElementName(symbol));
    if (!CurrentForm) CurrentForm = &NewForm(nullptr);
    control = factory->CreateControl(symbol, m_document, *CurrentForm, properties, Attributes(), Converter());
    if (control) PlaceFormControl(section, *control, properties);
  }
  if (symbol == S::SymSelect) {
    ReadSelectOptions(control, readNext);
  } else if (symbol == S::SymTextarea) {
    ReadTextAreaContent(control && factory ? factory->TextAreaOf(*control) : nullptr);
    if (readNext) NextToken();
  } else if (readNext) {
    NextToken();
  }
  if (factory) PopProperties(ElementName(symbol));
}

void THtmlBuilder::PlaceFormControl(TSection& section, TFormControlObj& control, TProperties& properties) {
  m_document.FormControlList.push_back(&control);
  if (control.IsHidden()) return;
  if (control.IsImageButton()) {
    // The picture stands in the text; the control behind it takes the clicks and the submission.
    QString alt;
    if (const TAttribute* attribute = Attributes().Find(S::SymAlt))
      alt = Converter().ToUtf16(attribute->Text, attribute->CodePage);
    auto image = std::make_unique<TImageObj>(&m_document, static_cast<int>(section.Text().size()), Attributes(), alt);
    image->ApplyStyle(properties);
    image->SetFormControl(&control);
    control.Image = image.get();
    section.AddObject(std::move(image), TagPosition());
    return;
  }
  if (properties.HasBorderStyle()) m_document.InlineList.Add(TagPosition(), properties);
  section.AddFormControl(control, TagPosition());
  if (TFormControlObj* companion = control.Companion()) {
    section.AddFormControl(*companion, TagPosition());
    m_document.FormControlList.push_back(companion);
  }
}

void THtmlBuilder::ReadSelectOptions(TFormControlObj* control, bool readNext) {
  const bool savedNoBreak = NoBreak;
  NoBreak = false;
  static const TSymbolSet kEnds = {S::SymP,     S::SymEof,     S::SymTableEnd,   S::SymTd,    S::SymTdEnd,
                                   S::SymTr,    S::SymTrEnd,   S::SymTh,         S::SymThEnd, S::SymCaption,
                                   S::SymCaptionEnd, S::SymInput, S::SymSelectEnd, S::SymCol, S::SymColgroup};
  TFormControlFactory* factory = m_handlers.FormControls;
  bool optionOpen = false;
  QString text;
  bool selected = false;
  std::optional<QString> value;
  std::vector<std::string> attributes;
  auto endOption = [&] {
    if (optionOpen && control && factory) factory->AddOption(*control, text.trimmed(), value, selected, attributes);
    optionOpen = false;
    text.clear();
  };
  NextToken();
  while (!kEnds.Contains(Symbol())) {
    const TagSymbol symbol = Symbol();
    if (symbol == S::SymText) {
      if (optionOpen) text += Token().S();
    } else if (symbol == S::SymOption || symbol == S::SymOptionEnd) {
      endOption();
      if (symbol == S::SymOption) {
        optionOpen = true;
        selected = Attributes().Find(S::SymSelected) != nullptr;
        value.reset();
        if (const TAttribute* given = Attributes().Find(S::SymValue))
          value = Converter().ToUtf16(given->Text, given->CodePage);
        attributes = Attributes().NameValueList();
      }
    }
    NextToken();
  }
  endOption();
  if (control && factory) factory->OptionsComplete(*control);
  NoBreak = savedNoBreak;
  // Only the end of the list is taken; any other symbol that ended it is read by the caller.
  if (Symbol() == S::SymSelectEnd && readNext) NextToken();
}

void THtmlBuilder::BuildImageMap(bool readNext) {
  const TAttribute* name = Attributes().Find(S::SymName);
  auto map = std::make_unique<TMapItem>(name ? name->Text : std::string());
  int others = 0;
  NextToken();
  while (Symbol() != S::SymMapEnd && Symbol() != S::SymEof && others < 3) {
    if (Symbol() == S::SymArea) {
      map->AddArea(Attributes());
    } else if (Symbol() != S::SymText) {
      ++others;
    }
    NextToken();
  }
  if (Symbol() == S::SymMapEnd) m_document.MapList.push_back(std::move(map));
  if (readNext) NextToken();
}

void THtmlBuilder::BuildObject() {
  if (!m_handlers.Object) {
    NextToken();
    return;
  }
  TSection& section = EnsureSection();
  PushProperties("object");
  auto panel = std::make_unique<TPanelObj>(&m_document, Attributes());
  const std::vector<std::string> attributes = Attributes().NameValueList();
  const int position = TagPosition();
  std::vector<std::string> parameters;
  NextToken();
  while (Symbol() == S::SymParam || Symbol() == S::SymText) {
    if (Symbol() == S::SymParam) {
      const std::string name = AttributeText(Attributes(), S::SymName);
      const TAttribute* value = Attributes().Find(S::SymValue);
      parameters.push_back(value ? name + "=" + value->Text : name);
    }
    NextToken();
  }
  const bool taken = m_handlers.Object(*panel, attributes, parameters);
  if (taken) {
    m_document.PanelList.push_back(panel.get());
    if (Top().HasBorderStyle()) m_document.InlineList.Add(position, Top());
    section.AddObject(std::move(panel), position);
    PopProperties("object");
    while (Symbol() != S::SymObjectEnd && Symbol() != S::SymEof) NextToken();
  } else {
    PopProperties("object");
  }
}

}  // namespace corvane
