#include "sheets/sheet_table.h"

#include <QStringList>

#include <algorithm>
#include <limits>
#include <optional>
#include <string>

#include "html/attribute_list.h"
#include "html/html_reader.h"

namespace corvane {

namespace {

using S = TagSymbol;

// The reader, in the page's character set unless the fragment declares its own.
class TFragmentReader final : public THtmlReader {
 public:
  TFragmentReader(std::string text, const TDeclaredCharset& page) : THtmlReader(std::move(text)) {
    if (page.Utf8) SetCurrentUtf8();
    else if (page.CharSet) SetCurrentCharSet(*page.CharSet);
  }
};

bool IsCollapsible(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f'; }

bool IsTrimmed(char16_t c, bool trim) { return IsCollapsible(c) || (trim && (c == 0xA0 || c < 0x20 || c == 0x7F)); }

// Builds the text of one cell: runs of white space become one space, line breaks end lines, and each
// line loses the spaces at its ends. Lines are kept in one string, each ended by "\n". The buffer is
// kept from cell to cell, so that a cell costs one allocation, that of its text.
class TCellText {
 public:
  void Add(const std::vector<char16_t>& chars) {
    for (const char16_t c : chars) {
      if (IsCollapsible(c)) {
        m_space = true;
        continue;
      }
      if (m_space && m_lineHasText) m_text.push_back(u' ');
      m_space = false;
      m_text.push_back(c);
      m_lineHasText = true;
    }
  }
  // BR: always a line; the end or start of a block: a line only when text stands before it.
  void Break(bool always) {
    m_space = false;
    if (always || m_lineHasText) {
      m_text.push_back(u'\n');
      m_lineHasText = false;
    }
  }
  // The text, without the empty lines blocks left at its end, trimmed.
  QString Take(bool trim) {
    m_space = false;
    m_lineHasText = false;
    std::size_t begin = 0, end = m_text.size();
    while (begin < end && IsTrimmed(m_text[begin], trim)) ++begin;
    while (end > begin && IsTrimmed(m_text[end - 1], trim)) --end;
    QString text(reinterpret_cast<const QChar*>(m_text.data() + begin), static_cast<qsizetype>(end - begin));
    m_text.clear();
    return text;
  }

 private:
  std::u16string m_text;
  bool m_space = false;
  bool m_lineHasText = false;
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
// below the last one a span holds.
class TGrid {
 public:
  void NewRow() {
    ++m_row;
    m_column = 0;
  }
  // The cell's place, the first free column of the current row; none past the sheet's last column.
  std::optional<TSheetCell> Place(int rowSpan, int columnSpan) {
    if (m_row < 0) NewRow();
    while (m_column < static_cast<int>(m_takenUntil.size()) && m_takenUntil[static_cast<std::size_t>(m_column)] > m_row)
      ++m_column;
    if (m_column >= kMaxColumns) return std::nullopt;
    columnSpan = std::min(columnSpan, kMaxColumns - m_column);
    // A column span stops at a place a row span from above holds: cells never overlap on a sheet,
    // where two merged ranges may not share a place.
    for (int c = m_column + 1; c < m_column + columnSpan && c < static_cast<int>(m_takenUntil.size()); ++c) {
      if (m_takenUntil[static_cast<std::size_t>(c)] > m_row) {
        columnSpan = c - m_column;
        break;
      }
    }
    TSheetCell cell;
    cell.Row = m_row;
    cell.Column = m_column;
    cell.RowSpan = rowSpan;
    cell.ColumnSpan = columnSpan;
    if (m_takenUntil.size() < static_cast<std::size_t>(m_column + columnSpan))
      m_takenUntil.resize(static_cast<std::size_t>(m_column + columnSpan), 0);
    for (int c = m_column; c < m_column + columnSpan; ++c) m_takenUntil[static_cast<std::size_t>(c)] = m_row + rowSpan;
    m_column += columnSpan;
    m_rows = std::max(m_rows, m_row + rowSpan);
    m_columns = std::max(m_columns, m_column);
    return cell;
  }
  int Rows() const { return m_rows; }
  int Columns() const { return m_columns; }

 private:
  std::vector<int> m_takenUntil;
  int m_row = -1;
  int m_column = 0;
  int m_rows = 0;
  int m_columns = 0;
};

int SpanOf(const TAttributeList& attributes, S symbol, int most) {
  const TAttribute* span = attributes.Find(symbol);
  return span ? std::clamp(span->Value, 1, most) : 1;
}

}  // namespace

struct TSheetTableReader::TState {
  TState(std::string_view fragment, const TSheetReading& reading)
      : Reader(std::string(fragment), DeclaredCharset(reading.PageCharset)), Trim(reading.Trim) {
    Reader.Start();
  }

  void EndCell(std::vector<TSheetCell>& cells) {
    if (!InCell) return;
    Current.Text = Text.Take(Trim);
    cells.push_back(std::move(Current));
    InCell = false;
  }

  // Takes the current token, then moves to the next.
  void Handle(std::vector<TSheetCell>& cells) {
    const S symbol = Reader.Symbol();
    switch (symbol) {
      case S::SymText:
        if (InCell) Text.Add(Reader.Token().Chars());
        break;
      case S::SymTable:
        ++Depth;
        if (Depth > 1 && InCell) Text.Break(false);
        break;
      case S::SymTableEnd:
        if (Depth > 1 && InCell) Text.Break(false);
        if (--Depth <= 0) EndCell(cells);
        break;
      case S::SymTr:
        if (Depth > 1) break;
        EndCell(cells);
        Grid.NewRow();
        break;
      case S::SymTd:
      case S::SymTh:
        if (Depth > 1) break;
        EndCell(cells);
        if (std::optional<TSheetCell> cell = Grid.Place(SpanOf(Reader.Attributes(), S::SymRowspan, kMaxRowSpan),
                                                        SpanOf(Reader.Attributes(), S::SymColspan, kMaxColumnSpan))) {
          Current = std::move(*cell);
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
    Reader.NextToken();
  }

  TFragmentReader Reader;
  bool Trim;
  TGrid Grid;
  TCellText Text;
  TSheetCell Current;
  bool InCell = false;
  bool Ended = false;
  int Depth = 0;  // TABLE elements open; the fragment's own is the first
};

TSheetTableReader::TSheetTableReader(std::string_view fragment, const TSheetReading& reading)
    : m_state(std::make_unique<TState>(fragment, reading)) {}

TSheetTableReader::~TSheetTableReader() = default;

bool TSheetTableReader::Read(std::vector<TSheetCell>& cells, std::size_t count) {
  TState& state = *m_state;
  if (state.Ended) return false;
  const std::size_t goal = cells.size() + std::max<std::size_t>(count, 1);
  while (cells.size() < goal) {
    if (state.Reader.Symbol() == S::SymEof) {
      state.EndCell(cells);
      state.Ended = true;
      break;
    }
    state.Handle(cells);
  }
  return true;
}

int TSheetTableReader::Rows() const { return m_state->Grid.Rows(); }

int TSheetTableReader::Columns() const { return m_state->Grid.Columns(); }

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
  TSheetTableReader reader(fragment, reading);
  TSheetTable table;
  while (reader.Read(table.Cells, std::numeric_limits<std::size_t>::max() / 2)) {
  }
  table.Rows = reader.Rows();
  table.Columns = reader.Columns();
  return table;
}

}  // namespace corvane
