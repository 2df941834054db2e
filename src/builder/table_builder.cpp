// TABLE elements: tables, rows, cells, captions, row groups and column declarations, with the rows,
// cells and ends that HTML leaves implicit.
#include <algorithm>

#include "builder/document_builder.h"
#include "builder/table_attributes.h"
#include "html/attribute_list.h"
#include "layout/section.h"
#include "layout/section_list.h"
#include "layout/table.h"
#include "layout/table_block.h"
#include "style/prop_stack.h"
#include "style/style_units.h"

namespace corvane {

namespace {

using S = TagSymbol;

// Where a cell's content stops: the next cell, row, row group, caption or column declaration.
const TSymbolSet kCellStop = {S::SymTableEnd, S::SymTd,      S::SymTdEnd,    S::SymTr,       S::SymTrEnd,
                              S::SymTh,       S::SymThEnd,   S::SymCaption,  S::SymCaptionEnd, S::SymCol,
                              S::SymColgroup, S::SymThead,   S::SymTbody,    S::SymTfoot,    S::SymTheadEnd,
                              S::SymTbodyEnd, S::SymTfootEnd};

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return lower;
}

// VALIGN of rows and cells: 1 top (and baseline), 2 middle, 4 bottom; 0 for none.
int VerticalAlignOf(const TAttributeList& attributes) {
  const TAttribute* valign = attributes.Find(S::SymValign);
  if (!valign) return 0;
  const std::string value = Lower(TrimmedView(valign->Text));
  if (value == "top" || value == "baseline") return 1;
  if (value == "middle") return 2;
  if (value == "bottom") return 4;
  return 0;
}

std::string AlignOfAttribute(const TAttributeList& attributes) {
  const TAttribute* align = attributes.Find(S::SymAlign);
  if (!align) return {};
  const std::string value = Lower(align->Text);
  if (value == "left" || value == "center" || value == "right" || value == "justify") return value;
  if (value == "middle") return "center";
  return {};
}

// Which columns of the declared column declarations the rows' cells take: a column is busy in a row
// when a cell of that row or a cell above spanning into it covers it. Cells come row by row and, within
// a row, from left to right.
class TCellManager {
 public:
  explicit TCellManager(int columns) : m_busyThrough(static_cast<std::size_t>(columns), -1) {}
  // More column declarations came: the grid widens to them.
  void Widen(int columns) {
    if (columns > Columns()) m_busyThrough.resize(static_cast<std::size_t>(columns), -1);
  }

  // The first free column of the row; -1 when none is.
  int FindColumn(int row) {
    if (row != m_cursorRow) {
      m_cursorRow = row;
      m_cursor = 0;
    }
    while (m_cursor < Columns() && m_busyThrough[static_cast<std::size_t>(m_cursor)] >= row) ++m_cursor;
    return m_cursor < Columns() ? m_cursor : -1;
  }
  // Marks the columns the cell covers from its row down; a cell reaching beyond the declared columns or
  // into busy ones loses the columns it cannot have.
  void OccupyCell(int row, TCellObj& cell) {
    const int p = FindColumn(row);
    if (p < 0) return;
    int free = 0;
    while (free < cell.ColSpan && p + free < Columns() && m_busyThrough[static_cast<std::size_t>(p + free)] < row) ++free;
    const int last = row + std::max(1, cell.RowSpan) - 1;
    for (int c = p; c < p + free; ++c) m_busyThrough[static_cast<std::size_t>(c)] = last;
    if (free < cell.ColSpan) cell.ColSpan = std::max(free, 1);
  }

 private:
  int Columns() const { return static_cast<int>(m_busyThrough.size()); }
  std::vector<int> m_busyThrough;  // by column: the last row a cell covers
  int m_cursorRow = -1;
  int m_cursor = 0;
};

}  // namespace

