#pragma once

#include <QString>

#include <array>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "html/attribute_list.h"
#include "html/char_collection.h"
#include "html/code_pages.h"
#include "html/html_symbols.h"
#include "html/token_obj.h"

namespace corvane {

class TIDNameList;

inline constexpr const char* kOpenCommentAtEnd = "Open Comment at End of HTML File";

// Raised when the text ends inside "<!" ... ">": the document parse catches it and keeps what it built.
class THtmlParseError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The viewer's include handler: given the command and the "name=value" parameters of an include
// directive (<!--#command name="value" -->), the text to read in its place ("" for nothing).
using TIncludeHandler = std::function<std::string(const std::string& command, std::vector<std::string> parameters)>;
// The viewer's script handler: the NAME and LANGUAGE of a SCRIPT element and its text, lines ended by CR LF.
using TScriptHandler = std::function<void(const std::string& name, const std::string& language, const std::string& script)>;
// The style sheet parser for the content of a STYLE element. It starts at the current character (the ">"
// of the start tag), pulls raw characters (no comment skipping, 0 at the end) and returns the character it
// stopped at, normally the "<" of the end tag; the reader goes on from that character.
using TStyleHandler = std::function<char(char currentChar, const std::function<char()>& nextRawChar)>;

enum class TProgressStage { Starting, Running, Ending };
using TProgressHandler = std::function<void(TProgressStage stage, int percent)>;

// What the viewer and the style engine plug into one parse. Every handler may be absent.
struct THtmlReaderHandlers {
  TIncludeHandler Include;
  TScriptHandler Script;
  TStyleHandler Style;
  TInlineStyleParser InlineStyle;  // for the style properties of attribute lists
  TProgressHandler Progress;       // told every 4096 bytes of text while a document is built
  int ProgressScale = 0;           // the document's progress scale (the viewer sets 75)
};

// How a few things that browsers have since settled are read: as the viewer has always read them, or as
// browsers read them today (for the spreadsheet formats, whose cells read as a browser shows them):
// - a numeric reference to a control character: "?" (a tab or line end: a space), or U+FFFD (a tab or
//   line end: itself);
// - a name that is no entity but begins with one of the Latin-1 names ("&notit;"): left as written, or
//   that entity followed by the rest as text ("\u00ACit;"), in text only;
// - a comment still open at the end of the text: THtmlParseError, or a comment up to the end.
enum class TReaderRules { Viewer, Browser };

// The text area control that the content of a TEXTAREA goes to, line by line.
class TTextAreaContent {
 public:
  virtual ~TTextAreaContent() = default;
  // One line of the content, ended by CR LF unless it is the last one.
  virtual void AddLine(const QString& line) = 0;
  virtual void ContentComplete() = 0;
};

// A text a reader reads without a copy of its own (see THtmlReader).
struct TBorrowedText {
  std::string_view Text;
};

// The reader of one HTML text: the character reader, the tag and attribute scanner, the text scanner with
// its character references and code pages, and the readers of raw element content. It holds the whole
// state of one parse, so texts read one after another, or on two threads, share nothing. The document
// builders derive from it and answer the code page of the innermost open element (CurrentCodePage and the
// two SetCurrent... operations).
//
// Characters come one at a time from the text in memory (or from text an include directive inserted).
// Line ends come folded: CR LF, LF CR, CR and LF each read as one CR, and a TAB reads as a space.
class THtmlReader {
 public:
  // Prepares text for reading: the first 100 NUL bytes become spaces and the text ends before any further
  // NUL; a UTF-8 byte-order mark is passed over (the document is then UTF-8 and charset declarations are
  // ignored); an ISO-2022-JP text is transcoded to Shift_JIS. codePage is the document's code page unless
  // the text says otherwise. Reading starts with NextChar (Start reads the first character and token).
  explicit THtmlReader(std::string text, int codePage = kCodePageSystem);
  // The same, reading the text where it lies: the caller keeps it unchanged for as long as the reader
  // reads. A text that must change to be read (NUL bytes, ISO-2022-JP, EUC-JP) is copied first.
  explicit THtmlReader(TBorrowedText text, int codePage = kCodePageSystem);
  virtual ~THtmlReader();
  THtmlReader(const THtmlReader&) = delete;
  THtmlReader& operator=(const THtmlReader&) = delete;

