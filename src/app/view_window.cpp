#include "app/view_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>

#include <cmath>
#include <exception>

#include "app/display_text.h"
#include "app/print_actions.h"
#include "app/skin.h"
#include "app/ui_texts.h"
#include "viewer/html_view.h"
#include "viewer/print_document.h"

namespace corvane {

namespace {

// The wait cursor for the life of the guard, given back however the work ends.
class TBusyCursor {
 public:
  TBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~TBusyCursor() { QApplication::restoreOverrideCursor(); }
  TBusyCursor(const TBusyCursor&) = delete;
  TBusyCursor& operator=(const TBusyCursor&) = delete;
};

constexpr double kZoomTolerance = 1e-6;

}  // namespace

TViewWindow::TViewWindow(QWidget* parent) : QMainWindow(parent), m_view(new THtmlView(this)) {
  setWindowTitle(kApplicationTitle);
  m_view->setObjectName("HtmlView");
  m_view->SetDefBackground(0xFFFFFF);
  m_view->DefFontColor = 0x000000;  // a pair with the white: never the theme's light text on it
  setCentralWidget(m_view);
  resize(800, 600);

  // The browse button of a file field chooses a file.
  m_view->OnFileBrowse = [this](QString& file) {
    const QString chosen = QFileDialog::getOpenFileName(this, QString(), file);
    if (chosen.isEmpty()) return false;
    file = chosen;
    return true;
  };
  // Pages the view loads by itself (a followed link) are busy too, and enter the history.
  m_view->OnProcessing = [](bool processing) {
    if (processing)
      QApplication::setOverrideCursor(Qt::WaitCursor);
    else
      QApplication::restoreOverrideCursor();
  };
  m_view->OnLinkFollowed = [this](const std::string&, const std::string& target, int previousPosition) {
    if (m_index >= 0) m_history[static_cast<std::size_t>(m_index)].Position = previousPosition;
    Push(target);
  };
  // The link under the mouse; leaving it clears the bar only of the link, not of another message.
  m_view->OnHotSpotCovered = [this](const std::string& url) {
    if (!url.empty()) {
      statusBar()->showMessage(DisplayText(url));
      m_linkShown = true;
    } else if (m_linkShown) {
      statusBar()->clearMessage();
      m_linkShown = false;
    }
  };
  // The mouse's side buttons over the page go back and forward.
  m_view->installEventFilter(this);
  m_view->PaintPanel()->installEventFilter(this);

  QMenu* file = menuBar()->addMenu(kFileMenu);
  QAction* open = file->addAction(kOpenPageAction, this, [this] { OpenWithDialog(); });
  open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  QAction* reload = file->addAction(kReloadAction, this, [this] { Reload(); });
  reload->setShortcut(QKeySequence(Qt::Key_F5));
  file->addSeparator();
  AddPrintActions(*file, *this,
                  {[this] { return !m_view->DocumentSource().empty(); }, [this] { return PrintSourceOf(*m_view); },
                   [this] { return QFileInfo(DisplayText(m_view->DocumentName())).completeBaseName(); }});
  file->addSeparator();
  QAction* close = file->addAction(kCloseAction, this, [this] { this->close(); });
  close->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));

  QMenu* go = menuBar()->addMenu(kGoMenu);
  m_backAction = go->addAction(kBackAction, this, [this] { GoBack(); });
  m_backAction->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Left));
  m_forwardAction = go->addAction(kForwardAction, this, [this] { GoForward(); });
  m_forwardAction->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Right));

  m_viewMenu = menuBar()->addMenu(kViewMenu);
  QAction* zoomIn = m_viewMenu->addAction(kZoomInAction, this, [this] { ZoomIn(); });
  zoomIn->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
  QAction* zoomOut = m_viewMenu->addAction(kZoomOutAction, this, [this] { ZoomOut(); });
  zoomOut->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus));
  QAction* zoomReset = m_viewMenu->addAction(kZoomResetAction, this, [this] { ZoomReset(); });
  zoomReset->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
  m_viewMenu->addSeparator();
  QAction* find = m_viewMenu->addAction(kFindAction, this, [this] { ShowFindBar(); });
  find->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
  m_viewMenu->addSeparator();
  AddSkinMenu(menuBar(), this);
  // The page keeps its own colours whatever the skin.
  KeepPageColours(m_view);

  // Keys with no menu item: F3 and Shift+F3 find again, Esc closes the find bar, or else the window.
  auto* findNext = new QAction(kFindNextCaption, this);
  findNext->setShortcut(QKeySequence(Qt::Key_F3));
  connect(findNext, &QAction::triggered, this, [this] { Find(true); });
  auto* findPrevious = new QAction(kFindPreviousCaption, this);
  findPrevious->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3));
  connect(findPrevious, &QAction::triggered, this, [this] { Find(false); });
  auto* escape = new QAction(this);
  escape->setShortcut(QKeySequence(Qt::Key_Escape));
  connect(escape, &QAction::triggered, this, [this] {
    if (FindBarShown())
      HideFindBar();
    else
      this->close();
  });
  addActions({findNext, findPrevious, escape});

  m_findBar = new QToolBar(this);
  m_findBar->setObjectName("FindBar");
  m_findBar->setMovable(false);
  m_findBar->setFloatable(false);
  m_findBar->toggleViewAction()->setVisible(false);
  m_findEdit = new QLineEdit(m_findBar);
  m_findEdit->setObjectName("txtFind");
  m_findEdit->setClearButtonEnabled(true);
  m_findEdit->installEventFilter(this);
  connect(m_findEdit, &QLineEdit::textEdited, this, [this] { FindAsTyped(); });
  auto* next = new QPushButton(kFindNextCaption, m_findBar);
  next->setObjectName("btnFindNext");
  next->setFocusPolicy(Qt::NoFocus);
  connect(next, &QPushButton::clicked, this, [this] { Find(true); });
  auto* previous = new QPushButton(kFindPreviousCaption, m_findBar);
  previous->setObjectName("btnFindPrevious");
  previous->setFocusPolicy(Qt::NoFocus);
  connect(previous, &QPushButton::clicked, this, [this] { Find(false); });
  m_matchCase = new QCheckBox(kMatchCaseCaption, m_findBar);
  m_matchCase->setObjectName("chkMatchCase");
  connect(m_matchCase, &QCheckBox::toggled, this, [this] { FindAsTyped(); });
  m_findStatus = new QLabel(m_findBar);
  m_findStatus->setObjectName("lblFindStatus");
  m_findBar->addWidget(m_findEdit);
  m_findBar->addWidget(next);
  m_findBar->addWidget(previous);
  m_findBar->addWidget(m_matchCase);
  m_findBar->addWidget(m_findStatus);
  addToolBar(Qt::BottomToolBarArea, m_findBar);
  m_findBar->hide();
  PageChanged();
}

