#include "layout/layout_dump.h"

#include <QString>

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "layout/block.h"
#include "layout/floating_obj.h"
#include "layout/section.h"
#include "layout/section_list.h"
#include "layout/table.h"
#include "style/font_list.h"

namespace corvane::test {
namespace {

std::string Hex(TColor colour) {
  char text[16];
  std::snprintf(text, sizeof text, "#%06x", static_cast<unsigned>(colour & 0xFFFFFF));
  // Colours are kept blue-green-red: written as a page writes them, red first.
  const std::string bgr(text + 1);
  return "#" + bgr.substr(4, 2) + bgr.substr(2, 2) + bgr.substr(0, 2);
}

std::string ColourText(TColor colour) {
  if (colour == ColorNone) return "none";
  if ((colour & 0xFF000000) == 0xFF000000) return "system" + std::to_string(colour & 0xFF);
  return Hex(colour);
}

// "[16px Times New Roman bold #000000]"
std::string FontText(const TMyFont& font) {
  std::string text = "[" + std::to_string(font.Height() < 0 ? -font.Height() : font.Height()) + "px " + font.Name();
  if (font.Style().Bold) text += " bold";
  if (font.Style().Italic) text += " italic";
  if (font.Style().Underline) text += " underline";
  if (font.Style().StrikeOut) text += " strike";
  return text + " " + ColourText(font.Color()) + "]";
}

// Characters that stand for objects and breaks are written as marks a reader can see.
std::string VisibleText(std::u16string_view text) {
  std::u16string shown;
  shown.reserve(text.size());
  for (char16_t c : text) {
    switch (c) {
      case 2: shown += u"{control}"; break;
      case 4: shown += u"{image}"; break;
      case 8: shown += u"{br}"; break;
      case 9: shown += u"{tab}"; break;
      case 0xA0: shown += u"~"; break;
      default: shown += c;
    }
  }
  return QString::fromStdU16String(shown).toStdString();
}

class TDumper {
 public:
  std::string Out;

  void List(const TCellBasic& list, int depth) {
    for (int i = 0; i < list.Count(); ++i) Item(list[i], depth);
  }

 private:
  void Line(int depth, const std::string& text) {
    Out.append(static_cast<std::size_t>(2 * depth), ' ');
    Out += text;
    Out += '\n';
  }

  void Item(TSectionBase& item, int depth) {
    if (item.IsTextSection()) {
      Section(static_cast<TSection&>(item), depth);
    } else if (auto* table = dynamic_cast<ThtmlTable*>(&item)) {
      Table(*table, depth);
    } else if (auto* rule = dynamic_cast<THorzLine*>(&item)) {
      Line(depth, "rule x=" + std::to_string(rule->LeftX) + " y=" + std::to_string(rule->TopY) + " w=" +
                      std::to_string(rule->LineWidth) + " h=" + std::to_string(rule->VSize) +
                      (rule->NoShade ? " noshade" : "") + " colour=" + ColourText(rule->Color));
    } else if (TBlock* block = item.AsBlock()) {
      std::string text = "block " + (block->TagClass.empty() ? std::string("-") : block->TagClass) +
                         " x=" + std::to_string(block->LeftX) + " y=" + std::to_string(block->TopY) +
                         " w=" + std::to_string(block->NewWidth) + " h=" + std::to_string(block->Height) +
                         " bottom=" + std::to_string(block->BottomY);
      if (block->DisplayNone) text += " display-none";
      if (block->IsFloating()) text += block->FloatLR == 5 ? " float-left" : " float-right";
      Line(depth, text);
      List(block->Content(), depth + 1);
    } else if (dynamic_cast<TPage*>(&item)) {
      Line(depth, "page-break");
    }
  }

  void Section(const TSection& section, int depth) {
    Line(depth, "text y=" + std::to_string(section.TopY) + " h=" + std::to_string(section.Height));
    const std::u16string& text = section.Text();
    const TFontList& fonts = section.Fonts();
    for (const LineRec& line : section.Lines()) {
      std::string shown = "line y=" + std::to_string(line.Top) + " x=" + std::to_string(section.LeftX + line.LineIndent) +
                          " h=" + std::to_string(line.BandHeight()) + " ";
      const int end = line.Start + line.Ln;
      int from = line.Start;
      std::string lastFont;
      // The font of the line's first character, then of every run that begins within the line with
      // another font.
      for (int k = 0; k < fonts.Count(); ++k) {
        const int start = fonts[k].StartIndex();
        const int next = k + 1 < fonts.Count() ? fonts[k + 1].StartIndex() : end;
        if (next <= line.Start || start >= end) continue;
        const int pieceEnd = std::min(next, end);
        const int pieceStart = std::max(start, from);
        if (pieceEnd <= pieceStart) continue;
        const std::string font = FontText(fonts[k].Font());
        const std::string piece = VisibleText(std::u16string_view(text).substr(
            static_cast<std::size_t>(pieceStart), static_cast<std::size_t>(pieceEnd - pieceStart)));
        if (font == lastFont) {
          shown.insert(shown.size() - 1, piece);
        } else {
          shown += font + "\"" + piece + "\"";
          lastFont = font;
        }
        from = pieceEnd;
      }
      Line(depth + 1, shown);
    }
    for (const auto& object : section.Images())
      Line(depth + 1, "object w=" + std::to_string(object->ObjWidth) + " h=" + std::to_string(object->ObjHeight) +
                          " align=" + std::to_string(object->ObjAlign));
  }

  void Table(const ThtmlTable& table, int depth) {
    std::string widths;
    for (int width : table.Widths) widths += (widths.empty() ? "" : ",") + std::to_string(width);
    Line(depth, "table y=" + std::to_string(table.TopY) + " w=" + std::to_string(table.TableWidth) + " h=" +
                    std::to_string(table.Height) + " border=" + std::to_string(table.BorderWidth) + " columns=" + widths);
    for (std::size_t r = 0; r < table.Rows.size(); ++r) {
      const TCellList& row = *table.Rows[r];
      Line(depth + 1, "row " + std::to_string(r + 1) + " h=" + std::to_string(row.RowHeight));
      for (std::size_t c = 0; c < row.Cells.size(); ++c) {
        const TCellObj* cell = row.Cells[c].get();
        if (!cell) {
          // A slot without a cell of its own: the rows a cell to its left spans when that cell covers it,
          // else none.
          int rows = 0;
          for (std::size_t k = c; k-- > 0;) {
            if (const TCellObj* left = row.Cells[k].get()) {
              if (k + static_cast<std::size_t>(left->ColSpan) > c) rows = left->RowSpan;
              break;
            }
          }
          Line(depth + 2, "cell w=0 h=0 span=0x" + std::to_string(rows));
          continue;
        }
        Line(depth + 2, "cell w=" + std::to_string(cell->Wd) + " h=" + std::to_string(cell->Ht) +
                            " span=" + std::to_string(cell->ColSpan) + "x" + std::to_string(cell->RowSpan));
        if (cell->Cell) List(*cell->Cell, depth + 3);
      }
    }
  }
};

}  // namespace

std::string LayoutDump(const TSectionList& document) {
  TDumper dumper;
  dumper.Out = "background " + ColourText(document.Background()) + "\n";
  dumper.List(document, 0);
  return dumper.Out;
}

}  // namespace corvane::test