void THtmlBuilder::BuildTable() {
  if (++TableLevel > 10) {
    // Tables nested deeper are not built: their content goes on in the enclosing cell.
    --TableLevel;
    NextToken();
    return;
  }
  if (InLink) EndLink();
  CloseSection();
  TCellBasic* const enclosing = CurrentCell;
  const bool savedNoBreak = NoBreak;
  const int savedListLevel = ListLevel;
  const int savedDepth = m_blockDepth;
  ++m_blockDepth;
  CurrentCell = nullptr;

  const std::string_view enclosingAlign = Top().Value(Prop::TextAlign).AsText();
  const int justify = enclosingAlign == "center" ? 2 : enclosingAlign == "right" ? 3 : 0;
  TProperties& tableProperties = PushProperties("table");
  auto ownedTable = std::make_unique<ThtmlTable>(&m_document, tableProperties,
                                                 ReadTableAttributes(Attributes(), tableProperties.Context()));
  ThtmlTable& table = *ownedTable;
  auto tableBlock = std::make_unique<TTableBlock>(&m_document, &Attributes(), std::move(ownedTable), enclosing,
                                                  tableProperties);
  if (tableBlock->Justify != 2 && !tableBlock->IsFloating()) tableBlock->Justify = justify;
  auto wrapper = std::make_unique<TTableAndCaptionBlock>(&m_document, tableBlock.get(), &Attributes(), enclosing,
                                                         tableProperties);
  std::unique_ptr<TBlock> caption;
  bool captionOnTop = true;
  std::unique_ptr<TCellList> row;
  std::unique_ptr<TCellObj> cell;
  int rowKind = 1;
  int rowLevel = PropStack().Count();
  // Row groups pop down to the level just inside the table, and push their own entry there.
  const int groupLevel = PropStack().Count();
  int rowVAlign = 2;
  bool columnsAllowed = true;
  std::vector<std::unique_ptr<TCellList>> footRows;
  std::unique_ptr<TCellManager> grid;
  int finishedRows = 0;
  // The columns the cells of the open row take, by their spans; once they reach the document's column
  // limit, the row's further cells are passed over.
  const int columnLimit = m_document.TableColumnLimit;
  long long rowColumns = 0;

  auto finishCell = [&] {
    if (!CurrentCell) return;
    CloseSection();
    if (cell && CurrentCell == cell->Cell.get()) {
      if (grid) grid->OccupyCell(finishedRows, *cell);
      rowColumns += std::max(1, cell->ColSpan);
      if (row) row->Add(std::move(cell));
    }
    cell.reset();
    CurrentCell = nullptr;
  };
  auto finishRow = [&] {
    if (InLink) EndLink();
    if (!row) return;
    finishCell();
    row->RowType = rowKind;
    if (rowKind == 2) {
      footRows.push_back(std::move(row));
    } else {
      table.AddRow(std::move(row));
    }
    ++finishedRows;
    row.reset();
    rowColumns = 0;
    PopToCount(rowLevel);
  };

  // Puts the table into the enclosing content list: alone, or with its caption in a wrapper.
  auto attachTable = [&] {
    if (!caption) {
      enclosing->Add(std::move(tableBlock), TagPosition());
      return;
    }
    wrapper->SetCaptionBlock(caption.get());
    caption->OwnerCell = &wrapper->Content();
    tableBlock->OwnerCell = &wrapper->Content();
    wrapper->TableIndex = captionOnTop ? 1 : 0;
    if (captionOnTop) wrapper->Content().Add(std::move(caption), TagPosition());
    wrapper->Content().Add(std::move(tableBlock), TagPosition());
    if (caption) wrapper->Content().Add(std::move(caption), TagPosition());
    enclosing->Add(std::move(wrapper), TagPosition());
  };

  // Closes what is open, puts the foot rows last, attaches the table and restores the builder's state.
  auto finishTable = [&] {
    if (InLink) EndLink();
    finishCell();
    finishRow();
    PopToCount(groupLevel);
    for (auto& foot : footRows) table.AddRow(std::move(foot));
    CurrentCell = enclosing;
    attachTable();
    PopProperties("table");
    NoBreak = savedNoBreak;
    ListLevel = savedListLevel;
    m_blockDepth = savedDepth;
    --TableLevel;
  };

  // A cell past the column limit: its content is read up to where the cell's would stop and nothing of it
  // is built, so that a row of a million cells costs the cells kept. Tables in it are passed over whole;
  // its style sheets, raw content and the page-wide tags in it are read as they are in a cell built.
  auto skipCell = [&] {
    m_document.State.TableColumnsCut = true;
    SkipBlanks();
    NextToken();
    int nested = 0;
    while (Symbol() != S::SymEof) {
      const TagSymbol symbol = Symbol();
      if (nested == 0 && kCellStop.Contains(symbol)) return;
      switch (symbol) {
        case S::SymTable:
          ++nested;
          break;
        case S::SymTableEnd:
          --nested;
          break;
        case S::SymTitle:
          ReadTitle();
          continue;
        case S::SymBase:
          HandleBase();
          continue;
        case S::SymMeta:
          HandleMeta();
          continue;
        case S::SymStyle:
        case S::SymScript:
        case S::SymTextarea:
          ReadRawContent();
          break;
        default:
          break;
      }
      NextToken();
    }
  };

  NextToken();
  try {
    while (Symbol() != S::SymTableEnd && Symbol() != S::SymEof && Symbol() != S::SymCaptionEnd) {
      const TagSymbol symbol = Symbol();
      switch (symbol) {
        case S::SymTd:
        case S::SymTh: {
          columnsAllowed = false;
          if (InLink) EndLink();
          ListLevel = 0;
          if (row) {
            finishCell();
            PopToCount(rowLevel + 1);
          } else {
            rowVAlign = 2;
            rowLevel = PropStack().Count();
            PushPropertiesWithoutAttributes("tr");
            row = std::make_unique<TCellList>(TRowAttributes{}, Top());
          }
          if (columnLimit > 0 && rowColumns >= columnLimit) {
            skipCell();
            break;
          }
          TProperties& properties = PushProperties(symbol == S::SymTh ? "th" : "td");
          int vAlign = VerticalAlignOf(Attributes());
          if (vAlign == 0) vAlign = rowVAlign;
          const std::string align = AlignOfAttribute(Attributes());
          std::string_view columnAlign;
          if (grid) {
            const int column = grid->FindColumn(finishedRows);
            if (column >= 0 && column < static_cast<int>(table.ColInfo.size())) {
              const TColObj& spec = table.ColInfo[static_cast<std::size_t>(column)];
              columnAlign = spec.ColAlign;
              if (spec.ColVAlign != 0) vAlign = spec.ColVAlign;
            }
          }
          // The cell's own ALIGN, else its column's, else "left" ("center" for a header) in place of
          // "none"; all of them lose against a rule or the style attribute.
          std::string_view cellAlign;
          if (!properties.StyleSet(Prop::TextAlign)) {
            if (!align.empty()) {
              cellAlign = align;
            } else if (!columnAlign.empty()) {
              cellAlign = columnAlign;
            } else if (properties.Value(Prop::TextAlign).AsText() == "none") {
              cellAlign = symbol == S::SymTh ? "center" : "left";
            }
          }
          // Cells of one shape given one alignment share the result (most cells of a table).
          if (cellAlign.empty()) {
            PropStack().SealShape(properties, "text-align:", properties.Value(Prop::TextAlign).AsText());
          } else if (!PropStack().TakeSealedShape(properties, "text-align:", cellAlign)) {
            properties.SetFromAttribute(Prop::TextAlign, TPropValue::Text(cellAlign));
            PropStack().SealShape(properties, "text-align:", cellAlign);
          }
          cell = std::make_unique<TCellObj>(&m_document, properties, ReadCellAttributes(Attributes(), properties.Context()),
                                            vAlign);
          CurrentCell = cell->Cell.get();
          // NOWRAP holds unless the cell's width is given in pixels.
          NoBreak = Attributes().Find(S::SymNowrap) && !(cell->SpecWd > 0 && !cell->WidthAsPercent);
          SkipBlanks();
          NextToken();
          BuildFlow(kCellStop);
          break;
        }
        case S::SymTdEnd:
        case S::SymThEnd:
          finishCell();
          NextToken();
          break;
        case S::SymTr: {
          finishRow();
          rowLevel = PropStack().Count();
          TProperties& properties = PushProperties("tr");
          if (const std::string align = AlignOfAttribute(Attributes()); !align.empty()) {
            properties.SetFromAttribute(Prop::TextAlign, TPropValue::Text(align));
            PropStack().SealShape(properties, "text-align:" + align);
          }
          row = std::make_unique<TCellList>(ReadRowAttributes(Attributes(), properties.Context()), properties);
          rowVAlign = VerticalAlignOf(Attributes());
          if (rowVAlign == 0) rowVAlign = 2;
          NextToken();
          break;
        }
        case S::SymTrEnd:
          finishRow();
          NextToken();
          break;
        case S::SymCaption: {
          if (InLink) EndLink();
          NoBreak = false;
          finishCell();
          if (const TAttribute* align = Attributes().Find(S::SymAlign))
            captionOnTop = Lower(TrimmedView(align->Text)) != "bottom";
          TProperties& properties = PushProperties("caption");
          if (!caption) caption = std::make_unique<TBlock>(&m_document, &Attributes(), enclosing, properties);
          CurrentCell = &caption->Content();
          NextToken();
          BuildFlow(kCellStop);
          CloseSection();
          PopProperties("caption");
          CurrentCell = nullptr;
          if (Symbol() == S::SymCaptionEnd) NextToken();
          break;
        }
        case S::SymCol:
        case S::SymColgroup: {
          // Column declarations, up to the first cell; a COLGROUP gives its COLs their defaults.
          auto readSpec = [](const TAttributeList& attributes, TColObj& spec, int& span) {
            for (const auto& attribute : attributes) {
              switch (attribute->Symbol) {
                case S::SymAlign: {
                  const int code = AlignmentFromString(attribute->Text);
                  if (code == Align::Middle || code == Align::Left || code == Align::Right || code == Align::Justify)
                    spec.ColAlign = code == Align::Middle ? "center" : Lower(TrimmedView(attribute->Text));
                  break;
                }
                case S::SymValign: {
                  const int code = AlignmentFromString(attribute->Text);
                  if (code >= Align::Top && code <= Align::Bottom) spec.ColVAlign = code;
                  break;
                }
                case S::SymWidth:
                  if (attribute->Text.find('%') == std::string::npos) {
                    spec.ColWidth = std::clamp(attribute->Value, 0, TCellObj::kMaxPixels);
                    spec.ColAsPercent = false;
                  } else if (attribute->Value >= 1 && attribute->Value <= 100) {
                    spec.ColWidth = attribute->Value * 10;
                    spec.ColAsPercent = true;
                  }
                  break;
                case S::SymSpan:
                  span = std::max(1, attribute->Value);
                  break;
                default:
                  break;
              }
            }
          };
          constexpr int kMaxColumnSpecs = 1000;
          TColObj defaults;
          int defaultSpan = 1;
          if (symbol == S::SymColgroup) {
            if (columnsAllowed) readSpec(Attributes(), defaults, defaultSpan);
            SkipBlanks();
            NextToken();
          }
          while (Symbol() == S::SymCol) {
            if (columnsAllowed) {
              TColObj spec = defaults;
              int span = 1;
              readSpec(Attributes(), spec, span);
              for (int k = 0; k < std::min(span, 100) && static_cast<int>(table.ColInfo.size()) < kMaxColumnSpecs; ++k)
                table.AddColumn(spec);
            }
            SkipBlanks();
            NextToken();
          }
          if (Symbol() == S::SymColgroupEnd) NextToken();
          if (!table.ColInfo.empty()) {
            if (!grid) grid = std::make_unique<TCellManager>(0);
            grid->Widen(static_cast<int>(table.ColInfo.size()));
          }
          break;
        }
        case S::SymThead:
        case S::SymTbody:
        case S::SymTfoot:
        case S::SymTheadEnd:
        case S::SymTbodyEnd:
        case S::SymTfootEnd: {
          finishRow();
          PopToCount(groupLevel);
          rowLevel = groupLevel;
          if (symbol == S::SymThead) {
            const bool hasRows = !table.Rows.empty();
            rowKind = hasRows ? 1 : 0;
            if (!hasRows) PushProperties("thead");
          } else if (symbol == S::SymTbody) {
            rowKind = 1;
            PushProperties("tbody");
          } else if (symbol == S::SymTfoot) {
            rowKind = 2;
            PushProperties("tfoot");
          } else {
            rowKind = 1;
          }
          NextToken();
          break;
        }
        case S::SymUnknownTag:
          NextToken();
          break;
        default: {
          if (symbol == S::SymText && Token().Count() == 1 && Token().Chars()[0] == u' ') {
            NextToken();
            break;
          }
          // Content between cells goes before the table; a cell left open stays open.
          TCellBasic* const open = CurrentCell;
          CurrentCell = enclosing;
          BuildFlow(kCellStop);
          CloseSection();
          CurrentCell = open;
          break;
        }
      }
    }
  } catch (...) {
    // The table is kept as far as it was built; the error ends the document's build.
    finishTable();
    throw;
  }
  finishTable();
  NextToken();
}

}  // namespace corvane
