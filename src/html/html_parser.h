#pragma once

#include <string>

#include "html/html_reader.h"
#include "style/prop_stack.h"

namespace corvane {

class TStyleList;

// The parser object of one document parse: the reader with the document's style sheet and the property
// sets of the open elements. The document builders extend it. The code page of the text being read is the
// code page of the innermost open element, and charset declarations (META, the viewer's character set) go
// to that element's property set.
//
// STYLE elements add their rules to the document's style list, their url() values resolved against
// baseAddress, and STYLE attributes give property sets of that document (handlers set later should keep
// these with HookUpStyleParsers).
//
// The style list must outlive the parser; it should have its built-in rules (LoadDefaults) so that the
// root entry is made from its "default" rule.
class THtmlParser : public THtmlReader {
 public:
  // pageCharset is the character set of a text that declares none (one cut out of a page that did).
  THtmlParser(std::string text, TStyleList& styles, std::string baseAddress = {}, TDeclaredCharset pageCharset = {});
  ~THtmlParser() override;

  // Starts the parse over: the stack holds just the root entry, made from the "default" rule (which
  // carries the viewer's character set), made UTF-8 after a byte-order mark or Shift_JIS for an
  // ISO-2022-JP text; the document code page is the root's.
  void BeginParse();
  // The end of the parse: no element is open any more, the root included.
  void EndParse() { m_propStack.Clear(); }

  TStyleList& Styles() { return m_styles; }
  TPropStack& PropStack() { return m_propStack; }
  const TPropStack& PropStack() const { return m_propStack; }

 protected:
  int CurrentCodePage() const override;
  void SetCurrentCharSet(int charSet) override;
  void SetCurrentUtf8() override;

 private:
  TDeclaredCharset m_pageCharset;
  TStyleList& m_styles;
  TPropStack m_propStack;
};

}  // namespace corvane
