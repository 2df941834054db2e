#include "sheets/xlsx_workbook.h"

#include <QHash>

#include <algorithm>
#include <charconv>
#include <optional>

#include "sheets/cell_value.h"
#include "sheets/xlsx_text.h"

namespace corvane {

namespace {

// The XML of a sheet goes to the compressor in pieces of about this size.
constexpr std::size_t kPiece = std::size_t{256} << 10;

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr std::string_view kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr std::string_view kOfficeRelationships = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr std::string_view kPackageRelationships = "http://schemas.openxmlformats.org/package/2006/relationships";
// What a hyperlink's relationship says between its number and its address.
constexpr std::string_view kHyperlinkType =
    "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/hyperlink\" Target=\"";
// And what follows its address.
constexpr std::string_view kRelationshipEnd = "\" TargetMode=\"External\"/>";

void AppendNumber(std::string& out, long long value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, end);
}

// A cell's reference, "A1" for row 0, column 0; columns run A..Z, AA..ZZ, AAA..XFD.
class TReference {
 public:
  TReference(int row, int column) {
    char letters[4];
    int count = 0;
    for (int c = column + 1; c > 0 && count < 4; c = (c - 1) / 26) letters[count++] = static_cast<char>('A' + (c - 1) % 26);
    while (count > 0) m_text[m_size++] = letters[--count];
    m_size = static_cast<std::size_t>(std::to_chars(m_text + m_size, m_text + sizeof m_text, row + 1).ptr - m_text);
  }
  std::string_view Text() const { return {m_text, m_size}; }

