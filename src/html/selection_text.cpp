#include "html/selection_text.h"

namespace corvane {

namespace {

constexpr char16_t kFormControlMark = 2;
constexpr char16_t kImageMark = 4;
constexpr char16_t kLineBreakMark = 8;
constexpr char16_t kLineEnd[] = {u'\r', u'\n'};

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

}  // namespace corvane
