#include "html/selection_text.h"

#include <algorithm>
#include <utility>

namespace corvane {

namespace {

constexpr char16_t kFormControlMark = 2;
constexpr char16_t kImageMark = 4;
constexpr char16_t kLineBreakMark = 8;
constexpr char16_t kLineEnd[] = {u'\r', u'\n'};

// Characters that end a word of a cell's text: the line ends the sections add, line breaks, and tabs,
// which would split the cell in two.
bool BreaksCellText(char16_t c) { return c == kLineBreakMark || c == u'\r' || c == u'\n' || c == u'\t'; }

}  // namespace

void SelTextCount::AddText(const char16_t* chars, int count) {
  for (int i = 0; i < count; ++i)
    if (chars[i] != kFormControlMark && chars[i] != kImageMark) ++m_count;
}

void SelTextCount::AddTextWithLineEnd(const char16_t* chars, int count) {
  AddText(chars, count);
  AddText(kLineEnd, 2);
}

int SelTextCount::Finish() { return m_count; }

void SelTextBuf::AddText(const char16_t* chars, int count) {
  for (int i = 0; i < count && m_count < m_size - 1; ++i) {
    const char16_t c = chars[i];
    if (c != kFormControlMark && c != kImageMark && c != kLineBreakMark) m_buffer[m_count++] = c;
  }
}

int SelTextBuf::Finish() {
  if (m_size <= 0) return 0;  // no room even for the terminating 0
  m_buffer[m_count] = 0;
  return m_count + 1;
}

void TSelectionCopy::AddText(const char16_t* chars, int count) {
  for (int i = 0; i < count; ++i) {
    const char16_t c = chars[i];
    if (c == kFormControlMark || c == kImageMark) continue;
    if (m_tableDepth == 0) {
      // A line end comes as CR LF; the LF alone stands for it.
      if (c != kLineBreakMark && c != u'\r') m_text += c;
    } else if (BreaksCellText(c)) {
      m_cellSpace = true;
    } else if (c == u' ') {
      // Spaces at the start go, and one after a break would double the break's.
      if (!m_cell.empty() && !m_cellSpace) m_cell += c;
    } else {
      if (m_cellSpace && !m_cell.empty() && m_cell.back() != u' ') m_cell += u' ';
      m_cellSpace = false;
      m_cell += c;
    }
  }
}

int TSelectionCopy::Finish() {
  while (!m_text.empty() && m_text.back() == u'\n') m_text.pop_back();
  return static_cast<int>(m_text.size());
}

void TSelectionCopy::BreakCellText() { m_cellSpace = true; }

void TSelectionCopy::BeginTable() {
  if (++m_tableDepth > 1) {
    BreakCellText();
    return;
  }
  // The table's rows start on a line of their own.
  if (!m_text.empty() && m_text.back() != u'\n') m_text += u'\n';
  m_cells.clear();
}

void TSelectionCopy::EndTable() {
  if (m_tableDepth == 0) return;
  if (--m_tableDepth > 0) BreakCellText();
}

void TSelectionCopy::BeginRow() {
  if (m_tableDepth == 1)
    m_cells.clear();
  else if (m_tableDepth > 1)
    BreakCellText();
}

void TSelectionCopy::EndRow() {
  if (m_tableDepth > 1) BreakCellText();
  if (m_tableDepth != 1) return;
  const auto hasText = [](const std::u16string& cell) { return !cell.empty(); };
  const auto first = std::find_if(m_cells.begin(), m_cells.end(), hasText);
  if (first == m_cells.end()) return;  // nothing of the row is selected
  const auto last = std::find_if(m_cells.rbegin(), m_cells.rend(), hasText).base();
  for (auto cell = first; cell != last; ++cell) {
    if (cell != first) m_text += u'\t';
    m_text += *cell;
  }
  m_text += u'\n';
  m_cells.clear();
}

void TSelectionCopy::BeginCell() {
  if (m_tableDepth > 1) {
    BreakCellText();
  } else if (m_tableDepth == 1) {
    m_cell.clear();
    m_cellSpace = false;
  }
}

void TSelectionCopy::EndCell() {
  if (m_tableDepth > 1) {
    BreakCellText();
  } else if (m_tableDepth == 1) {
    while (!m_cell.empty() && m_cell.back() == u' ') m_cell.pop_back();
    m_cells.push_back(std::move(m_cell));
    m_cell.clear();
    m_cellSpace = false;
  }
}

}  // namespace corvane
