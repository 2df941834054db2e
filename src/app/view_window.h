#pragma once

#include <QMainWindow>

#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QToolBar;

namespace corvane {

class THtmlView;

// The window of `corvane view`: the viewer with a history of the pages shown (Back and Forward by the
// keys, the mouse's side buttons and the Go menu), a title that follows the page, opening and
// reloading pages, a find bar at the bottom, a text zoom, and the link under the mouse in the status bar.
class TViewWindow : public QMainWindow {
 public:
  explicit TViewWindow(QWidget* parent = nullptr);
  ~TViewWindow() override;

  // Shows the page at path as the next step of the history. False, with the reason in error and no
  // message shown, when it cannot be read; the page shown stays.
  bool Open(const std::string& path, std::string& error);
  // As Open, the reason in a message box.
  bool OpenPage(const std::string& path);
  // Asks for a page to open (HTML files or all files) and opens it.
  void OpenWithDialog();
  // Reads the page shown again and puts the view back where it was.
  void Reload();

  // History. An entry is a page and the target it was shown at, with the scroll position it was left at.
  bool CanGoBack() const { return m_index > 0; }
  bool CanGoForward() const { return m_index + 1 < static_cast<int>(m_history.size()); }
  void GoBack() { Go(-1); }
  void GoForward() { Go(1); }
  int HistoryIndex() const { return m_index; }
  int HistoryCount() const { return static_cast<int>(m_history.size()); }

  // The text zoom, in steps from 50% to 300%.
  static const std::vector<double>& ZoomSteps();
  double Zoom() const;
  void ZoomIn();
  void ZoomOut();
  void ZoomReset();

  // The find bar: showing it puts the keyboard in its text box; a search goes the given way from the
  // match shown, and the box shows when there is none.
  void ShowFindBar();
  void HideFindBar();
  bool FindBarShown() const;
  bool Find(bool forward);

  THtmlView& View() const { return *m_view; }
  // The View menu (zoom and find), for further view settings.
  QMenu* ViewMenu() const { return m_viewMenu; }
  QToolBar* FindBar() const { return m_findBar; }
  QLineEdit* FindEdit() const { return m_findEdit; }
  QLabel* FindStatus() const { return m_findStatus; }
  QAction* BackAction() const { return m_backAction; }
  QAction* ForwardAction() const { return m_forwardAction; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  struct TEntry {
    std::string Path;
    std::string Target;
    int Position = 0;
  };
  void Go(int step);
  // Loads an entry's page with the busy cursor; exceptions become the reason in error.
  bool Load(const std::string& path, const std::string& target, std::string& error);
  // Makes the page just shown the next entry, after the current one (the entries after it go).
  void Push(const std::string& target);
  void PageChanged();
  void ShowError(const std::string& reason);
  void SetZoom(double zoom);
  bool SideButton(QEvent* event);
  void FindAsTyped();
  void ShowFound(bool found);

  THtmlView* m_view;
  QMenu* m_viewMenu = nullptr;
  QToolBar* m_findBar = nullptr;
  QLineEdit* m_findEdit = nullptr;
  QCheckBox* m_matchCase = nullptr;
  QLabel* m_findStatus = nullptr;
  QAction* m_backAction = nullptr;
  QAction* m_forwardAction = nullptr;
  std::vector<TEntry> m_history;
  int m_index = -1;
  bool m_linkShown = false;  // the status bar shows the link under the mouse
};

}  // namespace corvane
