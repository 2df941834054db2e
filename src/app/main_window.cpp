#include "app/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QSettings>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QUrl>

#include <filesystem>
#include <system_error>

#include "app/dialog_font.h"
#include "app/display_text.h"
#include "app/table_selection_dialog.h"
#include "app/ui_texts.h"

// The banner lives in the app library's resources, which a static library must register itself.
static void InitAppResources() { Q_INIT_RESOURCE(app); }

namespace corvane {

namespace {
constexpr char kFormatSetting[] = "Output/Format";
QSettings Settings() { return QSettings(kApplicationTitle, kApplicationTitle); }
}  // namespace

QIcon ApplicationIcon() {
  InitAppResources();
  QIcon icon;
  for (int size : {16, 32, 48, 64, 128, 256}) icon.addFile(QString(":/corvane/icon-%1.png").arg(size), QSize(size, size));
  return icon;
}

namespace {

constexpr int kClientWidth = 624;
constexpr int kClientHeight = 422;
constexpr int kInitialProgressMaximum = 100;

template <typename Widget, typename... Args>
Widget* Make(QWidget* parent, const char* name, QRect place, Args&&... args) {
  auto* widget = new Widget(std::forward<Args>(args)..., parent);
  widget->setObjectName(name);
  widget->setFont(DialogFont());
  if (place.width() > 0) {
    widget->setGeometry(place);
  } else {
    widget->move(place.topLeft());
    widget->adjustSize();
  }
  return widget;
}

// A label placed by its top left corner, sized to its text.
QLabel* MakeLabel(QWidget* parent, const char* name, int left, int top, const QString& text) {
  return Make<QLabel>(parent, name, QRect(left, top, 0, 0), text);
}

QGroupBox* MakeGroup(QWidget* parent, const char* name, QRect place, const char* caption) {
  auto* group = Make<QGroupBox>(parent, name, place, caption);
  group->setFont(DialogFont(true));  // the caption; controls inside set their own font
  return group;
}

}  // namespace

QString IncludeTrailingBackslash(const QString& path) { return path.endsWith('/') ? path : path + '/'; }

QString FileExtension(const QString& path) {
  const qsizetype dot = path.lastIndexOf('.');
  return dot > path.lastIndexOf('/') ? path.mid(dot) : QString();
}

QString BrowseForFolder(QWidget* parent, const QString& caption, const QString& initialFolder,
                        bool allowNewFolder) {
  QFileDialog chooser(parent, caption, initialFolder);
  chooser.setFileMode(QFileDialog::Directory);
  chooser.setOption(QFileDialog::ShowDirsOnly);
  // A read-only chooser has no button for making a folder.
  chooser.setOption(QFileDialog::ReadOnly, !allowNewFolder);
  if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) return QString();
  return chooser.selectedFiles().first();
}

