#include "sheets/sheet_table.h"

#include <QFileInfo>
#include <QUrl>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <deque>
#include <limits>
#include <optional>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "html/attribute_list.h"
#include "html/char_collection.h"
#include "html/html_reader.h"
#include "sheets/link_resolver.h"
#include "sheets/xlsx_workbook.h"

namespace corvane {

namespace {

using S = TagSymbol;

// The reader, in the page's character set unless the fragment declares its own, by the rules browsers
// read a page with today.
class TFragmentReader final : public THtmlReader {
 public:
  TFragmentReader(std::string_view text, const TDeclaredCharset& page) : THtmlReader(TBorrowedText{text}) {
    SetRules(TReaderRules::Browser);
    // Cells want the text alone: no source position for each character.
    SetKeepPositions(false);
    if (page.Utf8) SetCurrentUtf8();
    else if (page.CharSet) SetCurrentCharSet(*page.CharSet);
  }
  int CodePage() const { return CurrentCodePage(); }
};

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

// The page's declared character set, read once for all the tables of a page: a thread keeps the last
// declaration it read and what it declares.
TDeclaredCharset PageDeclaredCharset(const std::string& declaration) {
  thread_local std::string lastDeclaration;
  thread_local TDeclaredCharset lastCharset;
  thread_local bool read = false;
  if (!read || declaration != lastDeclaration) {
    lastCharset = DeclaredCharset(declaration);
    lastDeclaration = declaration;
    read = true;
  }
  return lastCharset;
}

// The text the reader reads: from the fragment's first "<table", its own (the scanner leaves the text
// of an enclosing table's row or cell before it); see WithoutNuls for its NUL bytes.
std::string_view TableText(std::string_view fragment) {
  constexpr std::string_view kTable = "<table";
  for (std::size_t at = fragment.find('<'); at != std::string_view::npos; at = fragment.find('<', at + 1)) {
    std::size_t k = 1;
    while (k < kTable.size() && at + k < fragment.size() && AsciiLower(fragment[at + k]) == kTable[k]) ++k;
    if (k == kTable.size()) return fragment.substr(at);
  }
  return fragment;
}

// The text without its NUL bytes, which a browser drops from text, when it has any: most texts have none and are read where they lie.
std::optional<std::string> WithoutNuls(std::string_view text) {
  if (text.find('\0') == std::string_view::npos) return std::nullopt;
  std::string copy;
  copy.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t nul = text.find('\0', at);
    const std::size_t end = nul == std::string_view::npos ? text.size() : nul;
    copy.append(text.substr(at, end - at));
    at = end + 1;
  }
  return copy;
}

bool IsCollapsible(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f'; }

bool IsTrimmed(char16_t c, bool trim) { return IsCollapsible(c) || (trim && (c == 0xA0 || c < 0x20 || c == 0x7F)); }

// Builds the text of one cell: runs of white space become one space, line breaks end lines, and each
// line loses the spaces at its ends; preformatted text keeps its spaces and line ends. Lines are kept
// in one string, each ended by "\n". The reader hands the text over as it reads it (see TTextSink): its
// bytes are converted straight into the cell's string and collapsed there, in place. A small cell's
// text is copied out and the buffer kept for the next cell; a large one's buffer becomes the cell's text,
// so that a huge cell is held once.
class TCellText final : public TTextSink {
 public:
  void AddChar(char16_t c) override {
    if (IsCollapsible(c)) {
      m_space = true;
      return;
    }
    char16_t* out = Room(2);
    if (m_space && m_lineHasText) *out++ = u' ';
    m_space = false;
    *out++ = c;
    m_size = out - m_data;
    m_lineHasText = true;
    m_sawText = m_sawText || c != 0xA0;
  }
  void AddBytes(std::string_view bytes, int codePage, TCodePageConverter& converter) override {
    if (bytes.empty()) return;
    m_at = bytes.data();
    // Room for two units a byte, one more for a space before them, and the widening's overshoot (see
    // AddAsciiBytes).
    char16_t* const out = Room(1 + 2 * static_cast<qsizetype>(bytes.size()) + kWideningOvershoot);
    if (KeepsAscii(codePage, converter)) {
      AddAsciiBytes(bytes, codePage, converter, out);
      return;
    }
    // The characters are written one unit past the end, then collapsed down to it: a space is written
    // before a character only after at least one blank was read (or, at the start, into that unit), so
    // what is written never overtakes what is read.
    const char16_t* const end = converter.WriteUtf16(bytes, codePage, out + 1);
    TCollapse state{m_space, m_lineHasText, m_sawText};
    m_size = state.Collapse(out + 1, end, out) - m_data;
    state.Keep(m_space, m_lineHasText, m_sawText);
  }
  // The table's text the reader reads: how much of it is left tells how long a cell can still grow.
  void ReadsFrom(std::string_view text) {
    m_textBegin = text.data();
    m_textEnd = text.data() + text.size();
  }
  // Whether text other than white space and no-break spaces was added since the last call.
  bool TakeSawText() {
    const bool saw = m_sawText;
    m_sawText = false;
    return saw;
  }
  // Preformatted text: every space stays, even at the cell's ends; a line end ends a line.
  void AddPreformatted(const std::vector<char16_t>& chars) {
    for (const char16_t c : chars) {
      if (c == u'\n' || c == u'\r') {
        LineEnd();
        continue;
      }
      char16_t* out = Room(2);
      if (m_space && m_lineHasText) *out++ = u' ';
      m_space = false;
      if (m_keptFrom < 0) m_keptFrom = out - m_data;
      *out++ = c == u'\f' ? u' ' : c;
      m_size = out - m_data;
      m_keptTo = m_size;
      m_lineHasText = true;
    }
  }
  // BR: always a line; the end or start of a block: a line only when text stands before it.
  void Break(bool always) {
    m_space = false;
    if (always || m_lineHasText) LineEnd();
  }
  // The text, without the empty lines blocks left at its ends, trimmed (preformatted spaces stay
  // unless trim is set).
  QString Take(bool trim) {
    qsizetype begin = 0, end = m_size;
    const qsizetype keptFrom = trim || m_keptFrom < 0 ? end : std::min(m_keptFrom, end);
    while (begin < keptFrom && IsTrimmed(m_data[begin], trim)) ++begin;
    const qsizetype keptTo = trim ? begin : std::max(m_keptTo, begin);
    while (end > keptTo && IsTrimmed(m_data[end - 1], trim)) --end;
    m_size = 0;
    m_space = false;
    m_lineHasText = false;
    m_sawText = false;
    m_keptFrom = -1;
    m_keptTo = 0;
    if (m_buffer.size() > kKeptCapacity) [[unlikely]] {
      // The buffer a large cell grew becomes its text, trimmed in place; the cells after it start a
      // buffer anew.
      QString text = std::move(m_buffer);
      m_buffer = QString();
      m_data = nullptr;
      text.truncate(end);
      text.remove(0, begin);
      // Room made for the rest of the table (see Grow) that the cell did not fill is given back.
      if (text.capacity() > 2 * text.size()) text.squeeze();
      return text;
    }
    return QString(reinterpret_cast<const QChar*>(m_data + begin), end - begin);
  }

 private:
  // Where the next count units go, after the text; the buffer grows by doubling.
  [[gnu::always_inline]] char16_t* Room(qsizetype count) {
    if (m_size + count > m_buffer.size()) [[unlikely]] Grow(count);
    return m_data + m_size;
  }
  [[gnu::noinline]] void Grow(qsizetype count) {
    qsizetype size = std::max({m_size + count, 2 * m_buffer.size(), qsizetype{256}});
    // Past kLargeCell units, the room is made at once for the rest of the table's bytes, each of which
    // is at most a unit of text (more, if the text ever outgrows that, doubles as before). Room not
    // written to is address space only, and a huge cell is not copied at every doubling: an allocator
    // that cannot grow a block where it lies would hold the old copy and the new one at once.
    if (size > kLargeCell && m_at >= m_textBegin && m_at < m_textEnd)
      size = std::max(size, m_size + count + static_cast<qsizetype>(m_textEnd - m_at));
    // Reserved exactly first: resizing alone would add room of its own on top of the doubling.
    m_buffer.reserve(size);
    m_buffer.resize(size);
    m_data = reinterpret_cast<char16_t*>(m_buffer.data());
  }
  void LineEnd() {
    m_space = false;
    *Room(1) = u'\n';
    ++m_size;
    m_lineHasText = false;
  }

  // White space collapsing as characters come: the state is held here, out of the members, while a
  // piece of text is read.
  struct TCollapse {
    bool Space;
    bool LineHasText;
    bool SawText;
    void Keep(bool& space, bool& lineHasText, bool& sawText) const {
      space = Space;
      lineHasText = LineHasText;
      sawText = SawText;
    }
    // One character that is no blank: the space before it, if it gets one, and itself.
    char16_t* Put(char16_t c, char16_t* out) {
      if (Space && LineHasText) *out++ = u' ';
      Space = false;
      *out++ = c;
      LineHasText = true;
      SawText = SawText || c != 0xA0;
      return out;
    }
    // The characters from in to end, collapsed to out, which may be where they are read: out stands no
    // further than in, a unit before it when a space is due. Answers the end of what was written.
    char16_t* Collapse(const char16_t* in, const char16_t* end, char16_t* out) {
      for (; in < end; ++in) {
        if (IsCollapsible(*in)) Space = true;
        else out = Put(*in, out);
      }
      return out;
    }
  };

  // AddBytes for a code page that keeps ASCII: bytes below 0x80 are their own characters, widened and
  // collapsed in one pass. A run of printable ASCII characters (above ' ', below 0x80), with spaces
  // alone between them, collapses to itself: it is copied as it is, sixteen, eight or four bytes at a
  // time while that many are left. Each stretch of bytes from 0x80 up is converted on its own (no character goes on over
  // an ASCII byte), written where its bytes' units would begin in the room AddBytes made at out, past
  // what is written before it, then collapsed down.
  void AddAsciiBytes(std::string_view bytes, int codePage, TCodePageConverter& converter, char16_t* const out) {
    const auto* const begin = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = begin + bytes.size();
    const auto* p = begin;
    char16_t* o = out;
    TCollapse state{m_space, m_lineHasText, m_sawText};
    // Signed, the bytes from 0x80 up are below ' ' too.
    const auto printable = [](unsigned char b) { return static_cast<signed char>(b) > ' '; };
    while (p < end) {
      const unsigned char b = *p;
      if (printable(b)) {
        if (state.Space && state.LineHasText) *o++ = u' ';
        state.Space = false;
        state.LineHasText = true;
        state.SawText = true;
#if defined(__SSE2__)
        // Sixteen bytes at a time, then eight, then four: a space is plain when the byte after it among
        // them is printable (the last one never is: the next step or the bytes one at a time take it).
        const auto plainBytes = [](__m128i v) {
          const __m128i blank = _mm_set1_epi8(' ');
          const __m128i lone = _mm_and_si128(_mm_cmpeq_epi8(v, blank), _mm_cmpgt_epi8(_mm_srli_si128(v, 1), blank));
          return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_cmpgt_epi8(v, blank), lone)));
        };
        const __m128i zero = _mm_setzero_si128();
        int count = 16;
        while (count == 16 && end - p >= 16) {
          const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
          _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_unpacklo_epi8(v, zero));
          _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 8), _mm_unpackhi_epi8(v, zero));
          count = __builtin_ctz(~plainBytes(v));  // a mask of 16 bits: bit 16 of its complement is set
          o += count;
          p += count;
        }
        if (count == 16 && end - p >= 8) {
          // The upper eight bytes are zero: none of them is plain.
          const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
          _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_unpacklo_epi8(v, zero));
          count = __builtin_ctz(~plainBytes(v));
          o += count;
          p += count;
          if (count == 8) count = 16;
        }
        if (count == 16 && end - p >= 4) {
          std::int32_t four;
          std::memcpy(&four, p, sizeof four);
          const __m128i v = _mm_cvtsi32_si128(four);
          _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_unpacklo_epi8(v, zero));
          count = __builtin_ctz(~plainBytes(v));
          o += count;
          p += count;
        }
