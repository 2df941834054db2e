#pragma once

#include <QElapsedTimer>
#include <QIcon>
#include <QMainWindow>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/job_runner.h"
#include "app/screen_fit.h"

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
class QTemporaryFile;
class QUrl;

namespace corvane {

class TJobLog;

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

  // The progress bar's steps for each file of a job.
  static constexpr int kProgressSteps = 1000;
  // The smallest client area, below the menu bar, that still shows every control.
  static constexpr int kMinimumClientWidth = 600;
  static constexpr int kMinimumClientHeight = 322;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void CreateControls();
  // Places the controls for a client area of size: the input list and the log take what the window
  // gains, the right-hand buttons keep to the right edge, and a low window shortens the banner first.
  void LayOut(QSize size);
  void RestoreSettings();
  void SaveSettings();
  void btnStopClick();
  void btnOpenFolderClick();
  void SaveLog1Click();
  void ResetJobResult();
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
  void ShowLogLines(std::span<const std::string_view> lines) override;
  void ShowLabels(const std::string& currentFile, const std::string& passText) override;
  TTableChoice AskTables(const TFragmentStore& fragments, const std::string& pageCharset) override;
  void ShowError(const std::string& message) override;
  void ShowFileProgress(const TReadProgress& progress) override;
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
  QLabel* lblRate = nullptr;
  QLabel* lblOutcome = nullptr;
  QProgressBar* pbConversion = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* btnStop = nullptr;
  QPushButton* btnOpenFolder = nullptr;
  QPlainTextEdit* Memo1 = nullptr;
  TfrmPreview* PreviewDialog = nullptr;  // created on first use, a child of the window

  // The controls LayOut moves.
  QWidget* m_client = nullptr;
  QLabel* m_banner = nullptr;
  QLabel* m_bannerText = nullptr;
  QWidget* m_panel = nullptr;
  QGroupBox* m_inputGroup = nullptr;
  QGroupBox* m_outputGroup = nullptr;
  QGroupBox* m_progressGroup = nullptr;
  std::vector<QPushButton*> m_listButtons;
  QPushButton* m_browseButton = nullptr;
  QLabel* m_formatLabel = nullptr;

  // The job going on.
  bool m_jobRunning = false;
  bool m_stopPressed = false;
  int m_filesDone = 0;  // the files of the job whose run has ended
  QStringList m_jobFiles;  // the input list as the job started
  std::uint64_t m_jobStartBytes = 0;
  QElapsedTimer m_jobClock;
  qint64 m_rateShownAt = -1;

  std::unique_ptr<TJobLog> m_log;  // the log of the last job
};

// "/" appended unless the path already ends with it.
QString IncludeTrailingBackslash(const QString& path);

// The folder chooser: a file-system folder, or the empty string when the user cancels.
QString BrowseForFolder(QWidget* parent, const QString& caption, const QString& initialFolder,
                        bool allowNewFolder);

// The part of path from the last "." after the last "/", or the empty string.
QString FileExtension(const QString& path);

}  // namespace corvane