  void SetHandlers(THtmlReaderHandlers handlers);
  const THtmlReaderHandlers& Handlers() const { return m_handlers; }
  // The id list that ID attributes register in (with the source position of their tag); may be null.
  void SetIdList(TIDNameList* idList) { m_idList = idList; }

  // Reads the first character and the first token.
  void Start();
  // Back to the start of the text, all flags clear, for a second pass over it.
  void Rewind();

  // Character level. The current character is RawChar (as written, line ends folded) and UpperChar (with
  // a..z in upper case).

  // The next character; no comment recognised.
  void NextRawChar() {
    // Most characters are plain ones of the text itself; line ends, control characters, the end of the
    // text, inserted text and progress reports take the long way.
    if (m_next < m_plainEnd) [[likely]] {
      const unsigned char c = static_cast<unsigned char>(m_text[m_next]);
      if (c > '\r') [[likely]] {
        ++m_next;
        m_position = static_cast<int>(m_next) - 1;
        m_lineEnd = TLineEnd::None;
        m_ch = static_cast<char>(c);
        m_upper = kUpperCase[c];
        return;
      }
    }
    NextRawCharSlowly();
  }
  // The next character after any comments, <%...%> blocks and include directives.
  void NextChar() {
    NextRawChar();
    if (m_ch == '<' && !m_rawContent && !m_inMarkup) [[unlikely]] {
      // Only "<!" and "<%" open markup to skip; a tag's "<" is looked past here without a call.
      if (!m_inserted.empty() || m_next >= m_text.size() || m_text[m_next] == '!' || m_text[m_next] == '%')
        SkipMarkupAtLess();
    }
  }
  char PeekChar() const;  // the next byte, not consumed; 0 at the end
  // Passes over spaces and line ends.
  void SkipBlanks() {
    while (m_ch == ' ' || m_ch == '\r' || m_ch == '\t') NextChar();
  }
  char RawChar() const { return m_ch; }
  char UpperChar() const { return m_upper; }
  // The source index of the last character read from the main text (-1 before the first).
  int Position() const { return m_position; }
  // The Position of the "<" of the last tag.
  int TagPosition() const { return m_tagPosition; }

  // Token level.
  void NextToken();
  bool ScanTag();   // reads a tag when the current character is "<"
  bool ScanText();  // reads a text token; false when the current character is "<" or of code 0..8
  void ConvertCollectedPiece(int codePage);
  // Reads one attribute of a tag into attribute; false when there is none left.
  bool ReadAttribute(TAttribute& attribute);
  // Only tags of the symbols tags have their attributes read, and of those only the attributes of the
  // symbols attributes have their values read; any other tag's attributes are passed over (its
  // Attributes() are empty), and any other attribute is kept as an unknown one without a value. A
  // reader that looks at a few attributes of a few elements, such as the sheet reader, spares itself
  // the rest. Every tag's attributes again after AllAttributes.
  void SetAttributesOf(const TSymbolSet& tags, const TSymbolSet& attributes) {
    m_attributesOf = tags;
    m_attributeSymbols = attributes;
    m_someAttributes = true;
  }
  void AllAttributes() { m_someAttributes = false; }
  // Whether common tags are read straight from the bytes of the text (on unless turned off). Both ways
  // read every tag the same; off, each tag is read character by character, as the tests compare.
  void SetQuickTags(bool on) { m_quickTags = on; }

  TagSymbol Symbol() const { return m_symbol; }
  int TagValue() const { return m_tagValue; }  // the level of a heading, else 0
  bool EndTag() const { return m_endTag; }
  TAttributeList& Attributes() { return m_attributes; }
  const TAttributeList& Attributes() const { return m_attributes; }
  const TokenObj& Token() const { return m_token; }

  // Character references, read from the "&" that is the current character up to the character after the
  // reference. Decoded characters take the index of the "&"; a reference that is not decoded stays as text.
  void DecodeReferenceToToken(TokenObj& token, int codePage);
  std::string DecodeReferenceToText(int codePage);

  // Raw element content, read right after the element's start tag.
  void ReadScriptContent();                         // SCRIPT: to the script handler
  void ReadStyleContent();                          // STYLE: to the style sheet parser
  void ReadTextAreaContent(TTextAreaContent* control);  // TEXTAREA: to the control (may be null)
  // Reads the content of the element the current symbol starts when that content is raw (SCRIPT, STYLE,
  // TEXTAREA); false for any other symbol.
  bool ReadRawContent(TTextAreaContent* textArea = nullptr);

