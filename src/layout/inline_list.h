#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "style/box_values.h"

namespace corvane {

class TProperties;
class TSectionList;

// One inline element with a border or a background: its source range and its box in pixels.
struct InlineRec {
  int StartSource = 0;
  int EndSource = -1;  // -1 until the element ends
  std::uint32_t Identity = 0;  // the serial number of the element's property set
  TMarginArray MargArray;
  int StartDoc = 0;  // derived from the source range when the list is converted
  int EndDoc = 0;
};

// The inline elements with borders or backgrounds of a document, in the order they began.
class TInlineList {
 public:
  void Clear();
  // An element with a border style begins at the source position.
  void Add(int startSource, TProperties& properties);
  // The element whose property set has the identity ends at the source position.
  void SetEnd(std::uint32_t identity, int endSource);
  void MarkNeedsConverting() { m_needsConverting = true; }

  int Count() const { return static_cast<int>(m_records.size()); }
  // The document range of record index; 99999999 outside the list.
  int StartOf(int index);
  int EndOf(int index);
  const InlineRec& operator[](int index) const { return m_records[static_cast<std::size_t>(index)]; }

  void SetDocument(TSectionList* document) { m_document = document; }

  // Visits the records whose characters [StartDoc, EndDoc) meet [first, last], in order of StartDoc.
  template <typename Visit>
  void ForEachOverlapping(int first, int last, Visit visit) {
    if (m_records.empty()) return;
    if (m_needsConverting) Convert();
    // The first record that may reach first, by the furthest end so far; none after one starting past last.
    const auto from = std::lower_bound(m_endSoFar.begin(), m_endSoFar.end(), first + 1);
    for (auto at = from; at != m_endSoFar.end(); ++at) {
      const InlineRec& record = m_records[static_cast<std::size_t>(m_byStart[static_cast<std::size_t>(at - m_endSoFar.begin())])];
      if (record.StartDoc > last) break;
      if (record.EndDoc - 1 >= first) visit(record);
    }
  }

 private:
  void Convert();

  std::vector<InlineRec> m_records;
  std::vector<int> m_byStart;    // record indices in order of StartDoc
  std::vector<int> m_endSoFar;   // the furthest EndDoc of the records up to each place of m_byStart
  bool m_needsConverting = true;
  TSectionList* m_document = nullptr;
};

}  // namespace corvane
