#include "app/skin.h"

#include <QActionGroup>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPalette>
#include <QPointer>
#include <QSettings>
#include <QStringDecoder>
#include <QStyle>
#include <QWidget>

#include <algorithm>
#include <vector>

#include "app/ui_texts.h"

namespace corvane {

namespace {

constexpr char kSkinSetting[] = "View/Skin";
// The program's own skins are drawn by this style, whose drawing follows the palette everywhere.
constexpr char kSkinStyle[] = "Fusion";
// No style sheet is this large; a file that is was chosen by mistake.
constexpr qint64 kLargestSheet = qint64{4} << 20;

QSettings Settings() { return QSettings(kApplicationTitle, kApplicationTitle); }

// What the application looked like before the first skin, and what follows the skin.
struct TSkinState {
  bool Captured = false;
  QString DesktopStyle;
  QPalette DesktopPalette;
  QString Current = kDesktopSkin;
  QString AppliedStyle;  // the style last set here (a sheet's style hides its base style's name)
  std::vector<QPointer<QWidget>> Pages;
};

TSkinState& State() {
  static TSkinState state;
  if (!state.Captured) {
    state.Captured = true;
    state.DesktopStyle = QApplication::style()->name();
    state.DesktopPalette = QApplication::palette();
    state.AppliedStyle = state.DesktopStyle;
  }
  return state;
}

QPalette LightPalette() {
  QPalette p;
  auto set = [&p](QPalette::ColorRole role, QColor colour) { p.setColor(QPalette::All, role, colour); };
  set(QPalette::Window, QColor(0xf3, 0xf3, 0xf3));
  set(QPalette::WindowText, QColor(0x1a, 0x1a, 0x1a));
  set(QPalette::Base, Qt::white);
  set(QPalette::AlternateBase, QColor(0xf6, 0xf7, 0xf9));
  set(QPalette::Text, QColor(0x1a, 0x1a, 0x1a));
  set(QPalette::PlaceholderText, QColor(0x80, 0x80, 0x80));
  set(QPalette::Button, QColor(0xfb, 0xfb, 0xfb));
  set(QPalette::ButtonText, QColor(0x1a, 0x1a, 0x1a));
  set(QPalette::BrightText, Qt::red);
  set(QPalette::Light, Qt::white);
  set(QPalette::Midlight, QColor(0xe8, 0xe8, 0xe8));
  set(QPalette::Mid, QColor(0xc4, 0xc4, 0xc4));
  set(QPalette::Dark, QColor(0xa0, 0xa0, 0xa0));
  set(QPalette::Shadow, QColor(0x69, 0x69, 0x69));
  set(QPalette::Highlight, QColor(0x2f, 0x6f, 0xc9));
  set(QPalette::HighlightedText, Qt::white);
  set(QPalette::Link, QColor(0x1f, 0x5f, 0xb8));
  set(QPalette::LinkVisited, QColor(0x6f, 0x3f, 0x9f));
  set(QPalette::ToolTipBase, QColor(0xff, 0xff, 0xe8));
  set(QPalette::ToolTipText, Qt::black);
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    p.setColor(QPalette::Disabled, role, QColor(0x9a, 0x9a, 0x9a));
  return p;
}

QPalette DarkPalette() {
  QPalette p;
  auto set = [&p](QPalette::ColorRole role, QColor colour) { p.setColor(QPalette::All, role, colour); };
  set(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
  set(QPalette::WindowText, QColor(0xe0, 0xe0, 0xe0));
  set(QPalette::Base, QColor(0x1f, 0x1f, 0x1f));
  set(QPalette::AlternateBase, QColor(0x2f, 0x2f, 0x2f));
  set(QPalette::Text, QColor(0xe0, 0xe0, 0xe0));
  set(QPalette::PlaceholderText, QColor(0x8a, 0x8a, 0x8a));
  set(QPalette::Button, QColor(0x3a, 0x3a, 0x3a));
  set(QPalette::ButtonText, QColor(0xe0, 0xe0, 0xe0));
  set(QPalette::BrightText, QColor(0xff, 0x6b, 0x6b));
  set(QPalette::Light, QColor(0x50, 0x50, 0x50));
  set(QPalette::Midlight, QColor(0x42, 0x42, 0x42));
  set(QPalette::Mid, QColor(0x33, 0x33, 0x33));
  set(QPalette::Dark, QColor(0x1a, 0x1a, 0x1a));
  set(QPalette::Shadow, QColor(0x10, 0x10, 0x10));
  set(QPalette::Highlight, QColor(0x3d, 0x6f, 0xb4));
  set(QPalette::HighlightedText, Qt::white);
  set(QPalette::Link, QColor(0x6e, 0xa8, 0xfe));
  set(QPalette::LinkVisited, QColor(0xb4, 0x8e, 0xad));
  set(QPalette::ToolTipBase, QColor(0x3a, 0x3a, 0x3a));
  set(QPalette::ToolTipText, QColor(0xe0, 0xe0, 0xe0));
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    p.setColor(QPalette::Disabled, role, QColor(0x7a, 0x7a, 0x7a));
  return p;
}

// A page's own colours: black on white, as browsers show pages that say nothing.
QPalette PagePalette() {
  QPalette p = LightPalette();
  for (QPalette::ColorRole role : {QPalette::Window, QPalette::Base}) p.setColor(QPalette::All, role, Qt::white);
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
    p.setColor(QPalette::Active, role, Qt::black);
    p.setColor(QPalette::Inactive, role, Qt::black);
  }
  return p;
}

// Put on a page viewer while a skin's style sheet is applied: its own sheet wins over the skin's
// wherever the two set the same thing, so the panel (a plain widget: ".QWidget") and the page's form
// controls are black on white again. The scroll bars keep the skin's look.
constexpr char kPageSheet[] =
    ".QWidget, .QFrame { color: black; background-color: white; }\n"
    "QPushButton, QLineEdit, QPlainTextEdit, QComboBox, QListView, QCheckBox, QRadioButton {"
    " color: black; background-color: white; selection-color: white; selection-background-color: #2f6fc9; }\n"
    "QPushButton, QLineEdit, QPlainTextEdit, QComboBox, QListView { border: 1px solid #8f8f8f; }\n"
    "QPushButton { background-color: #efefef; padding: 1px 6px; }\n"
    "QPushButton:pressed { background-color: #d9d9d9; }\n"
    "QComboBox QAbstractItemView { color: black; background-color: white; }\n";

void UpdatePages() {
  TSkinState& state = State();
  std::erase_if(state.Pages, [](const QPointer<QWidget>& page) { return page.isNull(); });
  const QString sheet = qApp->styleSheet().isEmpty() ? QString() : QString::fromLatin1(kPageSheet);
  for (const QPointer<QWidget>& page : state.Pages)
    if (page->styleSheet() != sheet) page->setStyleSheet(sheet);
}

// Qt reports a style sheet it cannot parse only by a warning, when the sheet is first used: the warning
// is caught while the sheet is applied and used once.
bool g_sheetUnparsed = false;
QtMessageHandler g_nextHandler = nullptr;

void CatchSheetWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type == QtWarningMsg && message.contains(QLatin1String("Could not parse"))) {
    g_sheetUnparsed = true;
    return;
  }
  if (g_nextHandler) g_nextHandler(type, context, message);
}