TfrmMain::TfrmMain() {
  InitAppResources();
  setObjectName("frmMain");
  setWindowTitle(kApplicationTitle);
  setWindowIcon(ApplicationIcon());
  setFont(DialogFont());
  CreateControls();

  // The worker reads the output settings while it writes: keep the runner's copies current.
  connect(chkAppendFiles, &QCheckBox::toggled, this, [this](bool on) { SetAppendOutput(on); });
  connect(chkTrimCellValues, &QCheckBox::toggled, this, [this](bool on) { SetTrimCellValues(on); });
  connect(txtOutputCSVPath, &QLineEdit::textChanged, this,
          [this](const QString& path) { SetOutputPath(PathBytes(path)); });

  setFixedSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

TfrmMain::~TfrmMain() { Shutdown(); }

void TfrmMain::CreateControls() {
  auto* mmMain = menuBar();
  mmMain->setObjectName("mmMain");
  m_fileMenu = mmMain->addMenu(kFileMenu);
  QAction* openHtml = m_fileMenu->addAction(kOpenHtmlAction);
  openHtml->setObjectName("OpenHTML1");
  openHtml->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  connect(openHtml, &QAction::triggered, this, [this] { OpenHTML1Click(); });
  m_fileMenu->addSeparator();
  QAction* quit = m_fileMenu->addAction(kQuitAction);
  quit->setObjectName("Quit1");
  quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  connect(quit, &QAction::triggered, this, &QWidget::close);
  QMenu* help = mmMain->addMenu(kHelpMenu);
  QAction* about = help->addAction(kAboutAction);
  about->setObjectName("About1");
  connect(about, &QAction::triggered, this, [this] { ShowAbout(); });

  auto* client = new QWidget(this);
  client->setFixedSize(kClientWidth, kClientHeight);
  setCentralWidget(client);

  auto* ImgTop = Make<QLabel>(client, "ImgTop", QRect(0, 0, 625, 89));
  ImgTop->setPixmap(QPixmap(":/corvane/banner.png"));
  auto* Label2 = MakeLabel(client, "Label2", 12, 59, kBannerText);
  QFont narrow("Liberation Sans Narrow");
  narrow.setPixelSize(13);
  narrow.setBold(true);
  Label2->setFont(narrow);
  Label2->setStyleSheet("color: white; background: transparent;");
  Label2->adjustSize();

  auto* pnlMain = Make<QWidget>(client, "pnlMain", QRect(0, 88, 624, 334));

  auto* GroupBox3 = MakeGroup(pnlMain, "GroupBox3", QRect(7, 3, 609, 140), kInputGroup);
  lstInputFiles = Make<QListWidget>(GroupBox3, "lstInputFiles", QRect(8, 16, 481, 113));
  lstInputFiles->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lstInputFiles->setAcceptDrops(true);
  lstInputFiles->viewport()->setAcceptDrops(true);
  lstInputFiles->viewport()->installEventFilter(this);
  auto* btnAddFiles = Make<QPushButton>(GroupBox3, "btnAddFiles", QRect(496, 17, 105, 25), kAddFilesCaption);
  connect(btnAddFiles, &QPushButton::clicked, this, [this] { OpenHTML1Click(); });
  auto* btnDeleteSelected =
      Make<QPushButton>(GroupBox3, "btnDeleteSelected", QRect(496, 57, 105, 25), kRemoveFilesCaption);
  connect(btnDeleteSelected, &QPushButton::clicked, this, [this] { btnDeleteSelectedClick(); });
  auto* btnClearFiles = Make<QPushButton>(GroupBox3, "btnClearFiles", QRect(496, 98, 105, 25), kRemoveAllCaption);
  connect(btnClearFiles, &QPushButton::clicked, this, [this] { btnClearFilesClick(); });

  auto* GroupBox1 = MakeGroup(pnlMain, "GroupBox1", QRect(8, 147, 609, 92), kOutputGroup);
  QLabel* Label1 = MakeLabel(GroupBox1, "Label1", 6, 26, kOutputPathLabel);
  txtOutputCSVPath = Make<QLineEdit>(GroupBox1, "txtOutputCSVPath", QRect(115, 21, 374, 21));
  Label1->setBuddy(txtOutputCSVPath);
  auto* btnBrowse = Make<QPushButton>(GroupBox1, "btnBrowse", QRect(496, 18, 105, 25), kBrowseCaption);
  connect(btnBrowse, &QPushButton::clicked, this, [this] { btnBrowseClick(); });
  chkAppendFiles = Make<QCheckBox>(GroupBox1, "chkAppendFiles", QRect(115, 48, 193, 17), kAppendFilesCaption);
  connect(chkAppendFiles, &QCheckBox::clicked, this, [this] { chkAppendFilesClick(); });
  chkTrimCellValues =
      Make<QCheckBox>(GroupBox1, "chkTrimCellValues", QRect(8, 67, 217, 17), kTrimCellValuesCaption);

  QLabel* lblFormat = MakeLabel(GroupBox1, "lblFormat", 340, 62, kFormatLabel);
  cmbFormat = Make<QComboBox>(GroupBox1, "cmbFormat", QRect(390, 57, 211, 22));
  for (const char* choice : kFormatChoices) cmbFormat->addItem(choice);
  lblFormat->setBuddy(cmbFormat);
  // The format chosen last time is the one shown.
  cmbFormat->setCurrentIndex(std::clamp(Settings().value(kFormatSetting, 0).toInt(), 0, cmbFormat->count() - 1));
  SetOutputFormat(static_cast<TOutputFormat>(cmbFormat->currentIndex()));
  connect(cmbFormat, &QComboBox::currentIndexChanged, this, [this](int index) {
    SetOutputFormat(static_cast<TOutputFormat>(index));
    Settings().setValue(kFormatSetting, index);
  });

  auto* GroupBox2 = MakeGroup(pnlMain, "GroupBox2", QRect(8, 241, 609, 88), kProgressGroup);
  MakeLabel(GroupBox2, "lblHtmlFileName", 8, 18, kProcessingFileLabel);
  lblFile = MakeLabel(GroupBox2, "lblFile", 88, 18, kNoFile);
  lblFile->setFixedWidth(513);  // long paths are cut at the group's edge
  pbConversion = Make<QProgressBar>(GroupBox2, "pbConversion", QRect(8, 36, 593, 17));
  pbConversion->setRange(0, kInitialProgressMaximum);
  pbConversion->setValue(0);
  pbConversion->setTextVisible(false);
  MakeLabel(GroupBox2, "lblScanningPass", 8, 57, kScanningPassLabel);
  lblPass = MakeLabel(GroupBox2, "lblPass", 88, 57, QString());
  lblPass->setFixedWidth(100);
  Button1 = Make<QPushButton>(GroupBox2, "Button1", QRect(496, 58, 105, 25), kStartCaption);
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });

  // The job log: hidden until a job starts, then laid over the Input and Output groups.
  Memo1 = Make<QPlainTextEdit>(pnlMain, "Memo1", QRect(615, 40, 626, 233));
  Memo1->setReadOnly(true);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->hide();
  // Enter presses the focused button, as Space does.
  for (QPushButton* button : client->findChildren<QPushButton*>()) button->setAutoDefault(true);
}

