#pragma once

#include <QDialog>
#include <QRect>
#include <QSize>
#include <QString>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/screen_fit.h"
#include "extract/fragment_store.h"

class QCheckBox;
class QListWidget;
class QPushButton;
class QSplitter;

namespace corvane {

class TTablePreview;

// What an entry of the table list says about its table, so that tables are told apart before they
// are clicked: the grid's rows and columns as the sheet gets them, and the text of the first cell that
// has any, its white space collapsed and cut to kSummaryTextLength characters.
struct TTableSummary {
  bool Counted = false;  // false: only FirstCell is known (a table too large to count unasked)
  int Rows = 0;
  int Columns = 0;
  QString FirstCell;
};

// Fragments larger than this are counted when they are first clicked, not when the list is filled:
// their first cell is looked for in their first kSummaryPrefix bytes only.
inline constexpr std::size_t kCountOnClickSize = std::size_t{4} << 20;
inline constexpr std::size_t kSummaryPrefix = std::size_t{64} << 10;
inline constexpr int kSummaryTextLength = 40;

// Reads the fragment as the sheet writers do (see TSheetTableReader), one pass, a few cells at a time.
// With countAll unset and a fragment above kCountOnClickSize, only its first kSummaryPrefix bytes are
// read for the first cell and the summary is not Counted.
TTableSummary SummariseTable(std::string_view fragment, const std::string& pageCharset, bool countAll);
// The entry's second line: `12 × 4, "Region"`; the size in MB for a table not counted.
QString TableDetail(const TTableSummary& summary, std::size_t fragmentSize);

// The modal dialog in which the user picks the tables of a file with more than one: the list names
// them 'Table1', 'Table2'... with each one's size and first words below, the clicked one is shown
// beside it, and Extract hands back the chosen positions and whether the job keeps the choice for its
// later files. It can be resized; its size and the split between list and table are kept for the
// next time the program runs.
class TfrmPreview final : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmPreview(QWidget* parent);
  ~TfrmPreview() override;

  // The current file's table fragments, filled before the dialog is shown: the dialog's own, or the
  // job's, which JobFragments then points to while the dialog shows them (a large page's tables are
  // never copied).
  TFragmentStore Fragments;
  const TFragmentStore* JobFragments = nullptr;
  const TFragmentStore& Tables() const { return JobFragments ? *JobFragments : Fragments; }
  // The character-set declaration of their page (see PageCharsetDeclaration), filled with them: a
  // table is shown as its page reads it.
  std::string PageCharset;
  // The file they were cut from, so that their pictures are found; its name is in the title.
  std::string PageFile;
  // The chosen 0-based positions as decimal text, ascending; filled by Extract.
  std::vector<std::string> Selection;
  // Set when Extract closed the dialog; cleared before every showing.
  bool Extracted = false;
  // The state of the remember box at the last Extract.
  bool Remember = false;

  // A new job begins: the remember box starts unticked. Within a job it keeps its state.
  void StartJob();
  // Fills the list from Fragments, names PageFile in the title and clears the preview.
  void UpdateListBox();

  QListWidget* lstTables() const { return m_lstTables; }
  QCheckBox* chkRememberTables() const { return m_chkRememberTables; }
  QPushButton* btnExtract() const { return m_btnExtract; }
  QSplitter* Splitter() const { return m_splitter; }
  TTablePreview& HtmlView() const { return *m_htmlView; }

  // The item data role of an entry's second line.
  static constexpr int kDetailRole = Qt::UserRole + 1;

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void lstTablesClick();
  void btnExtractClick();
  void DescribeEntry(int row, const TTableSummary& summary);
  // Reads the details of the entries first to last that have none yet.
  void DescribeEntries(int first, int last);
  void DescribeVisibleEntries();
  void PlaceOnScreen();
  void SaveGeometry() const;

  QSplitter* m_splitter;
  QListWidget* m_lstTables;
  std::unique_ptr<TTablePreview> m_htmlView;
  QCheckBox* m_chkRememberTables;
  QPushButton* m_btnExtract;
  int m_shownTable = 0;  // the table the viewer shows, from 0
  bool m_placed = false;  // the first showing restores the kept geometry; later ones keep the current
};

}  // namespace corvane
