#pragma once

#include <QString>

class QMenu;
class QMenuBar;
class QWidget;

namespace corvane {

// The look of the program's windows (its skin): "desktop", the desktop's own style and colours;
// "light" and "dark", the program's own (a style sheet from the resources with its colours); or the
// path of a user's Qt style sheet (.qss), shown over the desktop's style and colours. Pages in the
// HTML viewer keep their own colours in every skin (see KeepPageColours).
inline constexpr char kDesktopSkin[] = "desktop";
inline constexpr char kLightSkin[] = "light";
inline constexpr char kDarkSkin[] = "dark";

// Gives the application the skin named (the built-in names in any case) or stored in the file. A file
// that cannot be read or is not a style sheet leaves the desktop look: false, with the message in
// error (which may be null).
bool ApplySkin(const QString& nameOrFile, QString* error);
// The skin last applied: a built-in name or a file's path; "desktop" before any.
QString CurrentSkin();

// The skin the user chose last in the menu ("desktop" when none), and applying it at start: false,
// with the message, when its file is gone or broken (the desktop look is shown then, and the choice is
// kept for the next start).
QString RememberedSkin();
void RememberSkin(const QString& nameOrFile);
bool ApplyRememberedSkin(QString* error);
// The skin asked for on the command line: applied for this run only, the remembered choice stays.
bool ApplySkinOption(const QString& value, QString* error);

// Adds View > Skin to the bar (to its View menu if it has one): Desktop, Light and Dark, checked as
// the current skin, and Load skin... for a user's style sheet. A choice is applied and remembered; a
// file that fails to load is reported in a message box over parent. Answers the Skin menu.
QMenu* AddSkinMenu(QMenuBar* bar, QWidget* parent);

// Keeps a page viewer black on white whatever the skin: the viewer gets light colours of its own, and
// while a skin's style sheet is applied, a style sheet of its own that puts its panel and the form
// controls of its pages back on white. The viewer is followed until it is destroyed.
void KeepPageColours(QWidget* view);

}  // namespace corvane