void TfrmMain::ShowQueueInList() {
  lstInputFiles->clear();
  for (const std::string& path : Job().FileQueue().Items()) lstInputFiles->addItem(DisplayText(path));
}

void TfrmMain::Message(const char* text) { QMessageBox::information(this, kApplicationTitle, text); }

void TfrmMain::ShowAbout() {
  QMessageBox::about(this, kAboutTitle,
                     QString("%1 %2\n\n%3\n\n%4").arg(kApplicationTitle, CORVANE_VERSION, kBannerText, kLicenceText));
}

void TfrmMain::OpenHTML1Click() {
  const QStringList files = QFileDialog::getOpenFileNames(this, QString(), QString(), kHtmlFilesFilter);
  if (files.isEmpty()) return;
  for (const QString& file : files) Job().FileQueue().Add(PathBytes(file));
  ShowQueueInList();
  pbConversion->setRange(0, static_cast<int>(Job().FileQueue().Count()));
  Memo1->clear();
}

void TfrmMain::HandleDroppedFiles(const QList<QUrl>& urls) {
  for (const QUrl& url : urls) {
    if (!url.isLocalFile()) continue;
    const QString path = url.toLocalFile();
    const QString extension = FileExtension(path);
    if (extension != ".htm" && extension != ".html") continue;
    Job().FileQueue().Add(PathBytes(path));
    // The list shows the drops as they come, repeats included; the queue keeps each file once.
    lstInputFiles->addItem(path);
  }
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
  if (watched != lstInputFiles->viewport()) return QMainWindow::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDropEvent*>(event);
      if (drag->mimeData()->hasUrls()) drag->acceptProposedAction();
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      if (drop->mimeData()->hasUrls()) {
        HandleDroppedFiles(drop->mimeData()->urls());
        drop->acceptProposedAction();
      }
      return true;
    }
    default:
      return QMainWindow::eventFilter(watched, event);
  }
}

void TfrmMain::btnDeleteSelectedClick() {
  // By path, not by position: the list may show files in drop order, or twice.
  for (const QListWidgetItem* item : lstInputFiles->selectedItems()) Job().FileQueue().Remove(PathBytes(item->text()));
  ShowQueueInList();
}

void TfrmMain::btnClearFilesClick() {
  Job().FileQueue().Clear();
  lstInputFiles->clear();
}

void TfrmMain::chkAppendFilesClick() { txtOutputCSVPath->clear(); }