// Sets the application's style, palette and sheet; false when the sheet could not be parsed.
bool ApplyLook(const QString& style, const QPalette& palette, const QString& sheet) {
  TSkinState& state = State();
  if (state.AppliedStyle.compare(style, Qt::CaseInsensitive) != 0) {
    QApplication::setStyle(style);
    state.AppliedStyle = style;
  }
  QApplication::setPalette(palette);
  g_sheetUnparsed = false;
  g_nextHandler = qInstallMessageHandler(CatchSheetWarnings);
  qApp->setStyleSheet(sheet);
  {
    // Parses the sheet even while no window is open.
    QWidget probe;
    probe.ensurePolished();
  }
  qInstallMessageHandler(g_nextHandler);
  g_nextHandler = nullptr;
  return !g_sheetUnparsed;
}

void ApplyDesktop() {
  TSkinState& state = State();
  ApplyLook(state.DesktopStyle, state.DesktopPalette, QString());
  state.Current = kDesktopSkin;
  UpdatePages();
}

// The sheet in the file, or false with the reason.
bool ReadSheet(const QString& path, QString& sheet, QString& reason) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    reason = file.errorString();
    return false;
  }
  if (file.size() > kLargestSheet) {
    reason = kSkinTooLarge;
    return false;
  }
  const QByteArray bytes = file.read(kLargestSheet + 1);
  if (file.error() != QFileDevice::NoError) {
    reason = file.errorString();
    return false;
  }
  if (bytes.size() > kLargestSheet) {
    reason = kSkinTooLarge;
    return false;
  }
  // A style sheet is text: a file with zero bytes or that is not UTF-8 is something else.
  QStringDecoder decoder(QStringDecoder::Utf8);
  sheet = decoder.decode(bytes);
  if (decoder.hasError() || bytes.contains('\0')) {
    reason = kSkinNotAStyleSheet;
    return false;
  }
  return true;
}

bool Fail(const QString& file, const QString& reason, QString* error) {
  ApplyDesktop();
  if (error) *error = QString::fromUtf8(kCannotLoadSkin).arg(QDir::toNativeSeparators(file), reason);
  return false;
}

}  // namespace

