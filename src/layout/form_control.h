#pragma once

#include <memory>
#include <string>
#include <vector>

#include "html/id_name_list.h"

class QPainter;

namespace corvane {

class TSectionList;

// A form control placed in a text section at its placeholder character (code 2). The form controls
// implement it with real controls of the toolkit; layout only sizes, places and shows them.
class TFormControlObj : public TIDObject {
 public:
  explicit TFormControlObj(TSectionList* document) : Document(document) {}

  TSectionList* Document;  // not owned
  int Pos = 0;
  int FormAlign = 4;  // vertical alignment code: 1 top, 2 middle, 3 baseline, 4 bottom
  int MarginLeft = 0;
  int MarginRight = 0;
  int MarginTop = 1;
  int MarginBottom = 1;
  bool PercentWidth = false;
  int Percent = 0;
  bool ShowIt = false;  // shown during the current paint
  bool Placed = false;  // placed at least once

  int GetYPos() const override { return YPos; }
  int YPos = 0;

  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // A percentage width turned into pixels by the section's layout.
  virtual void SetWidth(int width) = 0;
  virtual bool IsHidden() const { return false; }
  // Radio buttons and check boxes sit a little lower than their line.
  virtual int VerticalShift() const { return 0; }
  // Moves the control to (x, y) on the viewer's panel (screen coordinates) and shows it.
  virtual void ShowAt(int x, int y) = 0;
  virtual void Hide() = 0;
  // Draws the control where it would be shown, for a document painted without a viewer.
  virtual void PaintAt(QPainter& canvas, int x, int y) = 0;
};

// A form: the controls that are reset and submitted together.
class ThtmlForm {
 public:
  virtual ~ThtmlForm() = default;
};

}  // namespace corvane