#endif
        while (p < end && (printable(*p) || (*p == ' ' && end - p > 1 && printable(p[1])))) *o++ = *p++;
        continue;
      }
      if (b < 0x80) {
        if (IsCollapsible(b)) state.Space = true;
        else o = state.Put(b, o);
        ++p;
        continue;
      }
      const auto* stretchEnd = p + 1;
      while (stretchEnd < end && *stretchEnd >= 0x80) ++stretchEnd;
      // What is written so far takes at most two units a byte read, after the space that may be due:
      // the stretch's units, two a byte at most, start past it.
      char16_t* const in = out + 1 + 2 * (p - begin);
      const char16_t* const inEnd = converter.WriteUtf16(
          std::string_view(reinterpret_cast<const char*>(p), static_cast<std::size_t>(stretchEnd - p)), codePage, in);
      o = state.Collapse(in, inEnd, o);
      p = stretchEnd;
    }
    m_size = o - m_data;
    state.Keep(m_space, m_lineHasText, m_sawText);
  }

  // The converter's answer, kept for the code page asked last: text comes in many short pieces.
  bool KeepsAscii(int codePage, TCodePageConverter& converter) {
    if (codePage != m_asciiCodePage || &converter != m_asciiConverter) {
      m_keepsAscii = converter.KeepsAscii(codePage);
      m_asciiCodePage = codePage;
      m_asciiConverter = &converter;
    }
    return m_keepsAscii;
  }

  // The units the widening may write past what it keeps.
  static constexpr qsizetype kWideningOvershoot = 16;
  static constexpr qsizetype kKeptCapacity = qsizetype{1} << 16;
  static constexpr qsizetype kLargeCell = qsizetype{1} << 20;
  // The text is the first m_size units of the buffer, whose size is the room it has.
  QString m_buffer;
  char16_t* m_data = nullptr;
  const char* m_textBegin = nullptr;  // the table's text (see ReadsFrom)
  const char* m_textEnd = nullptr;
  const char* m_at = nullptr;  // where the bytes last added began
  qsizetype m_size = 0;
  bool m_space = false;
  bool m_lineHasText = false;
  bool m_sawText = false;
  // The preformatted characters' range, which trimming leaves alone (from -1: none).
  qsizetype m_keptFrom = -1;
  qsizetype m_keptTo = 0;
  // See KeepsAscii.
  const TCodePageConverter* m_asciiConverter = nullptr;
  int m_asciiCodePage = 0;
  bool m_keepsAscii = false;
};

