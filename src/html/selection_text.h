#pragma once

#include <string>
#include <vector>

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

  // A table tells where its rows and cells begin and end, around the text of its cells. The plain
  // collectors take no notice: the cells' text runs on as the text of the items around it does.
  virtual void BeginTable() {}
  virtual void EndTable() {}
  virtual void BeginRow() {}
  virtual void EndRow() {}
  virtual void BeginCell() {}
  virtual void EndCell() {}

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

// The selection as text for the clipboard, laid out so that a table pastes into a spreadsheet as cells.
// Outside tables the text is what SelTextBuf copies, with "\n" for each line end. A table gives one line
// per row that holds selected text, its cells separated by tabs; the cells of a row before the first
// and after the last one with selected text are left out, the empty ones between stay so that the
// columns keep their places. A cell's line ends and line breaks become single spaces and its text is
// trimmed; a table inside a cell becomes part of that cell's text, its cells separated by spaces. The
// text never ends with a line end.
class TSelectionCopy final : public SelTextCount {
 public:
  void AddText(const char16_t* chars, int count) override;
  // Completes the text and answers its length.
  int Finish() override;
  // The text; complete once Finish has been called.
  const std::u16string& Text() const { return m_text; }

  void BeginTable() override;
  void EndTable() override;
  void BeginRow() override;
  void EndRow() override;
  void BeginCell() override;
  void EndCell() override;

 private:
  // Ends a word of the current cell: the next text is set off from it by one space.
  void BreakCellText();

  std::u16string m_text;
  int m_tableDepth = 0;                 // 1 in an outermost table, more in tables nested in its cells
  std::vector<std::u16string> m_cells;  // the current row's cells so far, trimmed
  std::u16string m_cell;                // the text of the current cell so far
  bool m_cellSpace = false;             // a space is due before the cell's next text
};

}  // namespace corvane
