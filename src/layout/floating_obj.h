#pragma once

#include <QString>

#include <string>

#include "html/id_name_list.h"

class QPainter;

namespace corvane {

class TFontObj;
class TFormControlObj;
class TSectionList;

// An object that stands in the text of a section at its placeholder character (code 4), or floats at
// the left or right edge: pictures and panels.
class TFloatingObj : public TIDObject {
 public:
  explicit TFloatingObj(TSectionList* document) : Document(document) {}

  TSectionList* Document;  // not owned
  int Pos = 0;              // index of the placeholder in the section
  int ObjWidth = 0;         // the box the object takes in the line, border included
  int ObjHeight = 0;
  int ObjAlign = 4;  // 1 top, 2 middle, 3 baseline, 4 bottom, 5 floats left, 6 floats right
  int HSpaceL = 0;
  int HSpaceR = 0;
  int VSpaceT = 0;
  int VSpaceB = 0;
  bool PercentWidth = false;
  bool PercentHeight = false;
  std::string ImageTitle;
  int DrawX = 0;  // where the object was last drawn, document coordinates
  int DrawY = 0;
  // Where a floating object was placed, x relative to its section's x.
  int FloatX = 0;
  int FloatY = 0;

  int GetYPos() const override { return DrawY; }
  bool IsFloating() const { return ObjAlign == 5 || ObjAlign == 6; }

  // Decides the object's size for the space available.
  virtual void SizeObject(int availableWidth, int availableHeight, const TFontObj* run) = 0;
  // Draws the object at x with the line's baseline and text top (document coordinates).
  virtual void Draw(QPainter& canvas, int x, const TFontObj* run, int baselineY, int topY) = 0;
  // The point inside the picture area, when the point lies on it.
  virtual bool PictureAt(int x, int y, int& ix, int& iy) const;
  virtual bool IsMap() const { return false; }
  virtual bool UsesMap() const { return false; }
  virtual const std::string& MapName() const;
  virtual TFormControlObj* FormControl() const { return nullptr; }
  virtual void SetMouseState(int) {}
  virtual bool IsPanel() const { return false; }
};

}  // namespace corvane
