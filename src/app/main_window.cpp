#include "app/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QSettings>
#include <QShortcut>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
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
#include <QResizeEvent>
#include <QScreen>
#include <QStyle>
#include <QUrl>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "app/dialog_font.h"
#include "app/display_text.h"
#include "app/job_log.h"
#include "app/skin.h"
#include "app/table_selection_dialog.h"
#include "app/ui_texts.h"
#include "extract/job_texts.h"

// The banner lives in the app library's resources, which a static library must register itself.
static void InitAppResources() { Q_INIT_RESOURCE(app); }

namespace corvane {

namespace {
constexpr char kFormatSetting[] = "Output/Format";
constexpr char kFolderSetting[] = "Output/Folder";
constexpr char kAppendTargetSetting[] = "Output/AppendTarget";
constexpr char kAppendSetting[] = "Output/Append";
constexpr char kTrimSetting[] = "Output/Trim";
constexpr char kGeometrySetting[] = "Window/Geometry";
QSettings Settings() { return QSettings(kApplicationTitle, kApplicationTitle); }

// "1 file", "3 files".
QString Count(std::size_t n, const char* one, const char* many) {
  return n == 1 ? QString(one) : QString(many).arg(n);
}

// The window's frame around its client geometry, until the window system says: room for a title bar.
constexpr QMargins kFrameAllowance(4, 30, 4, 4);
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
constexpr int kBannerHeight = 89;
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

  connect(txtOutputCSVPath, &QLineEdit::textChanged, this,
          [this](const QString& path) { btnOpenFolder->setEnabled(!path.trimmed().isEmpty()); });
  connect(chkAppendFiles, &QCheckBox::toggled, this, [](bool on) { Settings().setValue(kAppendSetting, on); });
  connect(chkTrimCellValues, &QCheckBox::toggled, this, [](bool on) { Settings().setValue(kTrimSetting, on); });

  const int menuHeight = menuBar()->sizeHint().height();
  setMinimumSize(kMinimumClientWidth, kMinimumClientHeight + menuHeight);
  resize(kClientWidth, kClientHeight + menuHeight);
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen) move(screen->availableGeometry().center() - rect().center());
  RestoreSettings();
  if (screen) {
    // Shrunk to the screen, so that every control stays reachable on a small or much-scaled one.
    const QRect fitted = FitToScreen(geometry().marginsAdded(kFrameAllowance), screen->availableGeometry(),
                                     minimumSize().grownBy(kFrameAllowance));
    setGeometry(fitted.marginsRemoved(kFrameAllowance));
  }
  LayOut(m_client->size());
}

TfrmMain::~TfrmMain() { Shutdown(); }

void TfrmMain::RestoreSettings() {
  QSettings settings = Settings();
  chkTrimCellValues->setChecked(settings.value(kTrimSetting, false).toBool());
  chkAppendFiles->setChecked(settings.value(kAppendSetting, false).toBool());
  txtOutputCSVPath->setText(
      settings.value(chkAppendFiles->isChecked() ? kAppendTargetSetting : kFolderSetting).toString());
  restoreGeometry(settings.value(kGeometrySetting).toByteArray());
}

void TfrmMain::SaveSettings() {
  QSettings settings = Settings();
  const QString path = txtOutputCSVPath->text().trimmed();
  if (!path.isEmpty()) settings.setValue(chkAppendFiles->isChecked() ? kAppendTargetSetting : kFolderSetting, path);
  settings.setValue(kGeometrySetting, saveGeometry());
}