TViewWindow::~TViewWindow() {
  // The view goes with the window: its events must not reach the window's parts on the way.
  m_view->OnLinkFollowed = nullptr;
  m_view->OnHotSpotCovered = nullptr;
  m_view->OnProcessing = nullptr;
  m_view->removeEventFilter(this);
  m_view->PaintPanel()->removeEventFilter(this);
}

bool TViewWindow::Load(const std::string& path, const std::string& target, std::string& error) {
  TBusyCursor busy;
  try {
    return m_view->LoadFileAt(path, target, error);
  } catch (const std::exception& failure) {
    error = "cannot show " + path + ": " + failure.what();
    return false;
  }
}

bool TViewWindow::Open(const std::string& path, std::string& error) {
  if (m_index >= 0) m_history[static_cast<std::size_t>(m_index)].Position = m_view->Position();
  if (!Load(path, {}, error)) return false;
  Push({});
  return true;
}

bool TViewWindow::OpenPage(const std::string& path) {
  std::string error;
  if (Open(path, error)) return true;
  ShowError(error);
  return false;
}

void TViewWindow::OpenWithDialog() {
  const QString start = m_view->DocumentName().empty() ? QString()
                                                        : QFileInfo(DisplayText(m_view->DocumentName())).path();
  const QString filter = QString(kHtmlFilesFilter) + ";;" + kAllFilesFilter;
  const QString chosen = QFileDialog::getOpenFileName(this, kOpenPageCaption, start, filter);
  if (!chosen.isEmpty()) OpenPage(chosen.toLocal8Bit().toStdString());
}

void TViewWindow::Reload() {
  if (m_index < 0) return;
  TEntry& entry = m_history[static_cast<std::size_t>(m_index)];
  entry.Position = m_view->Position();
  const int horizontal = m_view->HScrollPosition();
  std::string error;
  if (!Load(entry.Path, {}, error)) {
    ShowError(error);
    return;
  }
  m_view->ScrollToY(entry.Position);
  m_view->HScrollBar()->setValue(horizontal);
  PageChanged();
}

void TViewWindow::Go(int step) {
  const int to = m_index + step;
  if (m_index < 0 || to < 0 || to >= static_cast<int>(m_history.size())) return;
  m_history[static_cast<std::size_t>(m_index)].Position = m_view->Position();
  const TEntry& entry = m_history[static_cast<std::size_t>(to)];
  // A step within the page shown only scrolls; another page is read again.
  if (entry.Path != m_view->DocumentName() || m_view->DocumentSource().empty()) {
    std::string error;
    if (!Load(entry.Path, entry.Target, error)) {
      ShowError(error);
      return;
    }
  }
  m_index = to;
  m_view->ScrollToY(entry.Position);
  PageChanged();
}

