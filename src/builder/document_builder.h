#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "builder/builder_handlers.h"
#include "html/html_parser.h"
#include "html/html_symbols.h"
#include "html/url_target.h"

namespace corvane {

class TBlock;
class TBodyBlock;
class TCellBasic;
class TSection;
class TSectionList;
class ThtmlForm;

// Builds the document of an HTML text into a section list that the viewer cleared. Nothing is ever a
// syntax error: each construct reads symbols until one of its stop set, or one it cannot take, comes.
void ParseHtmlDocument(std::string text, TSectionList& document, const TBuilderHandlers& handlers = {});
// Builds the document of a plain text: preformatted lines, no tags, no references.
void ParseTextDocument(std::string text, TSectionList& document, const TBuilderHandlers& handlers = {});

// What a parse leaves for the viewer besides the document.
struct TParseResult {
  QString Title;
  std::string BaseUrl;
  std::string BaseTarget;
};
TParseResult ParseHtmlDocumentWithResult(std::string text, TSectionList& document, const TBuilderHandlers& handlers);

// The document builder: a recursive descent over the reader's symbols that fills the section list with
// blocks and text sections, keeping the property stack in step with the open elements.
class THtmlBuilder : public THtmlParser {
 public:
  THtmlBuilder(std::string text, TSectionList& document, TBuilderHandlers handlers);
  ~THtmlBuilder() override;

  void ParseHtml();
  void ParseText();

  const QString& Title() const { return m_title; }
  const std::string& BaseUrl() const { return m_baseUrl; }
  const std::string& BaseTarget() const { return m_baseTarget; }

  // Deeper block elements are read as if they were not there: their content flows into the innermost
  // block, so that hostile nesting costs neither stack nor quadratic time.
  static constexpr int kMaxBlockDepth = 400;
  // Elements opened beyond this many are not given property sets of their own.
  static constexpr int kMaxOpenElements = 1000;

 private:
  // Set-up and clean-up of a parse.
  void Initialize();
  void Finalize();
  void LinkPreScan();

  // Property stack discipline.
  TProperties& Top();
  TProperties& PushProperties(std::string_view tag, std::string_view pseudo = {});
  TProperties& PushPropertiesWithoutAttributes(std::string_view tag);
  void PopProperties(std::string_view tag);
  void PopToCount(int count);
  void InlineBoxCheck();

  // Sections and blocks.
  void CloseSection();
  // Closes the current section at a source position of its own (line ends of preformatted text).
  void CloseSectionAt(int sourcePosition);
  void OpenSection(bool paragraphStart = true, bool withAttributes = false);
  void OpenPreSection(bool paragraphStart);
  TSection& EnsureSection();
  TBlock& OpenBlock();
  void AddBlock(std::unique_ptr<TBlock> block);
  void CloseBlock();
  void FontChange();

  // Build procedures: each returns with the first symbol it did not take as the current symbol.
  void BuildFlow(const TSymbolSet& stop);
  void BuildParagraph(const TSymbolSet& stop);
  void BuildInline();
  void BuildHeading();
  void BuildLineBreak();
  // False when the list was not built (too deep): the list's tag is still the current symbol.
  bool BuildList(TagSymbol symbol, const TSymbolSet& stop);
  void BuildListItem(TagSymbol listSymbol, TagSymbol itemSymbol, int number, const TSymbolSet& stop, bool plain,
                     char typeLetter);
  void BuildDivision(TagSymbol symbol, const TSymbolSet& stop);
  void BuildPreformatted();
  void BuildTable();
  void BuildHorizontalRule();
  // readNext false: the procedure leaves the reader after the tag (preformatted text reads on by
  // characters).
  void BuildAnchor(bool readNext = true);
  void EndLink();
  void BuildFont(bool baseFont, bool preformatted = false);
  void BuildImageOrPanel(bool readNext = true);
  void BuildFormControl(bool readNext = true);
  void ReadSelectOptions(TFormControlObj* control, bool readNext);
  // Puts a new control into the section (an image button as its picture; nothing for a hidden field).
  void PlaceFormControl(TSection& section, TFormControlObj& control, TProperties& properties);
  void BuildImageMap(bool readNext = true);
  void BuildForm(const TSymbolSet& stop);
  ThtmlForm& NewForm(const TAttributeList* attributes);
  void BuildObject();
  void BodyAttributes();
  void StyleSheetLink();
  void HandleMeta();
  void HandleSound();
  void HandleBase();
  void ReadTitle();
  bool PageBreakAsked();
  // Reads one character run of preformatted text into the private token.
  void ReadPreformattedRun(TokenObj& token);
  // Whether the current character, a space, was written as a TAB.
  bool IsTabInSource() const;
  // A TAB of preformatted text: spaces up to the next tab stop of the line, counted in characters.
  void AddTabSpaces(TokenObj& token, int sourcePosition);
  static constexpr std::size_t kTabColumns = 8;

  int BlockDepth() const { return m_blockDepth; }

  TSectionList& m_document;
  TBuilderHandlers m_handlers;
  TCellBasic* CurrentCell = nullptr;
  std::unique_ptr<TSection> CurrentSection;
  TBodyBlock* BodyBlock = nullptr;
  ThtmlForm* CurrentForm = nullptr;
  TUrlTarget LinkTarget;
  bool InLink = false;
  bool NoBreak = false;
  int ListLevel = 0;
  int TableLevel = 0;
  int BaseFontSize = 3;
  QString m_title;
  std::string m_baseUrl;
  std::string m_baseTarget;
  int m_blockDepth = 0;
  bool m_inPreformatted = false;
  // The property sets of STYLE attributes, kept while their elements are open (by the serial number of
  // the element's entry).
  std::vector<std::pair<std::uint32_t, TPropertiesOwner>> m_inlineStyles;
  // Elements whose push was refused at the limit, by tag; their end tags pop nothing.
  std::unordered_map<std::string, int> m_refusedPushes;
};

}  // namespace corvane