void TfrmMain::CreateControls() {
  auto* mmMain = menuBar();
  mmMain->setObjectName("mmMain");
  m_fileMenu = mmMain->addMenu(kFileMenu);
  QAction* openHtml = m_fileMenu->addAction(kOpenHtmlAction);
  openHtml->setObjectName("OpenHTML1");
  openHtml->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  connect(openHtml, &QAction::triggered, this, [this] { OpenHTML1Click(); });
  QAction* saveLog = m_fileMenu->addAction(kSaveLogAction);
  saveLog->setObjectName("SaveLog1");
  saveLog->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  connect(saveLog, &QAction::triggered, this, [this] { SaveLog1Click(); });
  m_fileMenu->addSeparator();
  QAction* quit = m_fileMenu->addAction(kQuitAction);
  quit->setObjectName("Quit1");
  quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  connect(quit, &QAction::triggered, this, &QWidget::close);
  QMenu* help = mmMain->addMenu(kHelpMenu);
  QAction* about = help->addAction(kAboutAction);
  about->setObjectName("About1");
  connect(about, &QAction::triggered, this, [this] { ShowAbout(); });
  QAction* aboutQt = help->addAction(kAboutQtAction);
  aboutQt->setObjectName("AboutQt1");
  connect(aboutQt, &QAction::triggered, this, [] { QApplication::aboutQt(); });
  AddSkinMenu(mmMain, this);

  auto* client = new QWidget(this);
  m_client = client;
  client->resize(kClientWidth, kClientHeight);
  client->setMinimumSize(kMinimumClientWidth, kMinimumClientHeight);
  setCentralWidget(client);

  auto* ImgTop = Make<QLabel>(client, "ImgTop", QRect(0, 0, 625, kBannerHeight));
  const QPixmap banner(":/corvane/banner.png");
  ImgTop->setPixmap(banner);
  // A wider window continues the banner in the colour of its right edge; a lower one keeps its top.
  ImgTop->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  if (!banner.isNull()) {
    const QImage image = banner.toImage();
    QPalette palette = ImgTop->palette();
    palette.setColor(QPalette::Window, image.pixelColor(image.width() - 2, image.height() - 2));
    ImgTop->setPalette(palette);
    ImgTop->setAutoFillBackground(true);
  }
  m_banner = ImgTop;
  auto* Label2 = MakeLabel(client, "Label2", 12, 59, kBannerText);
  m_bannerText = Label2;
  QFont narrow("Liberation Sans Narrow");
  narrow.setPixelSize(13);
  narrow.setBold(true);
  Label2->setFont(narrow);
  Label2->setStyleSheet("color: white; background: transparent;");
  Label2->adjustSize();

  auto* pnlMain = Make<QWidget>(client, "pnlMain", QRect(0, 88, 624, 334));
  m_panel = pnlMain;

  // Where LayOut does not move them, the controls stay where they are made, for a client area of
  // kClientWidth x kClientHeight.
  auto* GroupBox3 = MakeGroup(pnlMain, "GroupBox3", QRect(7, 3, 609, 118), kInputGroup);
  m_inputGroup = GroupBox3;
  lstInputFiles = Make<QListWidget>(GroupBox3, "lstInputFiles", QRect(8, 16, 481, 93));
  lstInputFiles->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lstInputFiles->setAcceptDrops(true);
  lstInputFiles->viewport()->setAcceptDrops(true);
  lstInputFiles->viewport()->installEventFilter(this);
  // Delete removes the selected files, as Remove Files does.
  auto* deleteKey = new QShortcut(QKeySequence::Delete, lstInputFiles, nullptr, nullptr, Qt::WidgetShortcut);
  connect(deleteKey, &QShortcut::activated, this, [this] { btnDeleteSelectedClick(); });
  auto* btnAddFiles = Make<QPushButton>(GroupBox3, "btnAddFiles", QRect(496, 17, 105, 25), kAddFilesCaption);
  connect(btnAddFiles, &QPushButton::clicked, this, [this] { OpenHTML1Click(); });
  auto* btnDeleteSelected =
      Make<QPushButton>(GroupBox3, "btnDeleteSelected", QRect(496, 50, 105, 25), kRemoveFilesCaption);
  connect(btnDeleteSelected, &QPushButton::clicked, this, [this] { btnDeleteSelectedClick(); });
  auto* btnClearFiles = Make<QPushButton>(GroupBox3, "btnClearFiles", QRect(496, 83, 105, 25), kRemoveAllCaption);
  connect(btnClearFiles, &QPushButton::clicked, this, [this] { btnClearFilesClick(); });
  m_listButtons = {btnAddFiles, btnDeleteSelected, btnClearFiles};

  auto* GroupBox1 = MakeGroup(pnlMain, "GroupBox1", QRect(8, 123, 609, 92), kOutputGroup);
  m_outputGroup = GroupBox1;
  QLabel* Label1 = MakeLabel(GroupBox1, "Label1", 6, 26, kOutputPathLabel);
  txtOutputCSVPath = Make<QLineEdit>(GroupBox1, "txtOutputCSVPath", QRect(115, 21, 374, 21));
  Label1->setBuddy(txtOutputCSVPath);
  auto* btnBrowse = Make<QPushButton>(GroupBox1, "btnBrowse", QRect(496, 18, 105, 25), kBrowseCaption);
  connect(btnBrowse, &QPushButton::clicked, this, [this] { btnBrowseClick(); });
  m_browseButton = btnBrowse;
  chkAppendFiles = Make<QCheckBox>(GroupBox1, "chkAppendFiles", QRect(115, 48, 193, 17), kAppendFilesCaption);
  connect(chkAppendFiles, &QCheckBox::clicked, this, [this] { chkAppendFilesClick(); });
  chkTrimCellValues =
      Make<QCheckBox>(GroupBox1, "chkTrimCellValues", QRect(8, 67, 217, 17), kTrimCellValuesCaption);

  QLabel* lblFormat = MakeLabel(GroupBox1, "lblFormat", 340, 62, kFormatLabel);
  m_formatLabel = lblFormat;
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

  auto* GroupBox2 = MakeGroup(pnlMain, "GroupBox2", QRect(8, 217, 609, 113), kProgressGroup);
  m_progressGroup = GroupBox2;
  MakeLabel(GroupBox2, "lblHtmlFileName", 8, 18, kProcessingFileLabel);
  lblFile = MakeLabel(GroupBox2, "lblFile", 88, 18, kNoFile);
  lblFile->setFixedWidth(513);  // long paths are cut at the group's edge
  pbConversion = Make<QProgressBar>(GroupBox2, "pbConversion", QRect(8, 36, 593, 17));
  pbConversion->setRange(0, kInitialProgressMaximum);
  pbConversion->setValue(0);
  pbConversion->setTextVisible(false);
  // A job with failures ends on a bar of the error colour, saying how many failed.
  pbConversion->setStyleSheet("QProgressBar[failed=\"true\"] { border: 1px solid #a94442; text-align: center; }"
                              "QProgressBar[failed=\"true\"]::chunk { background-color: #d9534f; }");
  MakeLabel(GroupBox2, "lblScanningPass", 8, 59, kScanningPassLabel);
  lblPass = MakeLabel(GroupBox2, "lblPass", 88, 59, QString());
  lblPass->setFixedWidth(100);
  lblRate = MakeLabel(GroupBox2, "lblRate", 196, 59, QString());
  lblRate->setFixedWidth(120);
  btnStop = Make<QPushButton>(GroupBox2, "btnStop", QRect(384, 56, 105, 25), kStopCaption);
  btnStop->setEnabled(false);
  connect(btnStop, &QPushButton::clicked, this, [this] { btnStopClick(); });
  // Esc anywhere in the window presses Stop.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, [this] {
    if (btnStop->isEnabled()) btnStop->click();
  });
  Button1 = Make<QPushButton>(GroupBox2, "Button1", QRect(496, 56, 105, 25), kStartCaption);
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  lblOutcome = MakeLabel(GroupBox2, "lblOutcome", 8, 88, QString());
  lblOutcome->setFixedWidth(420);
  btnOpenFolder = Make<QPushButton>(GroupBox2, "btnOpenFolder", QRect(436, 84, 165, 25), kOpenFolderCaption);
  btnOpenFolder->setEnabled(false);
  connect(btnOpenFolder, &QPushButton::clicked, this, [this] { btnOpenFolderClick(); });

  // The job log: hidden until a job starts, then laid over the Input and Output groups.
  Memo1 = Make<QPlainTextEdit>(pnlMain, "Memo1", QRect(0, 0, 624, 215));
  Memo1->setReadOnly(true);
  Memo1->document()->setUndoRedoEnabled(false);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->hide();
  m_log = std::make_unique<TJobLog>(*Memo1);
  // Enter presses the focused button, as Space does.
  for (QPushButton* button : client->findChildren<QPushButton*>()) button->setAutoDefault(true);
  // From now on the controls follow the client area's size.
  client->installEventFilter(this);
}

