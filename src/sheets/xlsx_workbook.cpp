#include "sheets/xlsx_workbook.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "sheets/cell_value.h"

namespace corvane {

namespace {

// The XML of a sheet goes to the compressor in pieces of about this size.
constexpr std::size_t kPiece = std::size_t{256} << 10;

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr std::string_view kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr std::string_view kOfficeRelationships = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr std::string_view kPackageRelationships = "http://schemas.openxmlformats.org/package/2006/relationships";

void AppendNumber(std::string& out, long long value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, end);
}

// "A1" for row 0, column 0; columns run A..Z, AA..ZZ, AAA..XFD.
void AppendReference(std::string& out, int row, int column) {
  char letters[4];
  int count = 0;
  for (int c = column + 1; c > 0 && count < 4; c = (c - 1) / 26) letters[count++] = static_cast<char>('A' + (c - 1) % 26);
  while (count > 0) out.push_back(letters[--count]);
  AppendNumber(out, row + 1);
}

// A character XML cannot hold (or a line's carriage return, which XML readers turn into a line feed),
// written the way spreadsheets escape characters in cells: "_x0001_".
char* PutEscapedCode(char* out, unsigned code) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  *out++ = '_';
  *out++ = 'x';
  for (int shift = 12; shift >= 0; shift -= 4) *out++ = kHex[(code >> shift) & 0xF];
  *out++ = '_';
  return out;
}

char* Put(char* out, std::string_view text) {
  for (const char c : text) *out++ = c;
  return out;
}