  // Character sets. FindCharset looks a declaration up; EUC-JP transcodes the rest of the text to Shift_JIS
  // (once per parse) and answers the Shift_JIS character set.
  std::optional<int> FindCharset(std::string_view value);
  // What a META declares (HTTP-EQUIV "content-type" with CONTENT, or CHARSET): applied to the innermost
  // property set, after which the document code page is that set's.
  void HandleMetaCharset(const TAttributeList& attributes);
  // The character set a FONT CHARSET declares; none when there is none or the text has a UTF-8 mark.
  std::optional<int> FontCharset(const TAttributeList& attributes);

  int DocumentCodePage() const { return m_documentCodePage; }
  void SetDocumentCodePage(int codePage) { m_documentCodePage = codePage; }
  bool Utf8MarkSeen() const { return m_utf8Mark; }
  bool DoctypeSeen() const { return m_doctype; }  // a <!DOCTYPE ...> declaration was read
  bool Transcoded() const { return m_transcoded; }
  TCodePageConverter& Converter() { return m_converter; }
  std::string_view Text() const { return m_text; }

  void SetRules(TReaderRules rules) { m_browserRules = rules == TReaderRules::Browser; }
  // Plain-text documents: "<!" and "<%" are not recognised.
  void SetRawContent(bool on) { m_rawContent = on; }
  // The link pre-scan: text is consumed but not collected, and no ids are registered.
  void SetScanOnly(bool on);
  bool ScanOnly() const { return m_scanOnly; }
  // Whether text tokens keep each character's source index (Token().Indices()), as the viewer's selection
  // needs. A reader that wants the text alone turns them off: its tokens then take half the memory.
  void SetKeepPositions(bool on);
  bool KeepPositions() const { return m_token.KeepIndices(); }
  // Text tokens hand their text to sink as it is read (null: to the token again). Such a token still
  // reads as SymText, with an empty Token().
  void SetTextSink(TTextSink* sink) { m_token.SetSink(sink); }

  // Limits that keep include handlers from running a parse forever; a directive beyond them is passed
  // over like a comment.
  static constexpr int kMaxIncludeDepth = 32;
  static constexpr int kMaxIncludes = 10000;
  static constexpr std::size_t kMaxIncludedBytes = std::size_t{64} << 20;
  // Attributes beyond this many in one tag are read but not kept.
  static constexpr int kMaxAttributes = 4096;

 protected:
  // The code page of the innermost open element: text and unquoted attribute values are read in it. The
  // reader alone has no elements; it answers the code page the last charset declaration set.
  virtual int CurrentCodePage() const { return m_currentCodePage; }
  // Give the innermost open element a character set, or UTF-8, after a META declaration.
  virtual void SetCurrentCharSet(int charSet);
  virtual void SetCurrentUtf8();

 private:
  enum class TLineEnd : std::uint8_t { None, AfterCr, AfterLf };

  // Text an include directive inserted, read before the rest of the text that held the directive.
  struct TInsertedText {
    std::string Text;
    std::size_t Next = 0;
  };

  // What one character reference read gave.
  struct TReference {
    enum class TKind { NotDecoded, Numeric, Named } Kind = TKind::NotDecoded;
    std::uint32_t Value = 0;
    bool Semicolon = false;
    int Index = 0;  // of the "&"
    // A Latin-1 name that begins a longer name: its length; the rest of the name stays text.
    int PrefixLength = 0;
    // The characters read while the reference was not decoded, each with its index.
    char Kept[12] = {};
    int KeptIndex[12] = {};
    int KeptCount = 0;
  };

  static constexpr std::size_t kProgressStep = 4096;
  static constexpr std::array<char, 256> kUpperCase = [] {
    std::array<char, 256> upper{};
    for (int c = 0; c < 256; ++c) upper[c] = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return upper;
  }();

  // The element of a tag name, from a small cache of the names read last (a table's few names come
  // again and again) before the element table; key holds the name's first eight bytes.
  std::optional<TElementSymbols> CachedElement(std::string_view upperName, std::uint64_t key);
  struct TElementCacheEntry {
    std::uint64_t Key = 0;    // the name's bytes
    std::uint8_t Length = 0;  // 0: empty
    std::optional<TElementSymbols> Symbols;
  };
  // The attribute of an upper-case name the same way (SymUnknownAttr for a name of no attribute).
  TagSymbol CachedAttribute(std::string_view upperName);
  struct TAttributeCacheEntry {
    std::uint64_t Key = 0;
    std::uint8_t Length = 0;
    TagSymbol Symbol = TagSymbol::SymUnknownAttr;
  };