bool IsBlock(S symbol) {
  switch (symbol) {
    case S::SymP: case S::SymPEnd: case S::SymDiv: case S::SymDivEnd: case S::SymLi: case S::SymH:
    case S::SymHEnd: case S::SymBlockquote: case S::SymBlockquoteEnd: case S::SymPre: case S::SymPreEnd:
    case S::SymUl: case S::SymUlEnd: case S::SymOl: case S::SymOlEnd: case S::SymDl: case S::SymDlEnd:
    case S::SymDt: case S::SymDd: case S::SymHr: case S::SymAddress: case S::SymAddressEnd: case S::SymCenter:
    case S::SymCenterEnd: case S::SymTable: case S::SymTableEnd:
      return true;
    default:
      return false;
  }
}

// Places cells on the grid, past the places that row spans from above hold: for each column, the row
// below the last one a span holds. A row group's end cuts the spans that reach past it.
class TGrid {
 public:
  void NewRow() {
    ++m_row;
    m_column = 0;
  }
  // The current row's last: every span is cut there.
  void EndRowGroup() {
    for (int& until : m_takenUntil) until = std::min(until, m_row + 1);
  }
  // Gives the cell its place, the first free column of the current row, and its spans; false past the
  // sheet's last column (counted in cuts) or past the grid's budget (Full), the cell left as it was.
  bool Place(int rowSpan, int columnSpan, TSheetCuts& cuts, TSheetCell& cell) {
    if (m_row < 0) NewRow();
    while (m_column < static_cast<int>(m_takenUntil.size()) && m_takenUntil[static_cast<std::size_t>(m_column)] > m_row)
      ++m_column;
    if (m_column >= kMaxColumns) {
      ++cuts.CellsPastLastColumn;
      return false;
    }
    columnSpan = std::min(columnSpan, kMaxColumns - m_column);
    // The grid's places count the rows begun, since a row span ends with its row group at the latest.
    const long long rows = m_row + 1;
    const long long mostColumns = kMaxTablePlaces / rows;
    if (std::max(m_columns, m_column + 1) > mostColumns) {
      m_full = true;
      cuts.RowsFrom = m_row;
      return false;
    }
    columnSpan = static_cast<int>(std::min<long long>(columnSpan, mostColumns - m_column));
    // A column span stops at a place a row span from above holds: cells never overlap on a sheet,
    // where two merged ranges may not share a place.
    for (int c = m_column + 1; c < m_column + columnSpan && c < static_cast<int>(m_takenUntil.size()); ++c) {
      if (m_takenUntil[static_cast<std::size_t>(c)] > m_row) {
        columnSpan = c - m_column;
        break;
      }
    }
    cell.Row = m_row;
    cell.Column = m_column;
    cell.RowSpan = rowSpan;
    cell.ColumnSpan = columnSpan;
    if (m_takenUntil.size() < static_cast<std::size_t>(m_column + columnSpan))
      m_takenUntil.resize(static_cast<std::size_t>(m_column + columnSpan), 0);
    for (int c = m_column; c < m_column + columnSpan; ++c) m_takenUntil[static_cast<std::size_t>(c)] = m_row + rowSpan;
    m_column += columnSpan;
    m_columns = std::max(m_columns, m_column);
    return true;
  }
  // The cell's span cut at the current row: where its row group ends.
  void CutAtCurrentRow(TSheetCell& cell) const { cell.RowSpan = std::min(cell.RowSpan, m_row + 1 - cell.Row); }
  // Whether every row the cell spans has begun: its span can no longer be cut.
  bool Settled(const TSheetCell& cell) const { return cell.Row + cell.RowSpan <= m_row + 1; }
  // A cell handed over: the grid's rows reach its last.
  void Count(const TSheetCell& cell) { m_rows = std::max(m_rows, cell.Row + cell.RowSpan); }
  bool Full() const { return m_full; }
  int Rows() const { return m_rows; }
  int Columns() const { return m_columns; }