bool IsHexDigit(char16_t c) { return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f'); }

// The most bytes one UTF-16 unit becomes: an escape such as "_x0001_".
constexpr std::size_t kMostBytesPerUnit = 7;

// The first length UTF-16 units of text as XML character data in UTF-8.
void AppendXmlText(std::string& xml, const QString& text, qsizetype length) {
  const std::size_t start = xml.size();
  xml.resize(start + static_cast<std::size_t>(length) * kMostBytesPerUnit);
  char* out = xml.data() + start;
  const char16_t* units = reinterpret_cast<const char16_t*>(text.constData());
  for (qsizetype i = 0; i < length; ++i) {
    const char16_t c = units[i];
    if (c < 0x80) {
      switch (c) {
        case u'&': out = Put(out, "&amp;"); break;
        case u'<': out = Put(out, "&lt;"); break;
        case u'>': out = Put(out, "&gt;"); break;
        case u'\t':
        case u'\n': *out++ = static_cast<char>(c); break;
        case u'_':
          // A text that looks like an escape keeps its underscore as "_x005F_".
          if (i + 6 < length && units[i + 1] == u'x' && IsHexDigit(units[i + 2]) && IsHexDigit(units[i + 3]) &&
              IsHexDigit(units[i + 4]) && IsHexDigit(units[i + 5]) && units[i + 6] == u'_')
            out = PutEscapedCode(out, c);
          else
            *out++ = '_';
          break;
        default:
          if (c < 0x20 || c == 0x7F)
            out = PutEscapedCode(out, c);
          else
            *out++ = static_cast<char>(c);
      }
      continue;
    }
    char32_t code = c;
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      code = 0xFFFD;  // half of a pair
    }
    if (code == 0xFFFE || code == 0xFFFF) {
      out = PutEscapedCode(out, static_cast<unsigned>(code));
    } else if (code < 0x800) {
      *out++ = static_cast<char>(0xC0 | (code >> 6));
      *out++ = static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      *out++ = static_cast<char>(0xE0 | (code >> 12));
      *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      *out++ = static_cast<char>(0x80 | (code & 0x3F));
    } else {
      *out++ = static_cast<char>(0xF0 | (code >> 18));
      *out++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      *out++ = static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  xml.resize(static_cast<std::size_t>(out - xml.data()));
}

// Text for an XML attribute value in quotes.
void AppendXmlAttribute(std::string& out, std::string_view text) {
  for (const char c : text) {
    switch (c) {
      case '&': out.append("&amp;"); break;
      case '<': out.append("&lt;"); break;
      case '>': out.append("&gt;"); break;
      case '"': out.append("&quot;"); break;
      default: out.push_back(c);
    }
  }
}

bool IsSpace(QChar c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

// Writes a part of the package through a compressor, piece by piece: a part may list a million sheets.
class TPartWriter {
 public:
  explicit TPartWriter(std::size_t sizeHint) : m_compressor(sizeHint) { Text.append(kDeclaration); }
  std::string Text;
  void Flush() {
    if (Text.size() < kPiece) return;
    m_compressor.Add(Text);
    Text.clear();
  }
  TZipMember Finish() {
    m_compressor.Add(Text);
    Text.clear();
    return m_compressor.Finish();
  }

 private:
  TZipCompressor m_compressor;
};

// One sheet of a table: its rows from firstRow to lastRow.
class TSheetPart {
 public:
  TSheetPart(std::size_t sizeHint, int firstRow, int lastRow, TSheetCuts& cuts)
      : m_part(sizeHint), m_firstRow(firstRow), m_lastRow(lastRow), m_cuts(cuts) {
    m_part.Text.append("<worksheet xmlns=\"").append(kMain).append("\" xmlns:r=\"").append(kOfficeRelationships).append("\">");
    m_part.Text.append("<sheetData>");
  }

  void Add(const TSheetCell& cell) {
    std::string& xml = m_part.Text;
    const int row = cell.Row - m_firstRow;
    // A span cut where the sheet ends may be left with one place, which is no merged range.
    const int lastRow = std::min(cell.Row + cell.RowSpan - 1, m_lastRow) - m_firstRow;
    const int lastColumn = std::min(cell.Column + cell.ColumnSpan, kSheetColumns) - 1;
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
    xml.append("<c r=\"");
    AppendReference(xml, row, cell.Column);
    // Style 1 wraps a cell of several lines and puts it at the top.
    xml.append(text.contains(u'\n') ? "\" s=\"1" : "");
    if (PlainNumber(text)) {
      // A plain number reads back as written, so its text is its value.
      xml.append("\"><v>");
      for (const QChar c : text) xml.push_back(static_cast<char>(c.unicode()));
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

  TZipMember Finish() {
    std::string& xml = m_part.Text;
    if (m_openRow >= 0) xml.append("</row>");
    xml.append("</sheetData>");
    if (m_mergeCount > 0) {
      xml.append("<mergeCells count=\"");
      AppendNumber(xml, m_mergeCount);
      xml.append("\">");
      m_part.Flush();
      xml.append(m_merges);
      xml.append("</mergeCells>");
    }
    xml.append("</worksheet>");
    return m_part.Finish();
  }

 private:
  TPartWriter m_part;
  int m_firstRow;
  int m_lastRow;
  int m_openRow = -1;
  std::string m_merges;
  long long m_mergeCount = 0;
  TSheetCuts& m_cuts;
};

// Puts a table's cells, given in reading order, on sheets of rowsPerSheet rows.
class TSheetsBuilder {
 public:
  TSheetsBuilder(int rowsPerSheet, std::size_t sizeHint, TSheetCuts& cuts)
      : m_rowsPerSheet(std::clamp(rowsPerSheet, 1, kSheetRows)), m_sizeHint(sizeHint), m_cuts(cuts),
        m_part(std::in_place, sizeHint, 0, m_rowsPerSheet - 1, cuts) {}

  void Add(const TSheetCell& cell) {
    if (cell.Column >= kSheetColumns) return;
    if (cell.Row > m_lastRow) {
      // The rows go on on a sheet of their own.
      m_sheets.push_back(m_part->Finish());
      const int firstRow = cell.Row - cell.Row % m_rowsPerSheet;
      m_lastRow = firstRow + (m_rowsPerSheet - 1);
      m_part.emplace(m_sizeHint, firstRow, m_lastRow, m_cuts);
    }
    m_part->Add(cell);
  }
  std::vector<TZipMember> Finish() {
    m_sheets.push_back(m_part->Finish());
    return std::move(m_sheets);
  }

 private:
  int m_rowsPerSheet;
  std::size_t m_sizeHint;
  TSheetCuts& m_cuts;
  int m_lastRow = m_rowsPerSheet - 1;
  std::optional<TSheetPart> m_part;
  std::vector<TZipMember> m_sheets;
};

}  // namespace

std::vector<TZipMember> MakeXlsxSheets(const TSheetTable& table, int rowsPerSheet, TSheetCuts* cuts) {
  TSheetCuts found = table.Cuts;
  TSheetsBuilder sheets(rowsPerSheet, table.Cells.size() * 48, found);
  for (const TSheetCell* cell : CellsInGridOrder(table)) sheets.Add(*cell);
  std::vector<TZipMember> made = sheets.Finish();
  if (cuts) *cuts = found;
  return made;
}

std::vector<TZipMember> MakeXlsxSheetsFrom(std::string_view fragment, const TSheetReading& reading, int rowsPerSheet,
                                           TSheetCuts* cuts) {
  constexpr std::size_t kCellsAtATime = 4096;
  TSheetCuts shortened;
  TSheetsBuilder sheets(rowsPerSheet, fragment.size(), shortened);
  TSheetTableReader reader(fragment, reading);
  std::vector<TSheetCell> cells;
  while (reader.Read(cells, kCellsAtATime)) {
    for (const TSheetCell& cell : cells) sheets.Add(cell);
    cells.clear();
  }
  std::vector<TZipMember> made = sheets.Finish();
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
  workbook.Text.append("</sheets></workbook>");
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

  // Two cell styles: the default, and the one of cells with several lines (wrapped, at the top).
  std::string styles(kDeclaration);
  styles.append("<styleSheet xmlns=\"").append(kMain).append("\">"
                "<fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font></fonts>"
                "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill><fill><patternFill patternType=\"gray125\"/></fill></fills>"
                "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
                "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
                "<cellXfs count=\"2\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
                "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyAlignment=\"1\">"
                "<alignment vertical=\"top\" wrapText=\"1\"/></xf></cellXfs>"
                "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
                "</styleSheet>");
  m_zip.Add("xl/styles.xml", styles);
  m_zip.Finish();
}

}  // namespace corvane