bool ApplySkin(const QString& nameOrFile, QString* error) {
  TSkinState& state = State();
  const QString name = nameOrFile.trimmed().toLower();
  if (name.isEmpty() || name == kDesktopSkin) {
    ApplyDesktop();
    return true;
  }
  if (name == kLightSkin || name == kDarkSkin) {
    const bool dark = name == kDarkSkin;
    QString sheet;
    QString reason;
    const QString resource =
        dark ? QStringLiteral(":/corvane/skins/dark.qss") : QStringLiteral(":/corvane/skins/light.qss");
    if (!ReadSheet(resource, sheet, reason)) return Fail(resource, reason, error);
    if (!ApplyLook(kSkinStyle, dark ? DarkPalette() : LightPalette(), sheet))
      return Fail(resource, kSkinNotAStyleSheet, error);
    state.Current = name;
    UpdatePages();
    return true;
  }
  const QString path = QFileInfo(nameOrFile).absoluteFilePath();
  QString sheet;
  QString reason;
  if (!ReadSheet(path, sheet, reason)) return Fail(path, reason, error);
  if (!ApplyLook(state.DesktopStyle, state.DesktopPalette, sheet)) return Fail(path, kSkinNotAStyleSheet, error);
  state.Current = path;
  UpdatePages();
  return true;
}

QString CurrentSkin() { return State().Current; }

QString RememberedSkin() {
  const QString skin = Settings().value(kSkinSetting).toString();
  return skin.isEmpty() ? QString::fromLatin1(kDesktopSkin) : skin;
}

void RememberSkin(const QString& nameOrFile) { Settings().setValue(kSkinSetting, nameOrFile); }

bool ApplyRememberedSkin(QString* error) { return ApplySkin(RememberedSkin(), error); }

bool ApplySkinOption(const QString& value, QString* error) { return ApplySkin(value, error); }

QMenu* AddSkinMenu(QMenuBar* bar, QWidget* parent) {
  QMenu* view = nullptr;
  QAction* help = nullptr;
  for (QAction* action : bar->actions()) {
    if (!action->menu()) continue;
    if (action->text() == QLatin1String(kViewMenu)) view = action->menu();
    if (action->text() == QLatin1String(kHelpMenu)) help = action;
  }
  if (!view) {
    // Before Help, which stays the last menu.
    view = new QMenu(QString::fromUtf8(kViewMenu), bar);
    view->setObjectName("mnuView");
    if (help)
      bar->insertMenu(help, view);
    else
      bar->addMenu(view);
  }
  QMenu* skins = view->addMenu(QString::fromUtf8(kSkinMenu));
  skins->setObjectName("mnuSkin");
  auto* group = new QActionGroup(skins);
  group->setExclusive(true);
  auto add = [&](const char* caption, const char* objectName) {
    QAction* action = skins->addAction(QString::fromUtf8(caption));
    action->setObjectName(objectName);
    action->setCheckable(true);
    group->addAction(action);
    return action;
  };
  QAction* desktop = add(kSkinDesktopAction, "SkinDesktop");
  QAction* light = add(kSkinLightAction, "SkinLight");
  QAction* dark = add(kSkinDarkAction, "SkinDark");
  skins->addSeparator();
  QAction* load = add(kSkinLoadAction, "SkinLoad");

  // The checks follow the skin shown, however it was chosen.
  auto check = [=] {
    const QString current = CurrentSkin();
    QAction* shown = current == kDesktopSkin ? desktop
                     : current == kLightSkin ? light
                     : current == kDarkSkin  ? dark
                                             : load;
    shown->setChecked(true);
  };
  check();
  QObject::connect(skins, &QMenu::aboutToShow, skins, check);
  auto choose = [=](const char* name) {
    ApplySkin(QString::fromLatin1(name), nullptr);
    RememberSkin(CurrentSkin());
    check();
  };
  QObject::connect(desktop, &QAction::triggered, skins, [=] { choose(kDesktopSkin); });
  QObject::connect(light, &QAction::triggered, skins, [=] { choose(kLightSkin); });
  QObject::connect(dark, &QAction::triggered, skins, [=] { choose(kDarkSkin); });
  QObject::connect(load, &QAction::triggered, skins, [=] {
    const QString current = CurrentSkin();
    const bool isFile = current != kDesktopSkin && current != kLightSkin && current != kDarkSkin;
    const QString file = QFileDialog::getOpenFileName(parent, QString::fromUtf8(kLoadSkinCaption),
                                                      isFile ? QFileInfo(current).absolutePath() : QString(),
                                                      QString::fromUtf8(kSkinFilter));
    if (file.isEmpty()) {
      check();
      return;
    }
    QString error;
    const bool loaded = ApplySkin(file, &error);
    // What is shown is remembered: after a failed load, the desktop look.
    RememberSkin(CurrentSkin());
    check();
    if (!loaded) QMessageBox::warning(parent, QString::fromUtf8(kApplicationTitle), error);
  });
  return skins;
}

void KeepPageColours(QWidget* view) {
  if (!view) return;
  view->setPalette(PagePalette());
  TSkinState& state = State();
  if (std::find(state.Pages.begin(), state.Pages.end(), view) == state.Pages.end()) state.Pages.emplace_back(view);
  UpdatePages();
}

}  // namespace corvane
