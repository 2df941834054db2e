#pragma once

namespace corvane {

// Collects the text of a selection from the document items that hold it. This one only counts the
// characters the copy will hold; SelTextBuf copies them. Form-control and image place holders (codes 2 and
// 4) are no text.
class SelTextCount {
 public:
  virtual ~SelTextCount() = default;

  virtual void AddText(const char16_t* chars, int count);
  void AddTextWithLineEnd(const char16_t* chars, int count);
  // The number of characters counted.
  virtual int Finish();

 protected:
  int m_count = 0;
};

// Copies the selection into a caller's buffer of size characters, as much as fits with a terminating 0.
// Line-break markers (code 8) are left out as well.
class SelTextBuf final : public SelTextCount {
 public:
  SelTextBuf(char16_t* buffer, int size) : m_buffer(buffer), m_size(size) {}

  void AddText(const char16_t* chars, int count) override;
  // Stores the terminating 0 and answers the characters stored with it.
  int Finish() override;

 private:
  char16_t* m_buffer;  // not owned
  int m_size;
};

}  // namespace corvane
