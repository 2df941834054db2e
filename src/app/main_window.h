#pragma once

#include <QIcon>
#include <QMainWindow>
#include <QStringList>

#include <string>
#include <vector>

#include "app/job_runner.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QUrl;

namespace corvane {

class TfrmPreview;

// The program's main window: the input list (open dialog or files dropped from a file manager), the
// output settings, Start, and the progress of the conversion job, which runs on the window's job
// thread while the window stays responsive. Its controls carry their names as object names.
// The program's icon, in every size it comes in.
QIcon ApplicationIcon();

class TfrmMain final : public QMainWindow, private TJobRunner {
  Q_OBJECT

 public:
  TfrmMain();
  ~TfrmMain() override;

  // Adds files as if they had been dropped on the input list.
  void HandleDroppedFiles(const QList<QUrl>& urls);

  TConversionJob& Job() { return TJobRunner::Job(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void CreateControls();
  void OpenHTML1Click();
  void btnDeleteSelectedClick();
  void btnClearFilesClick();
  void chkAppendFilesClick();
  void btnBrowseClick();
  void Button1Click();
  void ShowQueueInList();
  void Message(const char* text);
  void ShowAbout();

  // TJobRunner: the user-interface side of the job.
  void ShowLogLines(std::span<const std::string> lines) override;
  void ShowLabels(const std::string& currentFile, const std::string& passText) override;
  TTableChoice AskTables(const TFragmentStore& fragments, const std::string& pageCharset) override;
  void ShowError(const std::string& message) override;
  void JobEnded(TJobEnd how) override;
  std::vector<std::string> InputListEntries() const override;
  int ProgressMaximum() const override;
  void SetProgressPosition(int position) override;

  QComboBox* cmbFormat = nullptr;
  QMenu* m_fileMenu = nullptr;
  QListWidget* lstInputFiles = nullptr;
  QLineEdit* txtOutputCSVPath = nullptr;
  QCheckBox* chkAppendFiles = nullptr;
  QCheckBox* chkTrimCellValues = nullptr;
  QLabel* lblFile = nullptr;
  QLabel* lblPass = nullptr;
  QProgressBar* pbConversion = nullptr;
  QPushButton* Button1 = nullptr;
  QPlainTextEdit* Memo1 = nullptr;
  TfrmPreview* PreviewDialog = nullptr;  // created on first use, a child of the window
};

// "/" appended unless the path already ends with it.
QString IncludeTrailingBackslash(const QString& path);

// The folder chooser: a file-system folder, or the empty string when the user cancels.
QString BrowseForFolder(QWidget* parent, const QString& caption, const QString& initialFolder,
                        bool allowNewFolder);

// The part of path from the last "." after the last "/", or the empty string.
QString FileExtension(const QString& path);

}  // namespace corvane