void TViewWindow::Push(const std::string& target) {
  if (m_index + 1 < static_cast<int>(m_history.size())) m_history.resize(static_cast<std::size_t>(m_index + 1));
  m_history.push_back({m_view->DocumentName(), target, m_view->Position()});
  m_index = static_cast<int>(m_history.size()) - 1;
  PageChanged();
}

void TViewWindow::PageChanged() {
  QString title = m_view->DocumentTitle().trimmed();
  if (title.isEmpty() && !m_view->DocumentName().empty())
    title = QFileInfo(DisplayText(m_view->DocumentName())).fileName();
  setWindowTitle(title.isEmpty() ? QString(kApplicationTitle) : title + " - " + kApplicationTitle);
  m_backAction->setEnabled(CanGoBack());
  m_forwardAction->setEnabled(CanGoForward());
  // A new page has not been searched yet.
  if (m_findStatus) ShowFound(true);
}

void TViewWindow::ShowError(const std::string& reason) {
  QMessageBox::warning(this, kApplicationTitle, DisplayText(reason));
}

const std::vector<double>& TViewWindow::ZoomSteps() {
  static const std::vector<double> steps = {0.5, 0.67, 0.8, 0.9, 1.0, 1.1, 1.25, 1.5, 1.75, 2.0, 2.5, 3.0};
  return steps;
}

double TViewWindow::Zoom() const { return m_view->Zoom(); }

void TViewWindow::ZoomIn() {
  for (double step : ZoomSteps())
    if (step > Zoom() + kZoomTolerance) return SetZoom(step);
}

void TViewWindow::ZoomOut() {
  const std::vector<double>& steps = ZoomSteps();
  for (auto step = steps.rbegin(); step != steps.rend(); ++step)
    if (*step < Zoom() - kZoomTolerance) return SetZoom(*step);
}

void TViewWindow::ZoomReset() { SetZoom(1.0); }

void TViewWindow::SetZoom(double zoom) {
  {
    TBusyCursor busy;
    try {
      m_view->SetZoom(zoom);
    } catch (const std::exception& failure) {
      ShowError(failure.what());
    }
  }
  m_linkShown = false;
  statusBar()->showMessage(kZoomStatusPrefix + QString::number(std::lround(Zoom() * 100)) + "%", 3000);
}

void TViewWindow::ShowFindBar() {
  m_findBar->show();
  m_findEdit->setFocus(Qt::ShortcutFocusReason);
  m_findEdit->selectAll();
}

void TViewWindow::HideFindBar() {
  m_findBar->hide();
  m_view->setFocus(Qt::OtherFocusReason);
}

bool TViewWindow::FindBarShown() const { return !m_findBar->isHidden(); }

bool TViewWindow::Find(bool forward) {
  if (m_findEdit->text().isEmpty()) {
    ShowFindBar();
    return false;
  }
  const bool found = m_view->FindNext(m_findEdit->text(), forward, m_matchCase->isChecked());
  ShowFound(found);
  return found;
}

void TViewWindow::FindAsTyped() {
  if (m_findEdit->text().isEmpty()) {
    ShowFound(true);
    return;
  }
  ShowFound(m_view->FindNext(m_findEdit->text(), true, m_matchCase->isChecked(), true));
}

void TViewWindow::ShowFound(bool found) {
  m_findStatus->setText(found ? QString() : QString(kNotFoundText));
  m_findEdit->setStyleSheet(found ? QString() : QStringLiteral("QLineEdit { background: #ffd0d0; }"));
}

bool TViewWindow::SideButton(QEvent* event) {
  if (event->type() != QEvent::MouseButtonPress) return false;
  const Qt::MouseButton button = static_cast<QMouseEvent*>(event)->button();
  if (button == Qt::BackButton) {
    GoBack();
    return true;
  }
  if (button == Qt::ForwardButton) {
    GoForward();
    return true;
  }
  return false;
}

bool TViewWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_findEdit && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      Find(!(key->modifiers() & Qt::ShiftModifier));
      return true;
    }
    return false;
  }
  if (watched == m_view || watched == m_view->PaintPanel()) return SideButton(event);
  return QMainWindow::eventFilter(watched, event);
}

void TViewWindow::mousePressEvent(QMouseEvent* event) {
  if (!SideButton(event)) QMainWindow::mousePressEvent(event);
}

}  // namespace corvane