void TfrmMain::LayOut(QSize size) {
  const int wider = size.width() - kClientWidth;
  const int taller = size.height() - kClientHeight;
  // A window lower than it opens loses the banner first, then some of the input list.
  const int bannerCut = std::clamp(-taller, 0, kBannerHeight);
  const int banner = kBannerHeight - bannerCut;
  const int listGrows = taller + bannerCut;
  m_banner->setGeometry(0, 0, size.width(), banner);
  m_bannerText->setVisible(banner >= m_bannerText->y() + m_bannerText->height());
  m_panel->setGeometry(0, std::max(banner - 1, 0), size.width(), size.height() - std::max(banner - 1, 0));

  const int right = 496 + wider;  // the right-hand buttons' left edge in their group
  m_inputGroup->setGeometry(7, 3, 609 + wider, 118 + listGrows);
  lstInputFiles->setGeometry(8, 16, 481 + wider, 93 + listGrows);
  // The list's buttons keep to its top, closer together in a group too low for their usual gaps.
  const int step = std::min(33, (m_inputGroup->height() - 52) / 2);
  for (std::size_t k = 0; k < m_listButtons.size(); ++k)
    m_listButtons[k]->move(right, 17 + static_cast<int>(k) * step);

  m_outputGroup->setGeometry(8, 123 + listGrows, 609 + wider, 92);
  txtOutputCSVPath->setGeometry(115, 21, 374 + wider, 21);
  m_browseButton->move(right, m_browseButton->y());
  m_formatLabel->move(340 + wider, m_formatLabel->y());
  cmbFormat->move(390 + wider, cmbFormat->y());

  m_progressGroup->setGeometry(8, 217 + listGrows, 609 + wider, 113);
  lblFile->setFixedWidth(513 + wider);
  pbConversion->setGeometry(8, 36, 593 + wider, 17);
  btnStop->move(384 + wider, btnStop->y());
  Button1->move(right, Button1->y());
  lblOutcome->setFixedWidth(420 + wider);
  btnOpenFolder->move(436 + wider, btnOpenFolder->y());

  Memo1->setGeometry(0, 0, size.width(), m_outputGroup->geometry().bottom() + 1);
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
  pbConversion->setRange(0, static_cast<int>(Job().FileQueue().Count()) * kProgressSteps);
  m_log->Clear();
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
  if (watched == m_client && event->type() == QEvent::Resize) LayOut(static_cast<QResizeEvent*>(event)->size());
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
    ResetJobResult();
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
  SaveSettings();
  m_log->Clear();
  ResetJobResult();
  Memo1->show();
  Memo1->raise();
  Button1->setEnabled(false);
  btnStop->setEnabled(true);
  btnOpenFolder->setEnabled(false);
  m_fileMenu->setEnabled(false);
  // The bar counts this job's files, however they were added, each in steps.
  pbConversion->setRange(0, static_cast<int>(Job().FileQueue().Count()) * kProgressSteps);
  pbConversion->setValue(0);
  m_jobFiles.clear();
  for (int i = 0; i < lstInputFiles->count(); ++i) m_jobFiles << lstInputFiles->item(i)->text();
  m_jobRunning = true;
  m_log->Flooding = true;
  m_stopPressed = false;
  RequestStop(false);
  m_filesDone = 0;
  m_jobStartBytes = BytesRead();
  m_jobClock.start();
  m_rateShownAt = -1;
  // Each job asks afresh whether a choice of tables holds for its files.
  if (PreviewDialog) PreviewDialog->StartJob();
  Job().Start();
}