 private:
  std::vector<int> m_takenUntil;
  int m_row = -1;
  int m_column = 0;
  int m_rows = 0;
  int m_columns = 0;
  bool m_full = false;
};

int SpanOf(const TAttributeList& attributes, S symbol, int most) {
  const TAttribute* span = attributes.Find(symbol);
  return span ? std::clamp(span->Value, 1, most) : 1;
}

// ROWSPAN=0 spans to the end of its row group, which cuts every span at the latest.
int RowSpanOf(const TAttributeList& attributes) {
  const TAttribute* span = attributes.Find(S::SymRowspan);
  if (!span) return 1;
  // Only a value that reads as a number is 0: one that is no number leaves the default.
  const std::size_t digit = span->Text.find_first_not_of(" \t\r\n\f+-");
  const bool zero =
      span->Value == 0 && digit != std::string::npos && span->Text[digit] >= '0' && span->Text[digit] <= '9';
  return zero ? kMaxRowSpan : std::clamp(span->Value, 1, kMaxRowSpan);
}

// Cells whose row span may yet be cut wait, with every cell after them, until it is settled; past this
// many waiting cells the first goes on with the rows begun, so that memory stays bounded.
constexpr std::size_t kMostWaitingCells = std::size_t{1} << 16;

}  // namespace