void TfrmMain::btnBrowseClick() {
  if (chkAppendFiles->isChecked()) {
    const auto format = static_cast<TOutputFormat>(cmbFormat->currentIndex());
    const QString extension = format == TOutputFormat::Csv     ? kCsvExtension
                              : format == TOutputFormat::Jsonl ? kJsonlExtension
                              : format == TOutputFormat::Xlsx  ? kWorkbookExtension
                                                               : kExcelExtension;
    const QString filter = format == TOutputFormat::Csv     ? kCsvFilter
                           : format == TOutputFormat::Jsonl ? kJsonlFilter
                           : format == TOutputFormat::Xlsx  ? kWorkbookFilter
                                                            : kExcelFilter;
    const QString name = QFileDialog::getSaveFileName(this, QString(), QString(), filter);
    if (name.isEmpty()) return;
    txtOutputCSVPath->setText(FileExtension(name) == extension ? name : name + extension);
    return;
  }
  txtOutputCSVPath->setText(BrowseForFolder(this, kSelectFolderCaption, QString(), true));
}

void TfrmMain::Button1Click() {
  if (Button1->text() == kDoneCaption) {
    Memo1->hide();
    Button1->setText(kStartCaption);
    pbConversion->setValue(0);
    lblFile->setText(kNoFile);
    lblPass->clear();
    return;
  }
  if (!chkAppendFiles->isChecked() && !txtOutputCSVPath->text().trimmed().isEmpty())
    txtOutputCSVPath->setText(IncludeTrailingBackslash(txtOutputCSVPath->text()));
  if (Job().FileQueue().Empty()) {
    Message(kSelectHtmlFiles);
    return;
  }
  if (txtOutputCSVPath->text().trimmed().isEmpty()) {
    Message(kSelectOutputPath);
    return;
  }
  if (!chkAppendFiles->isChecked()) {
    // A folder typed by hand is made, as the command line makes it.
    std::error_code error;
    std::filesystem::create_directories(PathBytes(txtOutputCSVPath->text()), error);
    if (error) {
      QMessageBox::warning(this, kApplicationTitle,
                           kCannotCreateFolder + txtOutputCSVPath->text() + ": " + QString::fromStdString(error.message()));
      return;
    }
  }
  Memo1->move(0, 0);
  Memo1->show();
  Memo1->raise();
  Button1->setEnabled(false);
  m_fileMenu->setEnabled(false);
  // The bar counts this job's files, however they were added.
  pbConversion->setRange(0, static_cast<int>(Job().FileQueue().Count()));
  pbConversion->setValue(0);
  Job().Start();
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  // A file being converted finishes first, without asking for tables; the window stays responsive.
  centralWidget()->setEnabled(false);
  Shutdown();
  event->accept();
}

void TfrmMain::ShowLogLines(std::span<const std::string> lines) {
  QStringList text;
  text.reserve(static_cast<qsizetype>(lines.size()));
  for (const std::string& line : lines) text << DisplayText(line);
  Memo1->appendPlainText(text.join('\n'));
}

void TfrmMain::ShowLabels(const std::string& currentFile, const std::string& passText) {
  lblFile->setText(DisplayText(currentFile));
  lblPass->setText(DisplayText(passText));
}

TTableChoice TfrmMain::AskTables(const TFragmentStore& fragments, const std::string& pageCharset) {
  if (!PreviewDialog) {
    PreviewDialog = new TfrmPreview(this);
    PreviewDialog->setObjectName("frmPreview");
  }
  PreviewDialog->JobFragments = &fragments;
  PreviewDialog->PageCharset = pageCharset;
  PreviewDialog->PageFile = Job().CurrentFile();
  PreviewDialog->UpdateListBox();
  PreviewDialog->Extracted = false;
  PreviewDialog->exec();
  PreviewDialog->JobFragments = nullptr;
  update();
  return {PreviewDialog->Selection, PreviewDialog->Remember};
}

void TfrmMain::ShowError(const std::string& message) {
  QMessageBox::warning(this, kApplicationTitle, DisplayText(message));
}

void TfrmMain::JobEnded(TJobEnd how) {
  Button1->setText(kDoneCaption);
  if (how == TJobEnd::Completed) lstInputFiles->clear();
  Button1->setEnabled(true);
  m_fileMenu->setEnabled(true);
}

std::vector<std::string> TfrmMain::InputListEntries() const {
  std::vector<std::string> entries;
  for (int i = 0; i < lstInputFiles->count(); ++i) entries.push_back(PathBytes(lstInputFiles->item(i)->text()));
  return entries;
}

int TfrmMain::ProgressMaximum() const { return pbConversion->maximum(); }

void TfrmMain::SetProgressPosition(int position) { pbConversion->setValue(position); }

}  // namespace corvane
