#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <QString>

#include "style/font_obj.h"
#include "style/style_colors.h"

class QRect;

namespace corvane {

class TFormControlObj;
struct TFormSubmission;

// An entry of the tab order: a form control or a link's focus proxy. Entries go by their tab index,
// then by the order they were registered in.
struct TTabOrderEntry {
  int TabIndex = 0;
  int Count = 0;
  TFormControlObj* Control = nullptr;
  TFocusProxy* Proxy = nullptr;
};

// What a document asks of the viewer that shows it. A document without a viewer (a headless render,
// a test) uses this class as it is: every answer is "nothing".
class TDocumentHost {
 public:
  virtual ~TDocumentHost() = default;

  // The document's background colour changed (BODY BGCOLOR, or a new document).
  virtual void BackgroundChanged(TColor) {}
  // Layout progress in percent, for long documents.
  virtual void LayoutProgress(int) {}
  // Something the panel shows changed: repaint it.
  virtual void InvalidatePanel() {}
  // Whether the viewer is on screen, so that controls can be given their windows.
  virtual bool Showing() const { return false; }
  // A layout step failed and its item was left out; the viewer reports it when the layout is over.
  virtual void ReportLayoutError(const std::string&) {}

  // Links reached by the keyboard.
  virtual std::unique_ptr<TFocusProxy> MakeFocusProxy(TFontObj&) { return nullptr; }
  virtual void LinkFocused(TFontObj&) {}
  virtual void FollowLink(const TRunTarget&) {}
  virtual void ViewerKeyDown(int) {}
  // The controls and links of the tab order, in order: they take tab orders 0, 1, 2 ...
  virtual void ApplyTabOrder(const std::vector<TTabOrderEntry>&) {}
  // Whether the left mouse button is held down (a picture under the mouse shows itself pressed).
  virtual bool LeftButtonDown() const { return false; }

  // Animated pictures: the viewer's animation timer runs while enabled and steps the document's animated
  // images at each tick (TSectionList::StepAnimations); a frame that changed repaints its rectangle of the
  // paint panel.
  virtual void EnableAnimationTimer(bool) {}
  virtual void InvalidatePanelRect(const QRect&) { InvalidatePanel(); }
  // Milliseconds of a monotonic clock, the time base of the animations.
  virtual std::int64_t AnimationClock() const;

  // Form controls. A control took the keyboard focus (the viewer keeps it in view); the object events
  // with the control's ONCLICK, ONFOCUS, ONBLUR or ONCHANGE text.
  virtual void ControlFocused(TFormControlObj&) {}
  // Gives control the keyboard focus, bringing it into view first (the arrow keys of a radio group).
  virtual void FocusControl(TFormControlObj&) {}
  virtual void ObjectClick(TFormControlObj&, const QString&) {}
  virtual void ObjectFocus(TFormControlObj&, const QString&) {}
  virtual void ObjectBlur(TFormControlObj&, const QString&) {}
  virtual void ObjectChange(TFormControlObj&, const QString&) {}
  // Whether a form-submit event is set; a form submits only then.
  virtual bool HandlesFormSubmit() const { return false; }
  virtual void FormSubmit(const TFormSubmission&) {}
  // The browse button of a file field: the edit's text in, the chosen file out; false when nothing was
  // chosen.
  virtual bool FileBrowse(QString&) { return false; }
};

}  // namespace corvane