struct TSheetTableReader::TState {
  TState(std::string_view fragment, const TSheetReading& reading)
      : Copy(WithoutNuls(TableText(fragment))),
        Reader(Copy ? std::string_view(*Copy) : TableText(fragment), PageDeclaredCharset(reading.PageCharset)),
        Trim(reading.Trim),
        Base(reading.BaseAddress) {
    PreToken.SetKeepIndices(false);
    PreBytes.SetKeepIndices(false);
    // Text goes straight into the cell; outside a cell it is passed over (see Handle).
    Reader.SetTextSink(&Text);
    Text.ReadsFrom(Copy ? std::string_view(*Copy) : TableText(fragment));
    Reader.SetScanOnly(true);
    // The attributes the cells need: spans, links and character-set declarations. Without a base no
    // link is read, and an A's attributes are passed over unread.
    if (Base.Empty())
      Reader.SetAttributesOf({S::SymTd, S::SymTh, S::SymMeta},
                             {S::SymRowspan, S::SymColspan, S::SymCharset, S::SymHttpEquiv, S::SymContent});
    else
      Reader.SetAttributesOf({S::SymTd, S::SymTh, S::SymA, S::SymMeta},
                             {S::SymRowspan, S::SymColspan, S::SymHref, S::SymCharset, S::SymHttpEquiv, S::SymContent});
    Reader.Start();
  }