 private:
  char m_text[24];
  std::size_t m_size = 0;
};

void AppendReference(std::string& out, int row, int column) { out.append(TReference(row, column).Text()); }

// "$A$1" for row 0, column 0.
void AppendAbsoluteReference(std::string& out, int row, int column) {
  std::string reference;
  AppendReference(reference, row, column);
  const std::size_t digits = reference.find_first_of("0123456789");
  out.push_back('$');
  out.append(reference, 0, digits);
  out.push_back('$');
  out.append(reference, digits);
}

bool IsSpace(QChar c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

// A part up to this size is held whole and deflated in one pass; a larger one (a sheet of a table too
// large to hold, or a list of a million sheets), or one expected to be larger, goes to a streaming
// compressor in pieces of kPiece.
constexpr std::size_t kHeldPart = std::size_t{4} << 20;

// The texts of the parts a thread is writing, kept for its next parts once written: a part's text
// grows to its whole size, and growing it anew for each sheet would cost more than writing it.
class TTextPool {
 public:
  std::string Take() {
    if (m_free.empty()) return {};
    std::string text = std::move(m_free.back());
    m_free.pop_back();
    return text;
  }
  // A large text is let go: growing one costs little beside writing it.
  void Give(std::string&& text) {
    if (m_free.size() >= 4 || text.capacity() > kKeptText) return;
    text.clear();
    m_free.push_back(std::move(text));
  }

 private:
  static constexpr std::size_t kKeptText = std::size_t{1} << 20;
  std::vector<std::string> m_free;
};

thread_local TTextPool t_texts;

// Writes a part of the package: held whole up to kHeldPart, then through a compressor piece by piece.
class TPartWriter {
 public:
  // declaration: whether the part begins here (a sheet's beginning is put before it at its end).
  explicit TPartWriter(std::size_t sizeHint, bool declaration = true) : Text(t_texts.Take()), m_sizeHint(sizeHint) {
    if (declaration) Text.append(kDeclaration);
  }
  ~TPartWriter() { t_texts.Give(std::move(Text)); }
  TPartWriter(const TPartWriter&) = delete;
  TPartWriter& operator=(const TPartWriter&) = delete;

  std::string Text;
  void Flush() {
    // A part expected to be larger than can be held streams from its beginning.
    if (Text.size() < (m_compressor || m_sizeHint > kHeldPart ? kPiece : kHeldPart)) return;
    if (!m_compressor) m_compressor.emplace(m_sizeHint);
    m_compressor->Add(Text);
    Text.clear();
  }
  // head: what goes before the part's text.
  TZipMember Finish(std::string_view head = {}) {
    if (!m_compressor) {
      Text.insert(0, head);
      return DeflateWhole(Text);
    }
    m_compressor->Add(Text);
    Text.clear();
    TZipMember member = m_compressor->Finish();
    if (!head.empty()) PrependToMember(member, head);
    return member;
  }

 private:
  std::size_t m_sizeHint;
  std::optional<TZipCompressor> m_compressor;  // once the part is too large to hold
};

// The cell styles of styles.xml: plain, wrapped (a cell of several lines or of a line too long for its
// column, at the top), and the same two bold for a header row.
// A hyperlink outside the header rows is blue and underlined, as spreadsheets show links.
enum TCellStyle { kPlain = 0, kWrapped = 1, kBold = 2, kBoldWrapped = 3, kLink = 4, kLinkWrapped = 5 };
// After them, for each of the fixed number formats (see CellNumber), the format plain, bold and as a
// link: a number is one short line, never wrapped.
constexpr int kFirstNumberStyle = 6;
int NumberStyle(int formatId, bool bold, bool link) {
  return kFirstNumberStyle + (formatId - kFirstNumberFormat) * 3 + (bold ? 1 : link ? 2 : 0);
}

// One sheet of a table: its rows from firstRow to lastRow.
class TSheetPart {
 public:
  TSheetPart(std::size_t sizeHint, int firstRow, int lastRow, TSheetCuts& cuts, const TNumberReading& numbers)
      : m_part(sizeHint, false), m_firstRow(firstRow), m_lastRow(lastRow), m_numbers(numbers), m_cuts(cuts) {
    m_part.Text.append("<sheetData>");
    m_hyperlinks = t_texts.Take();
  }
  ~TSheetPart() { t_texts.Give(std::move(m_hyperlinks)); }
  TSheetPart(const TSheetPart&) = delete;
  TSheetPart& operator=(const TSheetPart&) = delete;

  // bold: the cell is in one of the table's header rows.
  void Add(const TSheetCell& cell, bool bold) {
    std::string& xml = m_part.Text;
    const int row = cell.Row - m_firstRow;
    // A span cut where the sheet ends may be left with one place, which is no merged range.
    const int lastRow = std::min(cell.Row + cell.RowSpan - 1, m_lastRow) - m_firstRow;
    const int lastColumn = std::min(cell.Column + cell.ColumnSpan, kSheetColumns) - 1;
    m_rows = std::max(m_rows, lastRow + 1);
    m_columns = std::max(m_columns, lastColumn + 1);
    if (lastRow > row || lastColumn > cell.Column) {
      m_merges.append("<mergeCell ref=\"");
      AppendReference(m_merges, row, cell.Column);
      m_merges.push_back(':');
      AppendReference(m_merges, lastRow, lastColumn);
      m_merges.append("\"/>");
      ++m_mergeCount;
    }
    const QString& text = cell.Text;
    if (text.isEmpty()) return;
    if (row != m_openRow) {
      if (m_openRow >= 0) xml.append("</row>");
      xml.append("<row r=\"");
      AppendNumber(xml, row + 1);
      xml.append("\">");
      m_openRow = row;
    }
    // The reference serves the cell and its hyperlink.
    const TReference reference(row, cell.Column);
    xml.append("<c r=\"");
    xml.append(reference.Text());
    // A spanning cell has the room of its columns: only a cell of one column sets a column's width. A
    // header's bold letters and its filter button take a few characters more.
    const TTextLines lines = LinesOf(text);
    const int longest = lines.Longest;
    if (cell.ColumnSpan == 1) {
      if (m_widths.size() <= static_cast<std::size_t>(cell.Column)) m_widths.resize(static_cast<std::size_t>(cell.Column) + 1, 0);
      unsigned char& width = m_widths[static_cast<std::size_t>(cell.Column)];
      width = static_cast<unsigned char>(std::max<int>(width, std::min(longest + (bold ? 3 : 0), kWidestColumn)));
    }
    const bool wrapped = longest > kWidestColumn || lines.Several;
    const bool link = !cell.Link.isEmpty() && m_linkCount < kMostSheetLinks;
    if (link) AddLink(reference, cell.Link);
    const std::optional<TCellNumber> number = CellNumber(text, m_numbers);
    const int style = number && number->FormatId != 0 ? NumberStyle(number->FormatId, bold, link)
                      : bold ? (wrapped ? kBoldWrapped : kBold)
                             : (link ? (wrapped ? kLinkWrapped : kLink) : (wrapped ? kWrapped : kPlain));
    if (style != kPlain) {
      xml.append("\" s=\"");
      AppendNumber(xml, style);
    }
    if (number && number->FormatId == 0) {
      // A plain number reads back as written, so its text is its value.
      xml.append("\"><v>");
      for (const QChar c : text) xml.push_back(static_cast<char>(c.unicode()));
      xml.append("</v></c>");
    } else if (number) {
      // The shortest text that reads back as the same double.
      char digits[32];
      const auto end = std::to_chars(digits, digits + sizeof digits, number->Value).ptr;
      xml.append("\"><v>");
      xml.append(digits, end);
      xml.append("</v></c>");
    } else {
      // A character's two halves stay together when the text is cut.
      qsizetype length = std::min<qsizetype>(text.size(), kCellCharacters);
      if (length < text.size() && text[length - 1].isHighSurrogate()) --length;
      if (length < text.size()) {
        ++m_cuts.CellsShortened;
        m_cuts.CharactersLeftOut += text.size() - length;
      }
      xml.append("\" t=\"inlineStr\"><is><t");
      // Spreadsheets drop white space at either end of a text unless told to keep it.
      if (IsSpace(text[0]) || IsSpace(text[length - 1])) xml.append(" xml:space=\"preserve\"");
      xml.push_back('>');
      AppendXmlText(xml, text, length);
      xml.append("</t></is></c>");
    }
    m_part.Flush();
  }

  // The table's first rows are header rows: they stay in view (frozen) and carry the filter's buttons,
  // when rows follow them.
  void SetHeaderRows(int rows) { m_headerRows = rows; }

  TXlsxSheet Finish() {
    std::string& xml = m_part.Text;
    if (m_openRow >= 0) xml.append("</row>");
    xml.append("</sheetData>");
    const bool header = m_headerRows > 0 && m_rows > m_headerRows;
    TXlsxSheet sheet;
    if (header) {
      AppendAbsoluteReference(sheet.FilterRange, m_headerRows - 1, 0);
      sheet.FilterRange.push_back(':');
      AppendAbsoluteReference(sheet.FilterRange, m_rows - 1, m_columns - 1);
      xml.append("<autoFilter ref=\"");
      AppendReference(xml, m_headerRows - 1, 0);
      xml.push_back(':');
      AppendReference(xml, m_rows - 1, m_columns - 1);
      xml.append("\"/>");
    }
    if (m_mergeCount > 0) {
      xml.append("<mergeCells count=\"");
      AppendNumber(xml, m_mergeCount);
      xml.append("\">");
      m_part.Flush();
      xml.append(m_merges);
      xml.append("</mergeCells>");
    }
    if (m_linkCount > 0) {
      m_part.Flush();
      xml.append("<hyperlinks>");
      xml.append(m_hyperlinks);
      xml.append("</hyperlinks>");
      m_rels->Add(std::string(kRelationshipEnd) + "</Relationships>", 0);
      sheet.Relationships = m_rels->Finish();
      sheet.HasRelationships = true;
    }
    xml.append("</worksheet>");

    // The sheet's beginning, which what followed decided.
    std::string head(kDeclaration);
    head.append("<worksheet xmlns=\"").append(kMain).append("\" xmlns:r=\"").append(kOfficeRelationships).append("\">");
    if (header) {
      head.append("<sheetViews><sheetView workbookViewId=\"0\"><pane ySplit=\"");
      AppendNumber(head, m_headerRows);
      head.append("\" topLeftCell=\"");
      AppendReference(head, m_headerRows, 0);
      head.append("\" activePane=\"bottomLeft\" state=\"frozen\"/><selection pane=\"bottomLeft\"/></sheetView></sheetViews>");
    }
    // Widths in characters, with room for the cell's margins; runs of columns as wide share an entry.
    bool cols = false;
    for (std::size_t column = 0; column < m_widths.size();) {
      std::size_t last = column;
      while (last + 1 < m_widths.size() && m_widths[last + 1] == m_widths[column]) ++last;
      if (m_widths[column] > 0) {
        if (!cols) head.append("<cols>");
        cols = true;
        head.append("<col min=\"");
        AppendNumber(head, static_cast<long long>(column) + 1);
        head.append("\" max=\"");
        AppendNumber(head, static_cast<long long>(last) + 1);
        head.append("\" width=\"");
        AppendNumber(head, m_widths[column] + 2);
        head.append("\" customWidth=\"1\"/>");
      }
      column = last + 1;
    }
    if (cols) head.append("</cols>");
    static_cast<TZipMember&>(sheet) = m_part.Finish(head);
    return sheet;
  }

 private:
  // A hyperlink: its place in the sheet, and its address in the sheet's relationships, numbered as the
  // sheet refers to them. Hyperlinks of a sheet to the same address share one relationship: a page
  // that links the same address in many rows makes a part far smaller, and faster to compress. The
  // addresses met are remembered in a small table by their hash, without allocating for each link; an
  // address whose place another took later just gets a relationship of its own.
  void AddLink(const TReference& reference, const QString& address) {
    ++m_linkCount;
    if (m_recentLinks.empty()) m_recentLinks.resize(kRecentLinks);
    TRecentLink& recent = m_recentLinks[qHash(address) % kRecentLinks];
    const bool added = recent.Id == 0 || recent.Address != address;
    if (added) {
      recent.Address = address;
      recent.Id = ++m_relationshipCount;
    }
    m_hyperlinks.append("<hyperlink ref=\"");
    m_hyperlinks.append(reference.Text());
    m_hyperlinks.append("\" r:id=\"rId");
    AppendNumber(m_hyperlinks, static_cast<long long>(recent.Id));
    m_hyperlinks.append("\"/>");
    if (!added) return;
    if (!m_rels) {
      m_rels.emplace();
      std::string begin(kDeclaration);
      begin.append("<Relationships xmlns=\"").append(kPackageRelationships).append("\">");
      m_rels->Add(begin, -1);
    }
    // A relationship goes in two fields, each much like the same field of the relationships before:
    // the end of the one before and its own number; its address.
    std::string& field = m_relationshipField;
    field.clear();
    if (recent.Id > 1) field.append(kRelationshipEnd);
    field.append("<Relationship Id=\"rId");
    AppendNumber(field, static_cast<long long>(recent.Id));
    m_rels->Add(field, 0);
    field.assign(kHyperlinkType);
    // An absolute address is ASCII, its other characters percent-encoded; it is written straight into
    // the field, at most 6 bytes a character ("&quot;").
    const std::size_t start = field.size();
    field.resize(start + static_cast<std::size_t>(address.size()) * 6);
    char* out = field.data() + start;
    for (const QChar unit : address) {
      const char16_t c = unit.unicode();
      switch (c) {
        case u'&': out = PutXmlBytes(out, "&amp;"); break;
        case u'<': out = PutXmlBytes(out, "&lt;"); break;
        case u'>': out = PutXmlBytes(out, "&gt;"); break;
        case u'"': out = PutXmlBytes(out, "&quot;"); break;
        default: *out++ = c < 0x80 ? static_cast<char>(c) : '_';
      }
    }
    field.resize(static_cast<std::size_t>(out - field.data()));
    m_rels->Add(field, 1);
  }

  TPartWriter m_part;
  int m_firstRow;
  int m_lastRow;
  TNumberReading m_numbers;
  int m_openRow = -1;
  int m_rows = 0;     // the sheet's rows and columns, spans included
  int m_columns = 0;
  int m_headerRows = 0;
  std::vector<unsigned char> m_widths;  // by column: the characters of its longest line, capped
  std::string m_merges;
  long long m_mergeCount = 0;
  std::string m_hyperlinks;
  std::size_t m_linkCount = 0;
  struct TRecentLink {
    QString Address;
    std::size_t Id = 0;  // its relationship; 0 for none
  };
  static constexpr std::size_t kRecentLinks = 256;
  std::vector<TRecentLink> m_recentLinks;  // by the address's hash, once the sheet has a link
  std::size_t m_relationshipCount = 0;
  std::optional<TRecordDeflater> m_rels;  // the relationships part, begun with the first hyperlink
  std::string m_relationshipField;
  TSheetCuts& m_cuts;
};

// Puts a table's cells, given in reading order, on sheets of rowsPerSheet rows, and finds its header
// rows: the rows at its top whose cells are all headers (TH, or in a THEAD), with the rows their spans
// cover. The cells of a row that may be one wait until the row is complete: a cell after them decides.
class TSheetsBuilder {
 public:
  TSheetsBuilder(int rowsPerSheet, std::size_t sizeHint, TSheetCuts& cuts, const TNumberReading& numbers)
      : m_rowsPerSheet(std::clamp(rowsPerSheet, 1, kSheetRows)), m_sizeHint(sizeHint), m_cuts(cuts),
        m_numbers(numbers), m_part(std::in_place, sizeHint, 0, m_rowsPerSheet - 1, cuts, numbers) {}

  void Add(const TSheetCell& cell) {
    if (cell.Column >= kSheetColumns) return;
    if (m_headerOpen) {
      if (!m_waiting.empty() && cell.Row != m_waiting.back().Row) EndHeaderRow(cell.Row);
      // A header row starts where the header rows so far end, on the first sheet.
      if (m_headerOpen && cell.Header && cell.Row == m_headerRows && cell.Row < m_rowsPerSheet) {
        m_headerReach = std::max(m_headerReach, cell.Row + cell.RowSpan);
        m_waiting.push_back(cell);
        return;
      }
      EndHeader(false);
    }
    Place(cell, false);
  }
  std::vector<TXlsxSheet> Finish() {
    if (m_headerOpen && !m_waiting.empty()) EndHeaderRow(m_waiting.back().Row + 1);
    EndHeader(false);
    FinishPart();
    return std::move(m_sheets);
  }

 private:
  // The waiting row is complete and a header row: its cells go on the sheet in bold. The rows up to
  // nextRow that no cell starts in are header rows too when header spans cover them.
  void EndHeaderRow(int nextRow) {
    m_headerRows = m_waiting.back().Row + 1;
    EndHeader(true);
    if (nextRow > m_headerRows && m_headerReach < nextRow) return;
    m_headerRows = std::max(m_headerRows, std::min(nextRow, std::min(m_headerReach, m_rowsPerSheet)));
    m_headerOpen = true;
  }
  void EndHeader(bool bold) {
    for (const TSheetCell& waiting : m_waiting) Place(waiting, bold);
    m_waiting.clear();
    m_headerOpen = false;
  }
  void Place(const TSheetCell& cell, bool bold) {
    if (cell.Row > m_lastRow) {
      // The rows go on on a sheet of their own.
      FinishPart();
      const int firstRow = cell.Row - cell.Row % m_rowsPerSheet;
      m_lastRow = firstRow + (m_rowsPerSheet - 1);
      m_part.emplace(m_sizeHint, firstRow, m_lastRow, m_cuts, m_numbers);
    }
    m_part->Add(cell, bold);
  }
  void FinishPart() {
    if (m_sheets.empty()) m_part->SetHeaderRows(m_headerRows);
    m_sheets.push_back(m_part->Finish());
  }

  int m_rowsPerSheet;
  std::size_t m_sizeHint;
  TSheetCuts& m_cuts;
  TNumberReading m_numbers;
  int m_lastRow = m_rowsPerSheet - 1;
  std::optional<TSheetPart> m_part;
  std::vector<TXlsxSheet> m_sheets;
  bool m_headerOpen = true;
  int m_headerRows = 0;   // the header rows found so far
  int m_headerReach = 0;  // the row below the last one their spans cover
  std::vector<TSheetCell> m_waiting;  // the cells of a row that may be a header row
};

}  // namespace

std::vector<TXlsxSheet> MakeXlsxSheets(const TSheetTable& table, int rowsPerSheet, TSheetCuts* cuts,
                                       const TNumberReading& numbers) {
  TSheetCuts found = table.Cuts;
  TSheetsBuilder sheets(rowsPerSheet, table.Cells.size() * 48, found, numbers);
  for (const TSheetCell* cell : CellsInGridOrder(table)) sheets.Add(*cell);
  std::vector<TXlsxSheet> made = sheets.Finish();
  if (cuts) *cuts = found;
  return made;
}

std::vector<TXlsxSheet> MakeXlsxSheetsFrom(std::string_view fragment, const TSheetReading& reading, int rowsPerSheet,
                                           TSheetCuts* cuts) {
  constexpr std::size_t kCellsAtATime = 4096;
  TSheetCuts shortened;
  TSheetsBuilder sheets(rowsPerSheet, fragment.size(), shortened, reading.Numbers);
  TSheetTableReader reader(fragment, reading);
  std::vector<TSheetCell> cells;
  while (reader.Read(cells, kCellsAtATime)) {
    for (const TSheetCell& cell : cells) sheets.Add(cell);
    cells.clear();
  }
  std::vector<TXlsxSheet> made = sheets.Finish();
  if (cuts) {
    *cuts = reader.Cuts();
    cuts->CellsShortened = shortened.CellsShortened;
    cuts->CharactersLeftOut = shortened.CharactersLeftOut;
  }
  return made;
}

TXlsxWorkbook::TXlsxWorkbook(TZipWriter::TSink sink) : m_zip(std::move(sink)) {}

std::string TXlsxWorkbook::SheetName(const std::string& name) const {
  // Characters a sheet name cannot hold become "_", and the name is cut to 31 characters (UTF-8
  // sequences kept whole); a name in use gets " (2)", " (3)" ... within the same length.
  QString base = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
  for (QChar& c : base)
    if (QStringLiteral("[]:*?/\\").contains(c) || c.unicode() < 0x20) c = u'_';
  base = base.trimmed();
  // A sheet name may not start with an apostrophe.
  if (base.startsWith(u'\'')) base[0] = u'_';
  if (base.isEmpty()) base = QStringLiteral("Sheet");
  for (int n = 1;; ++n) {
    const QString suffix = n == 1 ? QString() : QStringLiteral(" (%1)").arg(n);
    QString candidate = base.left(31 - suffix.size());
    if (candidate.size() > 0 && candidate.back().isHighSurrogate()) candidate.chop(1);
    // Nor may it end with an apostrophe.
    if (suffix.isEmpty() && candidate.endsWith(u'\'')) candidate.back() = u'_';
    candidate += suffix;
    if (!m_usedNames.contains(candidate.toUpper().toStdString())) return candidate.toStdString();
  }
}

void TXlsxWorkbook::AddSheet(const std::string& name, const TXlsxSheet& sheet) {
  if (!sheet.FilterRange.empty()) m_filters.emplace_back(m_names.size(), sheet.FilterRange);
  AddSheet(name, static_cast<const TZipMember&>(sheet));
  if (sheet.HasRelationships)
    m_zip.Add("xl/worksheets/_rels/sheet" + std::to_string(m_names.size()) + ".xml.rels", sheet.Relationships);
}

void TXlsxWorkbook::AddSheet(const std::string& name, const TZipMember& sheet) {
  std::string sheetName = SheetName(name);
  m_usedNames.insert(QString::fromStdString(sheetName).toUpper().toStdString());
  m_names.push_back(std::move(sheetName));
  m_zip.Add("xl/worksheets/sheet" + std::to_string(m_names.size()) + ".xml", sheet);
}

void TXlsxWorkbook::Close() {
  if (m_names.empty()) AddTable("Sheet1", TSheetTable{});
  const std::size_t sheets = m_names.size();

  TPartWriter types(sheets * 128);
  types.Text.append("<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                    "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                    "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                    "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
                    "<Override PartName=\"/xl/styles.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
                    "<Override PartName=\"/docProps/app.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.extended-properties+xml\"/>");
  for (std::size_t k = 1; k <= sheets; ++k) {
    types.Text.append("<Override PartName=\"/xl/worksheets/sheet");
    AppendNumber(types.Text, static_cast<long long>(k));
    types.Text.append(".xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>");
    types.Flush();
  }
  types.Text.append("</Types>");
  m_zip.Add("[Content_Types].xml", types.Finish());

  std::string rels(kDeclaration);
  rels.append("<Relationships xmlns=\"").append(kPackageRelationships).append("\">");
  rels.append("<Relationship Id=\"rId1\" Type=\"").append(kOfficeRelationships).append("/officeDocument\" Target=\"xl/workbook.xml\"/>");
  rels.append("<Relationship Id=\"rId2\" Type=\"").append(kOfficeRelationships).append("/extended-properties\" Target=\"docProps/app.xml\"/>");
  rels.append("</Relationships>");
  m_zip.Add("_rels/.rels", rels);

  std::string app(kDeclaration);
  app.append("<Properties xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/extended-properties\">"
             "<Application>CORVANE</Application></Properties>");
  m_zip.Add("docProps/app.xml", app);

  TPartWriter workbook(sheets * 64);
  workbook.Text.append("<workbook xmlns=\"").append(kMain).append("\" xmlns:r=\"").append(kOfficeRelationships).append("\">");
  workbook.Text.append("<bookViews><workbookView/></bookViews><sheets>");
  for (std::size_t k = 1; k <= sheets; ++k) {
    workbook.Text.append("<sheet name=\"");
    AppendXmlAttribute(workbook.Text, m_names[k - 1]);
    workbook.Text.append("\" sheetId=\"");
    AppendNumber(workbook.Text, static_cast<long long>(k));
    workbook.Text.append("\" r:id=\"rId");
    AppendNumber(workbook.Text, static_cast<long long>(k));
    workbook.Text.append("\"/>");
    workbook.Flush();
  }
  workbook.Text.append("</sheets>");
  // A sheet's filter is also a hidden name of the sheet's own, which spreadsheets look for.
  if (!m_filters.empty()) {
    workbook.Text.append("<definedNames>");
    for (const auto& [sheet, range] : m_filters) {
      workbook.Text.append("<definedName name=\"_xlnm._FilterDatabase\" localSheetId=\"");
      AppendNumber(workbook.Text, static_cast<long long>(sheet));
      workbook.Text.append("\" hidden=\"1\">&apos;");
      std::string reference = m_names[sheet];
      for (std::size_t at = 0; (at = reference.find('\'', at)) != std::string::npos; at += 2) reference.insert(at, 1, '\'');
      AppendXmlAttribute(workbook.Text, reference);
      workbook.Text.append("&apos;!");
      workbook.Text.append(range);
      workbook.Text.append("</definedName>");
      workbook.Flush();
    }
    workbook.Text.append("</definedNames>");
  }
  workbook.Text.append("</workbook>");
  m_zip.Add("xl/workbook.xml", workbook.Finish());

  TPartWriter workbookRels(sheets * 160);
  workbookRels.Text.append("<Relationships xmlns=\"").append(kPackageRelationships).append("\">");
  for (std::size_t k = 1; k <= sheets; ++k) {
    workbookRels.Text.append("<Relationship Id=\"rId");
    AppendNumber(workbookRels.Text, static_cast<long long>(k));
    workbookRels.Text.append("\" Type=\"").append(kOfficeRelationships).append("/worksheet\" Target=\"worksheets/sheet");
    AppendNumber(workbookRels.Text, static_cast<long long>(k));
    workbookRels.Text.append(".xml\"/>");
    workbookRels.Flush();
  }
  workbookRels.Text.append("<Relationship Id=\"rId");
  AppendNumber(workbookRels.Text, static_cast<long long>(sheets + 1));
  workbookRels.Text.append("\" Type=\"").append(kOfficeRelationships).append("/styles\" Target=\"styles.xml\"/></Relationships>");
  m_zip.Add("xl/_rels/workbook.xml.rels", workbookRels.Finish());

  // The cell styles of TCellStyle: plain, wrapped at the top, both in bold, and both as links; then
  // the fixed number formats, each plain, bold and as a link.
  std::string styles(kDeclaration);
  styles.append("<styleSheet xmlns=\"").append(kMain).append("\"><numFmts count=\"");
  AppendNumber(styles, kNumberFormats);
  styles.append("\">");
  for (int id = kFirstNumberFormat; id < kFirstNumberFormat + kNumberFormats; ++id) {
    styles.append("<numFmt numFmtId=\"");
    AppendNumber(styles, id);
    styles.append("\" formatCode=\"");
    AppendXmlAttribute(styles, NumberFormatCode(id));
    styles.append("\"/>");
  }
  styles.append("</numFmts>"
                "<fonts count=\"3\"><font><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font>"
                "<font><b/><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font>"
                "<font><u/><sz val=\"11\"/><color rgb=\"FF0563C1\"/><name val=\"Calibri\"/><family val=\"2\"/></font></fonts>"
                "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill><fill><patternFill patternType=\"gray125\"/></fill></fills>"
                "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
                "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
                "<cellXfs count=\"");
  AppendNumber(styles, kFirstNumberStyle + kNumberFormats * 3);
  styles.append("\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
                "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyAlignment=\"1\">"
                "<alignment vertical=\"top\" wrapText=\"1\"/></xf>"
                "<xf numFmtId=\"0\" fontId=\"1\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyFont=\"1\"/>"
                "<xf numFmtId=\"0\" fontId=\"1\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyFont=\"1\" applyAlignment=\"1\">"
                "<alignment vertical=\"top\" wrapText=\"1\"/></xf>"
                "<xf numFmtId=\"0\" fontId=\"2\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyFont=\"1\"/>"
                "<xf numFmtId=\"0\" fontId=\"2\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyFont=\"1\" applyAlignment=\"1\">"
                "<alignment vertical=\"top\" wrapText=\"1\"/></xf>");
  for (int id = kFirstNumberFormat; id < kFirstNumberFormat + kNumberFormats; ++id) {
    for (const int font : {0, 1, 2}) {
      styles.append("<xf numFmtId=\"");
      AppendNumber(styles, id);
      styles.append("\" fontId=\"");
      AppendNumber(styles, font);
      styles.append(font == 0 ? "\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\"/>"
                              : "\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\" applyFont=\"1\"/>");
    }
  }
  styles.append("</cellXfs>"
                "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
                "</styleSheet>");
  m_zip.Add("xl/styles.xml", styles);
  m_zip.Finish();
}

}  // namespace corvane
