#pragma once

#include <QImage>
#include <QPainter>

#include <memory>
#include <string>
#include <vector>

#include "builder/document_loader.h"
#include "layout/block.h"
#include "layout/section.h"
#include "layout/section_list.h"
#include "layout/table.h"
#include "layout/text_measurer.h"

namespace corvane::test {

// Every character is this wide in documents laid out with the fixed-pitch measurer.
inline constexpr int kPitch = 10;

// A document built from HTML text, measured with the fixed-pitch measurer unless asked otherwise. The
// default font is "Times New Roman" at 12 points (16 pixels), whose lines are LineHeight() high.
class TTestDocument {
 public:
  explicit TTestDocument(std::string html, bool fixedPitch = true, TBuilderHandlers handlers = {}) {
    if (fixedPitch) Document.SetMeasurer(std::make_unique<TFixedPitchMeasurer>(kPitch));
    Document.PaintControls = true;
    LoadHtmlDocument(Document, std::move(html), TDocumentDefaults{}, handlers);
  }

  // Lays the document out at width; returns its height.
  int LayOut(int width) {
    ScrollWidth = 0;
    Height = Document.DoLayout(width, 600, ScrollWidth);
    return Height;
  }
  // Paints the document from scroll offset y into a white picture of width x height.
  QImage Paint(int width, int height, int y = 0) {
    QImage picture(width, height, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    Document.SetYOffset(y);
    Document.Paint(painter, QRect(0, 0, width, height), 6000, 0, 0, 0, 0);
    return picture;
  }

  TBlock& Body() const { return static_cast<TBlock&>(Document[0]); }
  // The text sections in document order (the position list of the last layout).
  std::vector<TSection*> Sections() const {
    std::vector<TSection*> sections;
    for (TSectionBase* item : Document.PositionList())
      if (item->IsTextSection()) sections.push_back(static_cast<TSection*>(item));
    return sections;
  }
  // The text section whose text starts with the given characters.
  TSection* SectionStarting(std::u16string_view start) const {
    for (TSection* section : Sections())
      if (section->Text().starts_with(start)) return section;
    return nullptr;
  }
  // The text of each line of a section, without its trailing spaces.
  static std::vector<std::u16string> LineTexts(const TSection& section) {
    std::vector<std::u16string> lines;
    for (const LineRec& line : section.Lines()) {
      if (line.Ln == 0) continue;
      std::u16string text = section.Text().substr(static_cast<std::size_t>(line.Start), static_cast<std::size_t>(line.Ln));
      while (!text.empty() && text.back() == u' ') text.pop_back();
      lines.push_back(text);
    }
    return lines;
  }

  TSectionList Document;
  int ScrollWidth = 0;
  int Height = 0;
};

// The height of a line of the default font, 16-pixel "Times New Roman": 14 above the baseline and 3 below.
inline constexpr int kLineHeight = 17;
inline constexpr int kDescent = 3;
// The body's margins: 10 at the sides, 5 above and below.
inline constexpr int kBodyX = 10;
inline constexpr int kBodyY = 5;

// The blocks of a content list, in order.
inline std::vector<TBlock*> Blocks(const TCellBasic& list) {
  std::vector<TBlock*> blocks;
  for (int i = 0; i < list.Count(); ++i)
    if (TBlock* block = list[i].AsBlock()) blocks.push_back(block);
  return blocks;
}

// Pixels of a picture that are not white, within a rectangle.
inline int InkIn(const QImage& picture, const QRect& area) {
  int ink = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (picture.pixel(x, y) != qRgb(255, 255, 255)) ++ink;
  return ink;
}

// The text of a content list: sections end with "|", blocks stand in brackets, a table in braces with
// its rows separated by "/" and the cells of a row by ",".
inline std::u16string Tree(const TCellBasic& list) {
  std::u16string out;
  for (int i = 0; i < list.Count(); ++i) {
    TSectionBase& item = list[i];
    if (item.IsTextSection()) {
      std::u16string text = static_cast<TSection&>(item).Text();
      while (!text.empty() && text.back() == u' ') text.pop_back();
      out += text + u"|";
    } else if (auto* table = dynamic_cast<ThtmlTable*>(&item)) {
      out += u"{";
      for (std::size_t r = 0; r < table->Rows.size(); ++r) {
        if (r > 0) out += u"/";
        const auto& cells = table->Rows[r]->Cells;
        for (std::size_t c = 0; c < cells.size(); ++c)
          out += (c > 0 ? u"," : u"") + (cells[c] && cells[c]->Cell ? Tree(*cells[c]->Cell) : std::u16string());
      }
      out += u"}";
    } else if (TBlock* block = item.AsBlock()) {
      out += u"[" + Tree(block->Content()) + u"]";
    }
  }
  return out;
}

// The first table in list, looking into its blocks; null when there is none.
inline ThtmlTable* FirstTable(const TCellBasic& list) {
  for (int i = 0; i < list.Count(); ++i) {
    if (auto* table = dynamic_cast<ThtmlTable*>(&list[i])) return table;
    if (TBlock* block = list[i].AsBlock())
      if (ThtmlTable* table = FirstTable(block->Content())) return table;
  }
  return nullptr;
}

}  // namespace corvane::test