  void EndCell(std::vector<TSheetCell>& cells) {
    if (!InCell) return;
    Current.Text = Text.Take(Trim);
    if (Links == 1 && !TextOutsideLink && !Current.Text.isEmpty()) Current.Link = Base.Resolve(LinkHref);
    Links = 0;
    InLink = false;
    TextOutsideLink = false;
    InCell = false;
    PreDepth = 0;
    if (Waiting.empty() && Grid.Settled(Current)) {
      // Most cells: nothing waits before them and their span is settled.
      Grid.Count(Current);
      cells.push_back(std::move(Current));
      return;
    }
    Waiting.push_back(std::move(Current));
    HandOver(cells);
  }

  // Hands over, in reading order, the cells whose spans are settled.
  void HandOver(std::vector<TSheetCell>& cells) {
    while (!Waiting.empty() && (Grid.Settled(Waiting.front()) || Waiting.size() > kMostWaitingCells)) {
      // One that cannot wait longer spans the rows begun: its column stays reserved to the group's end.
      if (!Grid.Settled(Waiting.front())) Grid.CutAtCurrentRow(Waiting.front());
      Grid.Count(Waiting.front());
      cells.push_back(std::move(Waiting.front()));
      Waiting.pop_front();
    }
  }

  void EndRowGroup(std::vector<TSheetCell>& cells) {
    for (TSheetCell& cell : Waiting) Grid.CutAtCurrentRow(cell);
    Grid.EndRowGroup();
    HandOver(cells);
  }

  void End(std::vector<TSheetCell>& cells) {
    EndCell(cells);
    EndRowGroup(cells);
    Ended = true;
  }

  // Preformatted text up to the next tag, read by characters so that its spaces and line ends stay.
  void ReadPreformatted() {
    const int codePage = Reader.CodePage();
    auto flush = [&] {
      if (!PreBytes.Empty()) AddBytesToToken(PreToken, PreBytes, codePage, Reader.Converter());
      PreBytes.Clear();
    };
    PreToken.Clear();
    for (char c; (c = Reader.RawChar()) != '\0' && c != '<';) {
      if (c == '&') {
        flush();
        Reader.DecodeReferenceToToken(PreToken, codePage);
        continue;
      }
      // A line end right after the PRE's start tag is not the PRE's.
      if (!(c == '\r' && PreStart)) PreBytes.Add(c, Reader.Position());
      PreStart = false;
      Reader.NextChar();
    }
    flush();
    PreStart = false;
    Text.AddPreformatted(PreToken.Chars());
  }