void TfrmMain::ResetJobResult() {
  lblOutcome->clear();
  lblOutcome->setToolTip(QString());
  lblRate->clear();
  pbConversion->setProperty("failed", false);
  pbConversion->setTextVisible(false);
  pbConversion->setFormat(QString());
  pbConversion->style()->unpolish(pbConversion);
  pbConversion->style()->polish(pbConversion);
}

void TfrmMain::btnStopClick() {
  if (!m_jobRunning) return;
  m_stopPressed = true;
  RequestStop();
  btnStop->setEnabled(false);
}

void TfrmMain::btnOpenFolderClick() {
  const QString path = txtOutputCSVPath->text().trimmed();
  if (path.isEmpty()) return;
  const QString folder = chkAppendFiles->isChecked() ? QFileInfo(path).absolutePath() : path;
  QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  if (m_jobRunning) {
    if (QMessageBox::question(this, kApplicationTitle, kStopAndCloseQuestion, QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::No) != QMessageBox::Yes) {
      event->ignore();
      return;
    }
    // The run going on is undone, as Stop undoes it.
    m_stopPressed = true;
    RequestStop();
  }
  SaveSettings();
  // The run stops without asking for tables; the window stays responsive meanwhile.
  centralWidget()->setEnabled(false);
  Shutdown();
  event->accept();
}

