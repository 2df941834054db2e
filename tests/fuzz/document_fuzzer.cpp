// Feeds arbitrary bytes through the document builder and the layout: the page is built as HTML (or, when
// the first byte is odd, as plain text), laid out at two widths, painted at two scroll offsets, and asked
// the hit tests and position mappings of a viewer. Besides crashes it traps when the laid-out document
// contradicts itself: characters must map to places and back, and the height must not be negative.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "sheets/sheet_table.h"
#include "sheets/csv_writer.h"
#include "sheets/jsonl_writer.h"
#include "sheets/xlsx_workbook.h"
#include "forms/form_controls.h"
#include "layout/form_control.h"
#include "builder/document_loader.h"
#include "images/image_cache.h"
#include "images/image_fetch.h"
#include "layout/section.h"
#include "layout/section_list.h"
#include "layout/text_measurer.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

void Probe(corvane::TSectionList& document, int width) {
  int scrollWidth = 0;
  const int height = document.DoLayout(width, 300, scrollWidth);
  Check(height >= 0 && scrollWidth >= 0);
  QImage picture(width, 120, QImage::Format_ARGB32_Premultiplied);
  for (int offset : {0, height / 2}) {
    picture.fill(Qt::white);
    QPainter painter(&picture);
    document.SetYOffset(offset);
    document.Paint(painter, QRect(0, 0, width, 120), 6000, 0, 0, 0, 0);
  }
  for (int y = 0; y < height && y < 400; y += 7) {
    corvane::TLinkAtResult link;
    document.LinkAt(width / 3, y, link);
    corvane::TCharAtPoint at;
    document.CharIndexAt(width / 2, y, at);
  }
  document.FindSectionAtY(height / 2);
  for (corvane::TSectionBase* item : document.PositionList()) {
    if (!item->IsTextSection()) continue;
    auto& section = static_cast<corvane::TSection&>(*item);
    for (int i = section.FirstCharIndex; i < section.FirstCharIndex + section.CharCount; ++i) {
      const int source = section.SourcePosOf(i);
      Check(source >= 0);
      Check(section.DocPosOf(source, false) >= 0);
      int x = 0, cy = 0;
      section.CharIndexToXY(i, x, cy);
    }
  }
  document.SelB = 0;
  document.SelE = document.CharCount;
  char16_t buffer[64];
  document.GetSelTextBuf(buffer, 64);
  Check(document.GetSelLength() >= 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QGuiApplication app(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool plainText = data[0] & 1;
  const bool realFonts = data[0] & 2;
  std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  // The same bytes as a table for the spreadsheet formats: read as a browser reads it, written as CSV
  // and as a workbook's sheet.
  {
    // Links are read against an address when the first byte says so.
    const bool links = (data[0] & 8) != 0;
    const corvane::TSheetReading reading{"", (data[0] & 4) != 0, links ? "http://h.org/d/p.html" : ""};
    const corvane::TSheetTable table = corvane::ReadSheetTable(text, reading);
    // Read whole or a few cells at a time, a table gives the same CSV and the same sheets.
    std::string csv, streamed;
    corvane::AppendCsvTable(table, csv, links);
    corvane::WriteCsvTableFrom(text, reading, [&](std::string_view piece) { streamed.append(piece); }, nullptr, links);
    Check(streamed == csv);
    std::string json, streamedJson;
    corvane::AppendJsonRows(table, json, links);
    corvane::WriteJsonRowsFrom(text, reading, [&](std::string_view piece) { streamedJson.append(piece); }, nullptr, links);
    Check(streamedJson == json);
    const int rowsPerSheet = 1 + data[0] % 16;
    const std::vector<corvane::TXlsxSheet> sheets = corvane::MakeXlsxSheets(table, rowsPerSheet);
    const std::vector<corvane::TXlsxSheet> streamedSheets = corvane::MakeXlsxSheetsFrom(text, reading, rowsPerSheet);
    Check(sheets.size() == streamedSheets.size());
    for (std::size_t k = 0; k < sheets.size() && k < streamedSheets.size(); ++k)
      Check(!sheets[k].Deflated.empty() && sheets[k].Size == streamedSheets[k].Size && sheets[k].Crc == streamedSheets[k].Crc);
    for (const corvane::TSheetCell& cell : table.Cells)
      Check(cell.Row >= 0 && cell.Column >= 0 && cell.Row + cell.RowSpan <= table.Rows &&
            cell.Column + cell.ColumnSpan <= table.Columns);
    // No two cells share a place: a sheet's merged ranges may not overlap.
    if (table.Cells.size() <= 200) {
      for (std::size_t a = 0; a < table.Cells.size(); ++a)
        for (std::size_t b = a + 1; b < table.Cells.size(); ++b) {
          const corvane::TSheetCell& x = table.Cells[a];
          const corvane::TSheetCell& y = table.Cells[b];
          Check(x.Row + x.RowSpan <= y.Row || y.Row + y.RowSpan <= x.Row || x.Column + x.ColumnSpan <= y.Column ||
                y.Column + y.ColumnSpan <= x.Column);
        }
    }
  }
  // Pictures come from memory, never from files: one red pixel for names with a "p", a picture awaited
  // for names with a "w", no picture for the others.
  corvane::TStringBitmapList cache;
  corvane::TImageFetch fetch(cache);
  fetch.OnImageRequest = [](const std::string& name) {
    if (name.find('p') != std::string::npos)
      return corvane::TImageStream::WithData(
          std::string("GIF89a\x01\0\x01\0\x80\0\0\xff\0\0\0\0\0,\0\0\0\0\x01\0\x01\0\0\x02\x02" "D\x01\0;", 35));
    if (name.find('w') != std::string::npos) return corvane::TImageStream::Waiting();
    return corvane::TImageStream::WithData({});
  };
  // Made after the cache, which it gives its pictures back to when it goes.
  corvane::TSectionList document;
  document.PaintControls = true;
  document.SetPictureFetch(&fetch);
  if (!realFonts) document.SetMeasurer(std::make_unique<corvane::TFixedPitchMeasurer>(7));
  corvane::TDocumentDefaults defaults;
  // Form controls without a viewer: drawn by themselves, reset and asked for their entries.
  corvane::TFormControls formControls;
  corvane::TBuilderHandlers handlers;
  handlers.FormControls = &formControls;
  if (plainText) {
    corvane::LoadTextDocument(document, std::move(text), defaults, handlers);
  } else {
    corvane::LoadHtmlDocument(document, std::move(text), defaults, handlers);
  }
  Probe(document, 90);
  for (const auto& form : document.htmlFormList) {
    form->Submission(nullptr);
    form->Reset();
  }
  Probe(document, 640);
  return 0;
}