  // Takes the current token, then moves to the next. Inlined into Read's loop, which calls it once a
  // token.
  [[gnu::always_inline]] void Handle(std::vector<TSheetCell>& cells) {
    const S symbol = Reader.Symbol();
    switch (symbol) {
      case S::SymText: {
        // The text is in the cell already, handed over as it was read.
        if (!InCell) break;
        const bool sawText = Text.TakeSawText();
        if (!InLink && !TextOutsideLink && !Base.Empty()) TextOutsideLink = sawText;
        break;
      }
      case S::SymA:
        if (!InCell || Base.Empty()) break;
        if (const TAttribute* href = Reader.Attributes().Find(S::SymHref)) {
          // A cell of several links gets none: only the first one's HREF is kept.
          if (++Links == 1) LinkHref = href->Text;
          InLink = true;
        }
        break;
      case S::SymAEnd:
        InLink = false;
        break;
      case S::SymTable:
        ++Depth;
        if (Depth > 1 && InCell) Text.Break(false);
        break;
      case S::SymTableEnd:
        if (Depth > 1 && InCell) Text.Break(false);
        if (--Depth <= 0) EndCell(cells);
        break;
      case S::SymThead:
      case S::SymTbody:
      case S::SymTfoot:
      case S::SymTheadEnd:
      case S::SymTbodyEnd:
      case S::SymTfootEnd:
        if (Depth > 1) break;
        EndCell(cells);
        EndRowGroup(cells);
        InHead = symbol == S::SymThead;
        break;
      case S::SymTr:
        if (Depth > 1) break;
        EndCell(cells);
        Grid.NewRow();
        HandOver(cells);
        break;
      case S::SymTd:
      case S::SymTh:
        if (Depth > 1) break;
        EndCell(cells);
        if (Grid.Place(RowSpanOf(Reader.Attributes()), SpanOf(Reader.Attributes(), S::SymColspan, kMaxColumnSpan), Cuts,
                       Current)) {
          // The cell before was moved out: its texts go, whatever a move leaves.
          Current.Text = QString();
          Current.Link = QString();
          Current.Header = symbol == S::SymTh || InHead;
          InCell = true;
        }
        break;
      case S::SymTdEnd:
      case S::SymThEnd:
      case S::SymTrEnd:
        if (Depth <= 1) EndCell(cells);
        break;
      case S::SymBr:
        if (InCell) Text.Break(true);
        break;
      case S::SymPre:
        if (!InCell) break;
        Text.Break(false);
        ++PreDepth;
        PreStart = true;
        break;
      case S::SymPreEnd:
        if (!InCell) break;
        Text.Break(false);
        PreDepth = std::max(PreDepth - 1, 0);
        break;
      case S::SymMeta:
        // A declaration in the table itself counts from there on, as it does in the viewer.
        Reader.HandleMetaCharset(Reader.Attributes());
        break;
      case S::SymScript:
      case S::SymStyle:
      case S::SymTextarea:
        Reader.ReadRawContent();
        break;
      default:
        if (InCell && IsBlock(symbol)) Text.Break(false);
        break;
    }
    if (PreDepth > 0 && InCell && symbol != S::SymText) ReadPreformatted();
    // Text outside the cells is read over without being converted.
    if (Reader.ScanOnly() == InCell) Reader.SetScanOnly(!InCell);
    Reader.NextToken();
  }

  std::optional<std::string> Copy;  // the table's text when it had NUL bytes to drop; else read in place
  TFragmentReader Reader;
  bool Trim;
  TLinkResolver Base;
  int Links = 0;                 // links (A with HREF) begun in the current cell
  std::string LinkHref;          // the first one's HREF
  bool InLink = false;
  bool TextOutsideLink = false;  // the current cell has text outside its links
  TGrid Grid;
  TCellText Text;
  TSheetCell Current;
  std::deque<TSheetCell> Waiting;  // finished cells not yet handed over (see HandOver)
  TSheetCuts Cuts;
  TokenObj PreToken;
  TCharCollection PreBytes;
  bool InCell = false;
  bool InHead = false;  // in the table's THEAD
  bool Ended = false;
  int Depth = 0;     // TABLE elements open; the fragment's own is the first
  int PreDepth = 0;  // PRE elements open in the current cell
  bool PreStart = false;  // right after a PRE's start tag
};

TSheetTableReader::TSheetTableReader(std::string_view fragment, const TSheetReading& reading)
    : m_state(std::make_unique<TState>(fragment, reading)) {}

TSheetTableReader::~TSheetTableReader() = default;

bool TSheetTableReader::Read(std::vector<TSheetCell>& cells, std::size_t count) {
  TState& state = *m_state;
  if (state.Ended) return false;
  const std::size_t goal = cells.size() + std::max<std::size_t>(count, 1);
  while (cells.size() < goal) {
    if (state.Reader.Symbol() == S::SymEof || state.Grid.Full()) {
      // A table left out from a row on (see kMaxTablePlaces) loses the cell begun there too.
      if (state.Grid.Full()) state.InCell = false;
      state.End(cells);
      break;
    }
    state.Handle(cells);
  }
  return true;
}

int TSheetTableReader::Rows() const { return m_state->Grid.Rows(); }

int TSheetTableReader::Columns() const { return m_state->Grid.Columns(); }

const TSheetCuts& TSheetTableReader::Cuts() const { return m_state->Cuts; }