void TfrmMain::keyPressEvent(QKeyEvent* event) {
  // An Esc that no control took, the shortcut aside (a window not active): Stop, when it can be pressed.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && btnStop->isEnabled()) {
    btnStop->click();
    return;
  }
  QMainWindow::keyPressEvent(event);
}

void TfrmMain::SaveLog1Click() {
  const QString name = QFileDialog::getSaveFileName(this, QString(), QString(), kLogFilesFilter);
  if (name.isEmpty()) return;
  if (const QString error = m_log->SaveTo(name); !error.isEmpty())
    QMessageBox::warning(this, kApplicationTitle, kCannotSaveLog + name + ": " + error);
}

void TfrmMain::ShowLogLines(std::span<const std::string_view> lines) { m_log->Add(lines); }

void TfrmMain::ShowLabels(const std::string& currentFile, const std::string& passText) {
  lblFile->setText(DisplayText(currentFile));
  lblPass->setText(DisplayText(passText));
}

TTableChoice TfrmMain::AskTables(const TFragmentStore& fragments, const std::string& pageCharset) {
  m_log->Render(true);  // the log is up to date while the user chooses
  if (!PreviewDialog) {
    PreviewDialog = new TfrmPreview(this);
    PreviewDialog->setObjectName("frmPreview");
  }
  // The dialog shows the job's own tables, read back one at a time: a large page's tables are never
  // copied. The worker waits for the answer meanwhile.
  PreviewDialog->JobFragments = &fragments;
  struct TForget {
    TfrmPreview& dialog;
    ~TForget() { dialog.JobFragments = nullptr; }
  } forget{*PreviewDialog};
  PreviewDialog->PageCharset = pageCharset;
  PreviewDialog->PageFile = Job().CurrentFile();
  PreviewDialog->UpdateListBox();
  PreviewDialog->Extracted = false;
  PreviewDialog->exec();
  update();
  return {PreviewDialog->Selection, PreviewDialog->Remember};
}

void TfrmMain::ShowError(const std::string& message) {
  m_log->Render(true);
  QMessageBox::warning(this, kApplicationTitle, DisplayText(message));
}

void TfrmMain::ShowFileProgress(const TReadProgress& progress) {
  if (!m_jobRunning || progress.total == 0) return;
  // The passes read the file in turn: each is a third of the file's steps.
  const double pass = std::clamp(progress.pass, 1, kLastPass) - 1;
  const double read = std::min(1.0, static_cast<double>(progress.done) / static_cast<double>(progress.total));
  const int step = std::min(static_cast<int>((pass + read) / kLastPass * kProgressSteps), kProgressSteps);
  const int value = std::min(m_filesDone * kProgressSteps + step, pbConversion->maximum());
  if (value > pbConversion->value()) pbConversion->setValue(value);
  // The rate since the job started, shown a few times a second.
  const qint64 elapsed = m_jobClock.elapsed();
  if (m_rateShownAt >= 0 && elapsed - m_rateShownAt < 250) return;
  m_rateShownAt = elapsed;
  if (elapsed <= 0) return;
  const double megabytes = static_cast<double>(BytesRead() - m_jobStartBytes) / 1e6;
  lblRate->setText(QString(kRateFormat).arg(megabytes * 1000.0 / static_cast<double>(elapsed), 0, 'f', 1));
}

