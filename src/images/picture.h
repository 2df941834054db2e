#pragma once

#include <memory>

#include "images/gif_animation.h"
#include "images/still_picture.h"

class QPainter;
class QRect;

namespace corvane {

// The kinds of transparency a fetched picture has, as the image fetch takes and gives them. Asking for
// transparency (TRANSP) is LowerLeft.
enum class TTransparency {
  None = 0,
  LowerLeft = 1,  // the colour of the lower-left pixel is transparent
  Own = 2,        // the picture's own transparency (GIF), or a colour a bitmap-request handler gave
  Declared = 3,   // the transparency a PNG declares (a transparent colour or an alpha channel)
};

// A picture as the image cache holds it and the image fetch hands it out: a still picture or an
// animated GIF (a GIF of two or more frames), or neither when there is no picture. Both are shared: the
// cache and the image objects that show the picture hold the same one.
struct TPicture {
  std::shared_ptr<TStillPicture> Still;
  std::shared_ptr<TGifAnimation> Animation;

  bool IsNull() const { return Animation ? Animation->FrameCount() == 0 : !Still || Still->IsNull(); }
  explicit operator bool() const { return !IsNull(); }
  int Width() const { return Animation ? Animation->Width() : Still ? Still->Width() : 0; }
  int Height() const { return Animation ? Animation->Height() : Still ? Still->Height() : 0; }
  bool IsAnimated() const { return Animation != nullptr; }

  // Draws stretched into target: a still picture opaque or through its mask, an animated one by its
  // own frame drawing (which remembers target and always uses its mask).
  void Draw(QPainter& painter, const QRect& target, TMaskUse use) const;
};

}  // namespace corvane
