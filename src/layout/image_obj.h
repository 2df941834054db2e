#pragma once

#include <QString>

#include <string>

#include "layout/floating_obj.h"

namespace corvane {

class TAttributeList;
class TProperties;

// The picture of an IMG element in a line of text or at an edge. Its size comes from its attributes and
// style, else from the picture; without a picture it shows a placeholder box with its alternative text.
class TImageObj final : public TFloatingObj {
 public:
  // Reads NAME, SRC, ALT (altText is its text in the document's characters), ALIGN, BORDER, WIDTH, HEIGHT,
  // HSPACE, VSPACE, TRANSP, ISMAP, USEMAP, ACTIVE, TITLE and ID.
  TImageObj(TSectionList* document, int position, const TAttributeList& attributes, QString altText);
  // A picture made from a source name alone.
  TImageObj(TSectionList* document, std::string source);

  void ApplyStyle(TProperties& properties);

  void SizeObject(int availableWidth, int availableHeight, const TFontObj* run) override;
  void Draw(QPainter& canvas, int x, const TFontObj* run, int baselineY, int topY) override;
  bool PictureAt(int x, int y, int& ix, int& iy) const override;
  bool IsMap() const override { return m_isMap; }
  bool UsesMap() const override { return m_usesMap; }
  const std::string& MapName() const override { return m_mapName; }

  std::string Source;
  QString AltText;
  int SpecWidth = -1;
  int SpecHeight = -1;
  bool NoBorder = false;
  int BorderSize = 0;
  bool SizeFixed = false;
  int ImageWidth = 0;
  int ImageHeight = 0;
  int BoxWidth = 0;
  int BoxHeight = 0;
  bool Transparent = false;
  bool ReactsToMouse = false;

  // Whether a placeholder stands where the picture would be (it has not been fetched).
  bool IsPlaceholder() const { return true; }

 private:
  bool m_isMap = false;
  bool m_usesMap = false;
  std::string m_mapName;
  bool m_spaceGiven = false;
};

// A PANEL (or an OBJECT that a handler took): a box of the size its attributes give.
class TPanelObj final : public TFloatingObj {
 public:
  TPanelObj(TSectionList* document, const TAttributeList& attributes);

  void SizeObject(int, int, const TFontObj*) override {}
  void Draw(QPainter&, int x, const TFontObj*, int baselineY, int) override;
  bool IsPanel() const override { return true; }
};

}  // namespace corvane