void TfrmMain::JobEnded(TJobEnd how) {
  m_jobRunning = false;
  m_log->Flooding = false;
  btnStop->setEnabled(false);
  Button1->setEnabled(true);
  m_fileMenu->setEnabled(true);
  btnOpenFolder->setEnabled(!txtOutputCSVPath->text().trimmed().isEmpty());
  const qint64 elapsed = m_jobClock.elapsed();
  if (elapsed > 0 && BytesRead() != m_jobStartBytes)
    lblRate->setText(QString(kRateFormat).arg(static_cast<double>(BytesRead() - m_jobStartBytes) / 1e3 /
                                                  static_cast<double>(elapsed),
                                              0, 'f', 1));
  const QString tables = Count(Job().TablesWritten(), kOneTable, kManyTables);
  if (m_stopPressed && Job().Stopped()) {
    // Back to the start, with the files still to convert.
    const std::vector<std::string>& left = Job().NotConverted();
    std::vector<std::string> lines;
    lines.reserve(left.size());
    for (const std::string& file : left) lines.push_back(kLogNotConverted + file);
    const std::vector<std::string_view> views(lines.begin(), lines.end());
    m_log->Add(views);
    m_log->Render(true);
    Job().FileQueue().Clear();
    Job().FileQueue().AddAll(left);
    lstInputFiles->clear();
    for (const std::string& file : left) lstInputFiles->addItem(DisplayText(file));
    lblOutcome->setText(QString(kStoppedOutcomeFormat)
                            .arg(Count(Job().FilesConverted(), kOneFile, kManyFiles),
                                 Count(left.size(), kOneFile, kManyFiles), tables));
    Memo1->hide();
    Button1->setText(kStartCaption);
    lblFile->setText(kNoFile);
    lblPass->clear();
    return;
  }
  m_log->Render(true);
  Button1->setText(kDoneCaption);
  if (how == TJobEnd::Completed) {
    // The job's files stay, ready for another run.
    lstInputFiles->clear();
    lstInputFiles->addItems(m_jobFiles);
    std::vector<std::string> files;
    for (const QString& file : m_jobFiles) files.push_back(PathBytes(file));
    Job().FileQueue().AddAll(std::move(files));
  }
  const std::vector<std::string>& failed = Job().FailedFiles();
  const std::size_t failures = failed.size() + (Job().OutputFailed() && failed.empty() ? 1 : 0);
  lblOutcome->setText(QString(kOutcomeFormat)
                          .arg(Count(Job().FilesConverted(), kOneFile, kManyFiles), QString::number(failures), tables));
  if (failures == 0) return;
  QStringList tip{kFailedFilesHeading};
  for (const std::string& file : failed) tip << DisplayText(file);
  lblOutcome->setToolTip(tip.join('\n'));
  pbConversion->setProperty("failed", true);
  pbConversion->setFormat(QString(kBarFailedFormat).arg(Count(failures, kOneFile, kManyFiles)));
  pbConversion->setTextVisible(true);
  pbConversion->style()->unpolish(pbConversion);
  pbConversion->style()->polish(pbConversion);
}

std::vector<std::string> TfrmMain::InputListEntries() const {
  std::vector<std::string> entries;
  for (int i = 0; i < lstInputFiles->count(); ++i) entries.push_back(PathBytes(lstInputFiles->item(i)->text()));
  return entries;
}

// The job counts files; the bar has kProgressSteps for each.
int TfrmMain::ProgressMaximum() const { return pbConversion->maximum() / kProgressSteps; }

void TfrmMain::SetProgressPosition(int position) {
  // A stopped job leaves the window as it was before the job.
  if (Job().Ended() && m_stopPressed && Job().Stopped()) {
    pbConversion->setValue(0);
    return;
  }
  m_filesDone = position;
  pbConversion->setValue(std::min(position * kProgressSteps, pbConversion->maximum()));
}

}  // namespace corvane
