#pragma once

#include <QRect>

#include <string>

#include "images/picture.h"
#include "style/properties.h"

class QPainter;

namespace corvane {

class TSectionList;

// The background picture of a block, a table cell or the document: fetched by name through the
// document's image fetch the first time it is painted (never when images are not shown), given back to
// the image cache when its owner goes, and tiled over a box from its background position. A picture that
// cannot be fetched is dropped: the owner paints without it.
class TBackgroundPicture {
 public:
  TBackgroundPicture() = default;
  ~TBackgroundPicture() { Release(); }
  TBackgroundPicture(const TBackgroundPicture&) = delete;
  TBackgroundPicture& operator=(const TBackgroundPicture&) = delete;

  // Forgets the picture (and gives it back to the cache); the next Paint fetches source again.
  void Release();
  // Tiles the picture of source over box (panel coordinates), within clip: from the position's offset
  // against the box, repeated along each axis that repeats. Fixed positions count from fixedOrigin (the
  // panel's top left) instead of the box.
  void Paint(QPainter& canvas, TSectionList& document, const std::string& source, const TBackgroundPosition& position,
             const QRect& box, const QRect& clip, QPoint fixedOrigin = {});
  // The picture once fetched; null before, or when it could not be.
  const TPicture& Picture() const { return m_picture; }

 private:
  TSectionList* m_document = nullptr;
  std::string m_cacheName;
  TPicture m_picture;
  bool m_fetched = false;
};

// Where the first tile of a picture of pictureSize lies along one axis of a box of boxSize, relative
// to the box.
int BackgroundOffset(const TBackgroundAxis& axis, int boxSize, int pictureSize);

}  // namespace corvane