std::vector<const TSheetCell*> CellsInGridOrder(const TSheetTable& table) {
  std::vector<const TSheetCell*> cells;
  cells.reserve(table.Cells.size());
  for (const TSheetCell& cell : table.Cells) cells.push_back(&cell);
  auto before = [](const TSheetCell* a, const TSheetCell* b) {
    return a->Row != b->Row ? a->Row < b->Row : a->Column < b->Column;
  };
  if (!std::is_sorted(cells.begin(), cells.end(), before)) std::stable_sort(cells.begin(), cells.end(), before);
  return cells;
}

TSheetTable ReadSheetTable(std::string_view fragment, const TSheetReading& reading) {
  // Tables come in many of one kind: the cells are reserved for as many a byte as the last table read on
  // this thread had, an eighth more, so that the cells rarely move as they grow. A cell takes three bytes
  // at least ("<td"). No more than kMostReserved are reserved: a large table of long texts after one of
  // many short cells would otherwise reserve many times its own size, and past that count growing by
  // doubling costs little.
  constexpr std::size_t kMostReserved = std::size_t{1} << 16;
  thread_local std::size_t lastCells = 0;
  thread_local std::size_t lastBytes = 0;
  TSheetTableReader reader(fragment, reading);
  TSheetTable table;
  if (lastBytes > 0) {
    const std::size_t cells = fragment.size() / lastBytes * lastCells + fragment.size() % lastBytes * lastCells / lastBytes;
    table.Cells.reserve(std::min({cells + cells / 8 + 1, fragment.size() / 3 + 1, kMostReserved}));
  }
  while (reader.Read(table.Cells, std::numeric_limits<std::size_t>::max() / 2)) {
  }
  table.Rows = reader.Rows();
  table.Columns = reader.Columns();
  table.Cuts = reader.Cuts();
  lastCells = table.Cells.size();
  lastBytes = std::max<std::size_t>(fragment.size(), 1);
  return table;
}

std::string PageBaseAddress(const std::string& path, std::string_view head) {
  const QString file = QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
  QUrl base = QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath());
  // The first BASE element with an HREF, before the first table.
  std::string lower(head.substr(0, std::size_t{64} << 10));
  std::transform(lower.begin(), lower.end(), lower.begin(), AsciiLower);
  const std::size_t table = lower.find("<table");
  for (std::size_t at = lower.find("<base"); at < table && at != std::string::npos; at = lower.find("<base", at + 1)) {
    const std::size_t end = lower.find('>', at);
    if (end == std::string::npos || end > table) break;
    const char after = lower[at + 5];
    if (after != ' ' && after != '\t' && after != '\n' && after != '\r' && after != '\f' && after != '/') continue;
    TFragmentReader reader(head.substr(at, end + 1 - at), TDeclaredCharset{});
    reader.Start();
    if (reader.Symbol() != S::SymBase) continue;
    if (const TAttribute* href = reader.Attributes().Find(S::SymHref)) {
      const QString text = QString::fromUtf8(href->Text.data(), static_cast<qsizetype>(href->Text.size())).trimmed();
      const QUrl resolved = base.resolved(QUrl(text));
      if (resolved.isValid()) base = resolved;
      break;
    }
  }
  return base.toString(QUrl::FullyEncoded).toStdString();
}

std::vector<std::string> DescribeCuts(const TSheetCuts& cuts, const std::string& table) {
  std::vector<std::string> lines;
  if (cuts.CellsPastLastColumn > 0)
    lines.push_back(table + ": " + std::to_string(cuts.CellsPastLastColumn) +
                    (cuts.CellsPastLastColumn == 1 ? " cell" : " cells") + " past column " +
                    std::to_string(kMaxColumns) + " left out");
  if (cuts.RowsFrom >= 0)
    lines.push_back(table + ": left out from row " + std::to_string(cuts.RowsFrom + 1) +
                    " on, where its grid would pass " + std::to_string(kMaxTablePlaces) + " places");
  if (cuts.CellsShortened > 0)
    lines.push_back(table + ": " + std::to_string(cuts.CellsShortened) +
                    (cuts.CellsShortened == 1 ? " cell" : " cells") + " cut to " + std::to_string(kCellCharacters) +
                    " characters, " + std::to_string(cuts.CharactersLeftOut) + " characters left out");
  return lines;
}

}  // namespace corvane
