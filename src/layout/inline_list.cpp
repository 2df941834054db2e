#include "layout/inline_list.h"

#include "layout/section_list.h"
#include "style/properties.h"
#include "style/style_context.h"

namespace corvane {

namespace {
constexpr int kOutside = 99999999;
}

void TInlineList::Clear() {
  m_records.clear();
  m_needsConverting = true;
}

void TInlineList::Add(int startSource, TProperties& properties) {
  InlineRec record;
  record.StartSource = startSource;
  record.Identity = properties.SerialNumber();
  ConvertBoxValues(properties.GetBoxValues(), 200, 200, properties.EmSize(), properties.ExSize(),
                   properties.Context().PixelsPerInch(), record.MargArray);
  m_records.push_back(record);
  m_needsConverting = true;
}

void TInlineList::SetEnd(std::uint32_t identity, int endSource) {
  for (auto record = m_records.rbegin(); record != m_records.rend(); ++record) {
    if (record->Identity == identity && record->EndSource < 0) {
      record->EndSource = endSource;
      m_needsConverting = true;
      return;
    }
  }
}

void TInlineList::Convert() {
  m_needsConverting = false;
  if (!m_document) return;
  for (InlineRec& record : m_records) {
    record.StartDoc = m_document->DocPosOfRoot(record.StartSource, false);
    record.EndDoc = record.EndSource < 0 ? m_document->CharCount : m_document->DocPosOfRoot(record.EndSource, false);
    if (record.StartDoc == record.EndDoc) --record.StartDoc;
  }
}

int TInlineList::StartOf(int index) {
  if (index < 0 || index >= Count()) return kOutside;
  if (m_needsConverting) Convert();
  return m_records[static_cast<std::size_t>(index)].StartDoc;
}

int TInlineList::EndOf(int index) {
  if (index < 0 || index >= Count()) return kOutside;
  if (m_needsConverting) Convert();
  return m_records[static_cast<std::size_t>(index)].EndDoc;
}

}  // namespace corvane
