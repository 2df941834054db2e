#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "html/html_reader.h"

namespace corvane {

class TAttributeList;
class TCodePageConverter;
class TFormControlObj;
class TPanelObj;
class TProperties;
class TSectionList;
class ThtmlForm;

// Makes the form controls of a document. The form controls implement it; without one, INPUT, SELECT
// and TEXTAREA elements are read and left out.
class TFormControlFactory {
 public:
  virtual ~TFormControlFactory() = default;
  // The control of an INPUT, SELECT or TEXTAREA in form; owned by the form. Null for none. Attribute
  // texts are in their code pages; converter makes them characters.
  virtual TFormControlObj* CreateControl(TagSymbol symbol, TSectionList& document, ThtmlForm& form,
                                         TProperties& properties, const TAttributeList& attributes,
                                         TCodePageConverter& converter) = 0;
  // The options of a SELECT, one at a time (value: the OPTION's VALUE, when it has one), and the end of
  // the list.
  virtual void AddOption(TFormControlObj& control, const QString& text, const std::optional<QString>& value,
                         bool selected, const std::vector<std::string>& attributes) = 0;
  virtual void OptionsComplete(TFormControlObj& control) = 0;
  // Where the content of a TEXTAREA goes.
  virtual TTextAreaContent* TextAreaOf(TFormControlObj& control) = 0;
};

// What the viewer plugs into one parse. Every handler may be absent.
struct TBuilderHandlers {
  // The character set of a text that declares none (a table cut out of a page that declared one).
  TDeclaredCharset PageCharset;
  TIncludeHandler Include;
  TScriptHandler Script;
  // META: HTTP-EQUIV, NAME and CONTENT.
  std::function<void(const std::string& httpEquiv, const std::string& name, const std::string& content)> Meta;
  // LINK: REL, REV and HREF.
  std::function<void(const std::string& rel, const std::string& rev, const std::string& href)> Link;
  // BGSOUND: SRC, 0 and LOOP.
  std::function<void(const std::string& source, int start, int loop)> Sound;
  // OBJECT: the panel, the object's attributes and its PARAM lines; answers whether it takes the panel.
  std::function<bool(TPanelObj& panel, const std::vector<std::string>& attributes,
                     const std::vector<std::string>& parameters)>
      Object;
  // A linked style sheet's bytes by address; none when the viewer has no stream for it.
  std::function<std::optional<std::string>(const std::string& address)> StreamRequest;
  // Rewrites a linked address (the viewer's name-expansion handler).
  std::function<std::string(const std::string& address)> ExpandName;
  // The viewer's expansion of a relative file name to a full path; without it, names are taken relative
  // to the folder of BaseAddress.
  std::function<std::string(const std::string& name)> ExpandFileName;
  TProgressHandler Progress;
  TFormControlFactory* FormControls = nullptr;
  // The address of the document: relative names (linked style sheets, pictures) are resolved against it.
  std::string BaseAddress;
};

}  // namespace corvane
