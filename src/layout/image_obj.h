#pragma once

#include <QString>

#include <QRect>

#include <cstdint>
#include <string>

#include "images/picture.h"
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
  // Gives the picture back to the image cache and leaves the document's lists.
  ~TImageObj() override;
  TImageObj(const TImageObj&) = delete;
  TImageObj& operator=(const TImageObj&) = delete;

  void ApplyStyle(TProperties& properties);

  void SizeObject(int availableWidth, int availableHeight, const TFontObj* run) override;
  void Draw(QPainter& canvas, int x, const TFontObj* run, int baselineY, int topY) override;
  bool PictureAt(int x, int y, int& ix, int& iy) const override;
  bool IsMap() const override { return m_isMap; }
  bool UsesMap() const override { return m_usesMap; }
  const std::string& MapName() const override { return m_mapName; }
  // The picture of an image button answers its control.
  TFormControlObj* FormControl() const override { return m_formControl; }
  void SetFormControl(TFormControlObj* control) { m_formControl = control; }

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

  // The picture shown: the fetched one, or the error or default picture standing in for it.
  const TPicture& Picture() const { return m_picture; }
  // Whether a placeholder box stands where the picture would be: the picture could not be fetched, is
  // still to come, or images are not shown.
  bool IsPlaceholder() const;
  // The picture is still to come from the viewer's host.
  bool IsDelayed() const { return m_delayed; }
  // The awaited picture has arrived: the next SizeObject fetches it and sizes the object anew.
  void ForgetPicture();

  // Animated pictures: restarted by each layout (stopped in a print copy), stepped by the document.
  void RestartAnimation(bool run, std::int64_t now);
  QRect StepAnimation(std::int64_t now);
  // 0 normal, 1 the mouse is over the picture, 2 pressed: a picture that reacts to the mouse shows the
  // matching frame, or animates while the mouse is over it.
  void SetMouseState(int state) override;
  bool Drawn = false;           // drawn by the document's last paint
  bool InAnimatedList = false;  // kept by TSectionList

 private:
  void FetchPicture();

  TPicture m_picture;
  TFormControlObj* m_formControl = nullptr;
  bool m_fetched = false;     // the picture was asked for; m_picture holds it or a stand-in
  bool m_placeholder = true;  // m_picture is the error or the default picture
  bool m_delayed = false;
  std::string m_cacheName;    // the name the image cache holds the picture under for this object
  std::string m_waitingName;  // the name under which the object waits for a delayed picture
  int m_mouseState = 0;
  bool m_isMap = false;
  bool m_usesMap = false;
  std::string m_mapName;
  bool m_spaceGiven = false;
};

// The top of an object aligned to the middle of the text of its font run, for a line whose baseline is at
// baselineY: the object's box with its vertical spaces is centred on the run's text. Line layout asks the
// same so that the line holds the box where it is drawn.
int MiddleAlignedTop(const TFloatingObj& object, const TFontObj* run, int baselineY);

// A PANEL (or an OBJECT that a handler took): a box of the size its attributes give.
class TPanelObj final : public TFloatingObj {
 public:
  TPanelObj(TSectionList* document, const TAttributeList& attributes);

  void SizeObject(int, int, const TFontObj*) override {}
  void Draw(QPainter&, int x, const TFontObj*, int baselineY, int) override;
  bool IsPanel() const override { return true; }
};

}  // namespace corvane
