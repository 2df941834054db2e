#include "layout/inline_list.h"

#include <climits>

#include "layout/section.h"

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
  // The document position of a source position is the answer of the first section (in the order the
  // look-ups walk the document) whose text reaches that far: found by the furthest source so far.
  std::vector<TSection*> sections;
  m_document->CollectSections(sections);
  std::vector<int> reach(sections.size());
  int furthest = -1;
  for (std::size_t i = 0; i < sections.size(); ++i) {
    furthest = std::max(furthest, sections[i]->LastSourcePosition());
    reach[i] = furthest;
  }
  auto docPosOf = [&](int source) {
    const auto at = std::lower_bound(reach.begin(), reach.end(), source);
    if (at == reach.end()) return m_document->CharCount;
    const int answer = sections[static_cast<std::size_t>(at - reach.begin())]->DocPosOf(source, false);
    return answer >= 0 ? answer : m_document->CharCount;
  };
  for (InlineRec& record : m_records) {
    record.StartDoc = docPosOf(record.StartSource);
    record.EndDoc = record.EndSource < 0 ? m_document->CharCount : docPosOf(record.EndSource);
    if (record.StartDoc == record.EndDoc) --record.StartDoc;
  }
  m_byStart.resize(m_records.size());
  for (std::size_t i = 0; i < m_byStart.size(); ++i) m_byStart[i] = static_cast<int>(i);
  std::stable_sort(m_byStart.begin(), m_byStart.end(), [this](int a, int b) {
    return m_records[static_cast<std::size_t>(a)].StartDoc < m_records[static_cast<std::size_t>(b)].StartDoc;
  });
  m_endSoFar.resize(m_byStart.size());
  int end = INT_MIN;
  for (std::size_t i = 0; i < m_byStart.size(); ++i) {
    end = std::max(end, m_records[static_cast<std::size_t>(m_byStart[i])].EndDoc);
    m_endSoFar[i] = end;
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
