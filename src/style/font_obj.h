#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "style/my_font.h"

namespace corvane {

class TSection;
class TFontObj;

// The copy of a link's target that each font run of the link keeps. Runs with the same LinkId belong to
// the same link.
struct TRunTarget {
  std::string Url;
  std::string Target;
  int LinkId = 0;
  std::string Attributes;  // the anchor's attributes, "NAME=text" lines separated by CR LF
  int TabIndex = 0;
  int StartPos = -1;
  int EndPos = -1;
};

// The keyboard focus proxy of a link: a focusable control that the viewer makes, 1 by 1 pixel and off
// screen, whose focus and key events go to one font run of the link (TFontObj::FocusEntered ...).
class TFocusProxy {
 public:
  virtual ~TFocusProxy() = default;
  // From now on the control's events go to run.
  virtual void SetRun(TFontObj& run) = 0;
};

// What the font runs of links need from their document: its list of link runs, its tab order, the
// control that stands for a link, and the viewer's answers to the proxy's events.
class TLinkDocument {
 public:
  virtual ~TLinkDocument() = default;
  // The font runs that carry links, in document order.
  virtual std::vector<TFontObj*>& LinkRuns() = 0;
  // A new focus proxy for run; null when the document has no viewer to place it in.
  virtual std::unique_ptr<TFocusProxy> MakeFocusProxy(TFontObj& run) = 0;
  virtual int TabOrderCount() const = 0;
  // Registers a proxy in the tab order at tabIndex (1 or more); equal indices keep the registration order.
  virtual void AddToTabOrder(int tabIndex, TFocusProxy& proxy) = 0;
  virtual void RemoveFromTabOrder(TFocusProxy& proxy) = 0;
  // A link got the keyboard focus: the viewer scrolls to run's LinkY.
  virtual void LinkFocused(TFontObj& run) = 0;
  virtual void RepaintLinks() = 0;
  // Enter on a focused link: follow it as after a click.
  virtual void FollowLink(const TRunTarget& target) = 0;
  // Any other key on a focused link goes to the viewer's own key handling.
  virtual void ViewerKeyDown(int key) = 0;
};

// A font run of a text section: from StartIndex on, the section's characters are drawn with Font. Runs of
// links also carry the link's four looks, its visited and hover state and, on the first run of the link,
// the keyboard focus proxy.
class TFontObj {
 public:
  TFontObj(TSection* section, int startIndex, std::unique_ptr<TMyFont> font);
  TFontObj(TSection* section, int startIndex, const TMyFont& font);
  ~TFontObj();
  TFontObj(const TFontObj&) = delete;
  TFontObj& operator=(const TFontObj&) = delete;

  // A run for another section with the same start, script shift, font (the link look when the source has
  // link looks) and target; not the looks, title or proxy.
  static std::unique_ptr<TFontObj> CreateCopy(TSection* section, const TFontObj& source);

  void ReplaceFont(std::unique_ptr<TMyFont> font);
  // Makes Font the font of info and measures it again (through cache when one is given).
  void ApplyFontInfo(const ThtFontInfo& info, TFontMetricsCache* cache = nullptr);
  // Copies the metrics of Font into the run.
  void FontChanged();
  void MakeLinkFonts();
  TFontInfoArray* LinkFonts() { return m_linkFonts.get(); }

  // Only for runs with link looks: apply the look of the new state.
  void SetVisited(bool visited);
  void SetHover(bool hover);
  // SetHover on this run and its neighbours in runs that belong to the same link.
  void SetHoverForLink(std::vector<TFontObj*>& runs, bool hover);

  std::string GetUrl() const { return RunTarget().Url; }
  // Gives the first run of a link its focus proxy, registered in the tab order when tabIndex is above 0.
  void CreateFocusProxy(TLinkDocument& document, int tabIndex);
  // Records the line position of a link on the run that owns its proxy.
  void SetLinkY(std::vector<TFontObj*>& runs, int y);

  // The proxy's events.
  void FocusEntered();
  void FocusLeft();
  void KeyPressed(int key);

  TSection* Section() const { return m_section; }
  bool Visited() const { return m_visited; }
  bool Hover() const { return m_hover; }
  const std::string& TitleText() const { return m_titleText ? *m_titleText : s_noTitle; }
  // Kept only when there is one: most runs have no title.
  void SetTitleText(std::string title);
  int LinkY() const { return m_linkY; }
  bool Active() const { return m_active; }
  int StartIndex() const { return m_startIndex; }
  void SetStartIndex(int index) { m_startIndex = index; }
  TMyFont& Font() const { return m_font; }
  int LineHeight() const { return m_lineHeight; }
  int TextHeight() const { return m_textHeight; }
  int MaximumCharWidth() const { return m_maximumCharWidth; }
  int Overhang() const { return m_overhang; }
  int Descent() const { return m_descent; }
  std::uint8_t ScriptShift() const { return m_scriptShift; }
  void SetScriptShift(std::uint8_t shift) { m_scriptShift = shift; }
  // The link of the run; runs outside links answer an empty one and hold none.
  const TRunTarget& RunTarget() const { return m_runTarget ? *m_runTarget : s_noTarget; }
  // The link of the run to fill in, made when the run has none.
  TRunTarget& EditRunTarget();
  TFocusProxy* FocusProxy() const { return m_focusProxy.get(); }
  // Hands the proxy over to another run of the same link (the run that owned it is going away).
  std::unique_ptr<TFocusProxy> TakeFocusProxy() { return std::move(m_focusProxy); }
  void TakeOverFocusProxy(std::unique_ptr<TFocusProxy> proxy, TLinkDocument* document);

 private:
  void ApplyCurrentLook();
  // The runs of runs from this one on that belong to the same link, this one included.
  template <typename Visit>
  void ForSameLinkFrom(const std::vector<TFontObj*>& runs, Visit visit);

  // What runs without a title or a link answer; asked for at every font change, so read without a guard.
  static const std::string s_noTitle;
  static const TRunTarget s_noTarget;

  TSection* m_section;
  bool m_visited = false;
  bool m_hover = false;
  std::unique_ptr<std::string> m_titleText;
  int m_linkY = 0;
  bool m_active = false;
  int m_startIndex;
  mutable TMyFont m_font;  // the run's font is changed through const runs (hover, visited)
  std::unique_ptr<TFontInfoArray> m_linkFonts;
  int m_lineHeight = 0;
  int m_textHeight = 0;
  int m_maximumCharWidth = 0;
  int m_overhang = 0;
  int m_descent = 0;
  std::uint8_t m_scriptShift = 0;
  std::unique_ptr<TRunTarget> m_runTarget;
  std::unique_ptr<TFocusProxy> m_focusProxy;
  TLinkDocument* m_document = nullptr;  // the document whose proxy this run owns
};

}  // namespace corvane
