#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "html/id_name_list.h"
#include "style/style_colors.h"

class QPainter;

namespace corvane {

class TSectionList;
class TFloatingObj;
class ThtmlForm;

// A form control placed in a text section at its placeholder character (code 2). The form controls
// implement it with real controls of the toolkit; layout only sizes, places and shows them, and the
// form asks them for their entries and resets them.
class TFormControlObj : public TIDObject {
 public:
  TFormControlObj(TSectionList* document, ThtmlForm* form) : Document(document), Form(form) {}

  TSectionList* Document;  // not owned
  ThtmlForm* Form;         // the form that owns the control
  int Pos = 0;
  int FormAlign = 4;  // vertical alignment code: 1 top, 2 middle, 3 baseline, 4 bottom
  int MarginLeft = 0;
  int MarginRight = 0;
  int MarginTop = 1;
  int MarginBottom = 1;
  int BorderTop = 0;  // border widths of a style with a drawable border, inside the vertical margins
  int BorderBottom = 0;
  bool PercentWidth = false;
  int Percent = 0;
  bool ShowIt = false;  // shown by the last paint
  std::uint64_t ShownInPaint = 0;  // the document's number of that paint
  bool Placed = false;  // placed at least once

  // What the element gave.
  std::vector<std::string> Attributes;  // "NAME=text" lines
  QString Title;
  QString Value;
  QString Name;
  std::string Id;
  QString OnClickMessage, OnFocusMessage, OnBlurMessage, OnChangeMessage;
  bool Disabled = false;
  bool ReadOnly = false;
  TColor BkColor = ColorNone;
  bool Focused = false;
  // The picture of an image button, which the section shows in the control's place.
  TFloatingObj* Image = nullptr;

  int GetYPos() const override { return YPos; }
  int YPos = 0;

  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // A percentage width turned into pixels by the section's layout.
  virtual void SetWidth(int width) = 0;
  // Hidden fields take no place in the text; image buttons show their picture instead.
  virtual bool IsHidden() const { return false; }
  // Radio buttons and check boxes sit a little lower than their line.
  virtual int VerticalShift() const { return 0; }
  // Moves the control to (x, y) on the viewer's panel (screen coordinates) and shows it.
  virtual void ShowAt(int x, int y) = 0;
  virtual void Hide() = 0;
  // Draws the control where it would be shown, for a document painted without a viewer.
  virtual void PaintAt(QPainter& canvas, int x, int y) = 0;
  // An image button: the section shows a picture in its place (Image), made from the element.
  virtual bool IsImageButton() const { return false; }
  // A control of its own that follows this one in the text (the browse button of a file field).
  virtual TFormControlObj* Companion() const { return nullptr; }
  // Whether the control can take the keyboard focus now, and gives it the focus.
  virtual bool CanFocus() const { return false; }
  virtual void SetFocus() {}
  // A click on the picture of an image button at (x, y) inside it.
  virtual void ImageClick(int, int) {}

  // The form's side: reset to the initial value; submission entry index ("name=value"), false when
  // there are no more; values set by a program (cleared first, then set one by one).
  virtual void ResetToValue() {}
  virtual bool GetSubmission(int index, QString& entry) = 0;
  virtual void SetDataInit() {}
  virtual void SetData(int index, const QString& value) = 0;
  // Change detection between gaining and losing the focus.
  virtual void SaveContents() {}
  virtual bool IsChanged() const { return false; }
};

// What a form hands to the viewer's form-submit event.
struct TFormSubmission {
  QString Action;
  QString Method;
  QString EncType;
  QString Target;
  QStringList Entries;
};

// A form: the controls that are reset and submitted together. It owns its controls.
class ThtmlForm {
 public:
  explicit ThtmlForm(TSectionList* document) : Document(document) {}
  virtual ~ThtmlForm() = default;

  TSectionList* Document;
  QString Method = QStringLiteral("Get");  // at most 4 characters
  QString Action;
  QString Target;
  QString EncType;
  std::vector<std::unique_ptr<TFormControlObj>> ControlList;
  int NonHiddenCount = 0;
  // The radio buttons of each group, in form order, under the lower-cased name.
  QHash<QString, std::vector<TFormControlObj*>> RadioGroups;

  TFormControlObj& InsertControl(std::unique_ptr<TFormControlObj> control);
  // The entries of every enabled control, in form order, then buttonEntry when given; none when the
  // viewer has no form-submit event.
  TFormSubmission Submission(const QString* buttonEntry) const;
  void Submit(const QString* buttonEntry);
  void Reset();
};

}  // namespace corvane