  void Prepare();
  void OwnText();  // the text copied into m_own, unless it is there already
  void NextRawCharSlowly();
  void UpdatePlainEnd();  // after m_next passed m_plainEnd, or text was inserted, or the text changed
  void SkipMarkupAtLess();
  unsigned char ReadByte();
  unsigned char ReadInsertedByte();
  void ReportProgress();
  void SkipMarkup();  // "<!" or "<%", the "<" being the current character
  void SkipDashedComment();
  void RunIncludeDirective();
  bool IncludeAllowed();
  void ReadReference(TReference& reference);
  bool ScanTagQuickly();  // ScanTag from the "<" on, for the common tag; false: left to the long way
  bool ScanTagSlowly();   // the long way, for any tag
  bool ScanTagAttributes();  // the long way on from the character after a tag's name and blanks
  void StandInTag(bool endTag, TagSymbol symbol, std::size_t at);  // a quickly read tag made the reader's own
  void SkipAttributes();  // passes over a tag's attributes as reading them would
  void SkipAttributeValue();  // the same for the "=" and value after an attribute's name
  void ReadQuotedValue(TAttribute& attribute);
  void ReadUnquotedValue(TAttribute& attribute, bool numeric);
  bool KeepsAscii(int codePage);  // the converter's answer, kept for the code page asked last
  void SetCurrentChar(char c) {
    m_ch = c;
    m_upper = kUpperCase[static_cast<unsigned char>(c)];
  }

  std::string_view m_text;  // what is read: m_own, or the text borrowed
  std::string m_own;
  std::size_t m_start = 0;  // where reading starts: after a UTF-8 mark, 3
  std::size_t m_next = 0;   // the next byte of the main text
  // Below this, the next byte is one of the main text with no inserted text before it and no progress
  // report due on it: NextRawChar takes it the short way. 0 while text is inserted.
  std::size_t m_plainEnd = 0;
  std::vector<TInsertedText> m_inserted;
  int m_includes = 0;
  std::size_t m_includedBytes = 0;

  char m_ch = 0;
  char m_upper = 0;
  int m_position = -1;
  int m_tagPosition = -1;
  TLineEnd m_lineEnd = TLineEnd::None;
  bool m_inComment = false;
  bool m_inMarkup = false;  // skipping a comment or directive: "<!" is not recognised again inside
  bool m_rawContent = false;
  bool m_scanOnly = false;
  bool m_browserRules = false;
  bool m_reportProgress = false;

  TagSymbol m_symbol = TagSymbol::SymEof;
  int m_tagValue = 0;
  bool m_endTag = false;
  TAttributeList m_attributes;
  TSymbolSet m_attributesOf;      // the tags whose attributes are read (see SetAttributesOf)
  TSymbolSet m_attributeSymbols;  // and the attributes whose values are
  bool m_someAttributes = false;  // false: every tag's
  bool m_quickTags = true;
  TokenObj m_token;
  TCharCollection m_collection;
  static constexpr int kElementCacheBits = 6;
  static constexpr int kAttributeCacheBits = 5;
  std::array<TElementCacheEntry, std::size_t{1} << kElementCacheBits> m_elementCache{};
  std::array<TAttributeCacheEntry, std::size_t{1} << kAttributeCacheBits> m_attributeCache{};

  int m_documentCodePage = kCodePageSystem;
  int m_currentCodePage = kCodePageSystem;
  bool m_utf8Mark = false;
  bool m_doctype = false;
  bool m_transcoded = false;
  TCodePageConverter m_converter;
  int m_asciiCodePage = -1;
  bool m_keepsAscii = false;

  THtmlReaderHandlers m_handlers;
  TIDNameList* m_idList = nullptr;
};

// What a page's character-set declaration names: UTF-8 (a byte-order mark at its start, or a META naming
// utf-8) or a font character set (a META element with CHARSET, or HTTP-EQUIV Content-Type and CONTENT,
// read as a page's head reads it; the last one counts). A table cut out of a page is read in the page's
// character set this way. EUC-JP, which the reader meets by transcoding the page, is not carried over.
struct TDeclaredCharset {
  bool Utf8 = false;
  std::optional<int> CharSet;
};
TDeclaredCharset DeclaredCharset(std::string_view declaration);

}  // namespace corvane
