#pragma once

#include <QDialog>

#include <memory>
#include <string>
#include <vector>

#include "extract/fragment_store.h"

class QCheckBox;
class QListWidget;
class QPushButton;

namespace corvane {

class TTablePreview;

// The modal dialog in which the user picks the tables of a file with more than one: the list names
// them 'Table1', 'Table2'..., the clicked one is shown beside it, and Extract hands back the chosen
// positions and whether the job keeps the choice for its later files.
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
  // The file they were cut from, so that their pictures are found.
  std::string PageFile;
  // The chosen 0-based positions as decimal text, ascending; filled by Extract.
  std::vector<std::string> Selection;
  // Set when Extract closed the dialog; cleared before every showing.
  bool Extracted = false;
  // The state of the remember box at the last Extract.
  bool Remember = false;

  // Fills the list from Fragments and clears the preview.
  void UpdateListBox();

  QListWidget* lstTables() const { return m_lstTables; }
  QCheckBox* chkRememberTables() const { return m_chkRememberTables; }
  QPushButton* btnExtract() const { return m_btnExtract; }
  TTablePreview& HtmlView() const { return *m_htmlView; }

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  void lstTablesClick();
  void btnExtractClick();

  QListWidget* m_lstTables;
  std::unique_ptr<TTablePreview> m_htmlView;
  QCheckBox* m_chkRememberTables;
  QPushButton* m_btnExtract;
};

}  // namespace corvane
