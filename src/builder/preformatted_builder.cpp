// Preformatted text (PRE) and plain-text documents: read by characters, every space kept, each source
// line its own section.
#include "builder/document_builder.h"
#include "html/attribute_list.h"
#include "html/char_collection.h"
#include "layout/block.h"
#include "layout/form_control.h"
#include "layout/section.h"
#include "layout/section_list.h"
#include "style/prop_stack.h"

namespace corvane {

namespace {

using S = TagSymbol;

bool IsControlByte(char c) { return static_cast<unsigned char>(c) >= 1 && static_cast<unsigned char>(c) <= 8; }

const TSymbolSet kPreFontStyles = {S::SymB,     S::SymI,    S::SymEm,   S::SymStrong, S::SymU,      S::SymCite,
                                   S::SymVar,   S::SymS,    S::SymStrike, S::SymTt,   S::SymCode,   S::SymKbd,
                                   S::SymSamp,  S::SymSpan, S::SymLabel, S::SymSub,   S::SymSup,    S::SymBig,
                                   S::SymSmall};
const TSymbolSet kPreFontStyleEnds = {
    S::SymBEnd,    S::SymIEnd,    S::SymEmEnd,   S::SymStrongEnd, S::SymUEnd,   S::SymCiteEnd,  S::SymVarEnd,
    S::SymSEnd,    S::SymStrikeEnd, S::SymTtEnd, S::SymCodeEnd,   S::SymKbdEnd, S::SymSampEnd,  S::SymSpanEnd,
    S::SymLabelEnd, S::SymSubEnd, S::SymSupEnd,  S::SymBigEnd,    S::SymSmallEnd};

}  // namespace

void THtmlBuilder::ReadPreformattedRun(TokenObj& token) {
  TCharCollection bytes;
  const int codePage = CurrentCodePage();
  auto flush = [&] {
    if (!bytes.Empty()) AddBytesToToken(token, bytes, codePage, Converter());
    bytes.Clear();
  };
  while (RawChar() != '\0' && RawChar() != '\r' && RawChar() != '<') {
    if (RawChar() == ' ' && IsTabInSource()) {
      flush();
      AddTabSpaces(token, Position());
      NextChar();
      continue;
    }
    if (IsControlByte(RawChar())) {
      // A control byte is no text of its own: it reads as "?".
      bytes.Add('?', Position());
      NextChar();
      continue;
    }
    if (RawChar() == '&') {
      flush();
      DecodeReferenceToToken(token, codePage);
      continue;
    }
    bytes.Add(RawChar(), Position());
    NextChar();
  }
  flush();
}

bool THtmlBuilder::IsTabInSource() const {
  // The reader gives a TAB as a space; the text itself tells them apart.
  const int at = Position();
  return at >= 0 && static_cast<std::size_t>(at) < Text().size() && Text()[static_cast<std::size_t>(at)] == '\t';
}

void THtmlBuilder::AddTabSpaces(TokenObj& token, int sourcePosition) {
  // Each line of preformatted text is a section of its own, so its characters so far are its column.
  const std::size_t column = (CurrentSection ? CurrentSection->Text().size() : 0) + static_cast<std::size_t>(token.Count());
  for (std::size_t n = kTabColumns - column % kTabColumns; n > 0; --n) token.Add(u' ', sourcePosition);
}

void THtmlBuilder::BuildPreformatted() {
  if (m_blockDepth >= kMaxBlockDepth) {
    NextToken();
    return;
  }
  CloseSection();
  PushProperties("pre");
  const int preCount = PropStack().Count();
  TCellBasic* const outside = CurrentCell;
  const int outsideDepth = m_blockDepth;
  const bool wasPreformatted = m_inPreformatted;
  m_inPreformatted = true;
  OpenBlock();
  OpenPreSection(true);
  // A line end right after the start tag is not content.
  if (RawChar() == '\r') NextChar();
  // The last line was opened by a line end and holds nothing yet: at the end it makes no line.
  bool afterLineEnd = false;
  TBlock* paragraph = nullptr;  // a P block inside the PRE
  TBlock* form = nullptr;       // a FORM block inside the PRE
  TokenObj token;
  auto flush = [&] {
    if (!token.Empty() && CurrentSection) CurrentSection->AddText(token, true);
    token.Clear();
  };
  auto openLine = [&](bool paragraphStart) {
    OpenPreSection(paragraphStart);
    afterLineEnd = false;
  };
  auto newLine = [&](bool paragraphStart) {
    flush();
    CloseSectionAt(Position());
    openLine(paragraphStart);
  };
  bool done = false;
  while (!done) {
    const char c = RawChar();
    if (c == '\0') break;
    if (c == '\r') {
      newLine(false);
      afterLineEnd = true;
      NextChar();
      continue;
    }
    if (c != '<') {
      ReadPreformattedRun(token);
      continue;
    }
    NextToken();
    const TagSymbol symbol = Symbol();
    if (symbol == S::SymText) {
      for (int i = 0; i < Token().Count(); ++i) token.Add(Token().Chars()[static_cast<std::size_t>(i)], Token().Indices()[static_cast<std::size_t>(i)]);
      continue;
    }
    switch (symbol) {
      case S::SymPreEnd:
      case S::SymTable:
      case S::SymTdEnd:
      case S::SymThEnd:
        done = true;
        break;
      case S::SymP:
        flush();
        CloseSection();
        if (paragraph) {
          PopProperties("p");
          CloseBlock();
        }
        PushProperties("p");
        paragraph = &OpenBlock();
        openLine(true);
        break;
      case S::SymPEnd:
        if (paragraph) {
          flush();
          CloseSection();
          PopProperties("p");
          CloseBlock();
          paragraph = nullptr;
          openLine(false);
        }
        break;
      case S::SymBr:
        newLine(false);
        if (PageBreakAsked()) {
          CloseSection();
          CurrentCell->Add(std::make_unique<TPage>(&m_document), TagPosition());
          openLine(false);
        }
        break;
      case S::SymImg:
      case S::SymPanel:
        flush();
        BuildImageOrPanel(false);
        break;
      case S::SymA:
        flush();
        BuildAnchor(false);
        break;
      case S::SymAEnd:
        flush();
        EndLink();
        break;
      case S::SymInput:
      case S::SymSelect:
      case S::SymTextarea:
        flush();
        BuildFormControl(false);
        break;
      case S::SymFont:
      case S::SymBasefont:
        flush();
        BuildFont(symbol == S::SymBasefont, true);
        if (CurrentSection) CurrentSection->ChangeFont(Top());
        break;
      case S::SymFontEnd:
        // Only a FONT opened inside the PRE is closed.
        if (PropStack().Count() > preCount) {
          flush();
          PopProperties("font");
          if (CurrentSection) CurrentSection->ChangeFont(Top());
        }
        break;
      case S::SymForm:
        flush();
        CloseSection();
        PushProperties("form");
        form = &OpenBlock();
        CurrentForm = &NewForm(&Attributes());
        openLine(false);
        break;
      case S::SymFormEnd:
        if (form) {
          flush();
          CloseSection();
          PopProperties("form");
          CloseBlock();
          form = nullptr;
          openLine(false);
        }
        CurrentForm = nullptr;
        break;
      case S::SymMap:
        BuildImageMap(false);
        break;
      case S::SymPage:
        flush();
        CloseSection();
        CurrentCell->Add(std::make_unique<TPage>(&m_document), TagPosition());
        openLine(false);
        break;
      case S::SymScript:
        ReadScriptContent();
        break;
      default:
        if (kPreFontStyles.Contains(symbol)) {
          flush();
          PushProperties(ElementName(symbol));
          InlineBoxCheck();
          if (CurrentSection) CurrentSection->ChangeFont(Top());
        } else if (kPreFontStyleEnds.Contains(symbol)) {
          flush();
          PopProperties(EndElementName(symbol));
          if (CurrentSection) CurrentSection->ChangeFont(Top());
        }
        break;
    }
  }
  flush();
  if (afterLineEnd && CurrentSection && CurrentSection->Text().empty()) CurrentSection.reset();
  CloseSection();
  PopToCount(preCount - 1);
  // Whatever opened inside the PRE (a paragraph, a form) ends with it.
  CurrentCell = outside;
  m_blockDepth = outsideDepth;
  m_inPreformatted = wasPreformatted;
  if (RawChar() == '\0' && !done) NextToken();
  if (Symbol() == S::SymPreEnd) NextToken();
}

void THtmlBuilder::ParseText() {
  Initialize();
  CurrentSection.reset();
  SetRawContent(true);
  NextChar();
  PushPropertiesWithoutAttributes("pre");
  OpenBlock();
  OpenPreSection(true);
  TCharCollection bytes;
  TokenObj token;
  auto convert = [&] {
    if (!bytes.Empty()) AddBytesToToken(token, bytes, CurrentCodePage(), Converter());
    bytes.Clear();
  };
  auto flush = [&] {
    convert();
    if (!token.Empty() && CurrentSection) CurrentSection->AddText(token, true);
    token.Clear();
  };
  for (char c = RawChar(); c != '\0'; c = RawChar()) {
    if (c == ' ' && IsTabInSource()) {
      convert();
      AddTabSpaces(token, Position());
    } else if (c == '\r') {
      flush();
      CloseSectionAt(Position());
      OpenPreSection(false);
    } else {
      // Control bytes are no placeholders of objects: they read as "?". Long lines go to the section in
      // pieces, cut before a plain ASCII byte so that no character is split.
      if (bytes.Count() > 200 && static_cast<unsigned char>(c) < 0x80) flush();
      bytes.Add(IsControlByte(c) ? '?' : c, Position());
    }
    NextRawChar();
  }
  flush();
  CloseSectionAt(Position());
  PopProperties("pre");
  CloseBlock();
  Finalize();
}

}  // namespace corvane
