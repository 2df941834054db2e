#pragma once

#include <QImage>
#include <QRgb>

class QPainter;
class QRect;

namespace corvane {

// Whether a picture is drawn through its mask or opaque.
enum class TMaskUse { Opaque, ThroughMask };

// A picture that does not move: its colours and, apart from them, its transparency mask.
//
// The mask is a picture of its own (Format_Alpha8: 0 transparent, 255 opaque) rather than the alpha of
// the colours, because the image cache hands one decoded picture to every object that shows it: an
// object without TRANSP draws the colours opaque, while one with TRANSP (or a picture with transparency
// of its own) draws through the mask, and the mask may be made for a later object after the picture is
// cached. The colours with the mask as alpha, which is what painting wants, are made once on first use
// and kept, so that neither kind of drawing converts the picture again at every paint.
//
// Used on the user-interface thread only; the image cache shares one instance between objects.
class TStillPicture {
 public:
  // colours in any format (kept as Format_RGB32, alpha dropped); mask null or of the same size.
  explicit TStillPicture(QImage colours, QImage mask = {});
  // A picture whose alpha is its transparency (a PNG with a transparent colour or an alpha channel).
  static TStillPicture FromAlpha(const QImage& picture);

  int Width() const { return m_colours.width(); }
  int Height() const { return m_colours.height(); }
  // A null or zero-sized picture is no picture.
  bool IsNull() const { return m_colours.isNull() || Width() <= 0 || Height() <= 0; }

  const QImage& Colours() const { return m_colours; }
  bool HasMask() const { return !m_mask.isNull(); }
  const QImage& Mask() const { return m_mask; }
  // Replaces the mask (null for none); a mask of another size than the picture is ignored.
  void SetMask(QImage mask);
  // The colour of the lower-left pixel, the default transparent colour.
  QRgb LowerLeftColor() const;

  // The colours premultiplied by the mask (the colours alone when there is no mask).
  const QImage& Masked() const;

  // Draws the picture stretched into target without smoothing (each target pixel takes the nearest
  // source pixel), through the mask when asked for and there is one.
  void Draw(QPainter& painter, const QRect& target, TMaskUse use) const;

 private:
  QImage m_colours;
  QImage m_mask;
  mutable QImage m_masked;
};

// A mask that makes every pixel of the colour colour (alpha ignored) transparent and the rest opaque;
// null for a null picture.
QImage MaskFromColor(const QImage& colours, QRgb colour);

}  // namespace corvane
