#include "layout/background_picture.h"

#include <QBrush>
#include <QPainter>

#include <algorithm>

#include "images/gif_animation.h"
#include "images/still_picture.h"
#include "layout/layout_math.h"
#include "layout/section_list.h"

namespace corvane {

int BackgroundOffset(const TBackgroundAxis& axis, int boxSize, int pictureSize) {
  switch (axis.Kind) {
    case TBackgroundAxis::Top:
    case TBackgroundAxis::Left:
      return 0;
    case TBackgroundAxis::Center:
      return (boxSize - pictureSize) / 2;
    case TBackgroundAxis::Bottom:
    case TBackgroundAxis::Right:
      return boxSize - pictureSize;
    case TBackgroundAxis::Percent:
      return MulDiv(boxSize - pictureSize, axis.Value, 100);
    case TBackgroundAxis::Pixels:
      break;
  }
  return axis.Value;
}

void TBackgroundPicture::Release() {
  if (m_document && !m_cacheName.empty()) m_document->PictureFetch().Cache().Release(m_cacheName);
  m_cacheName.clear();
  m_picture = {};
  m_fetched = false;
}

void TBackgroundPicture::Paint(QPainter& canvas, TSectionList& document, const std::string& source,
                               const TBackgroundPosition& position, const QRect& box, const QRect& clip,
                               QPoint fixedOrigin) {
  if (source.empty() || !document.ShowImages || box.isEmpty()) return;
  if (!m_fetched || m_document != &document) {
    Release();
    m_fetched = true;
    m_document = &document;
    const std::string name = document.ExpandPictureName(source);
    TTransparency transparency = TTransparency::None;
    TFetchedImage fetched = document.PictureFetch().FetchImage(name, transparency);
    if (!fetched.Picture) return;
    m_cacheName = name;
    m_picture = std::move(fetched.Picture);
  }
  if (!m_picture) return;
  // An animated background shows its first frame.
  const std::shared_ptr<TStillPicture> still = m_picture.Animation ? m_picture.Animation->FirstFrame() : m_picture.Still;
  if (!still || still->IsNull()) return;
  const QImage& tile = still->Masked();
  const int w = tile.width(), h = tile.height();

  const QPoint origin(position.X.Fixed ? fixedOrigin.x() : box.left(), position.Y.Fixed ? fixedOrigin.y() : box.top());
  const QPoint first(origin.x() + BackgroundOffset(position.X, box.width(), w),
                     origin.y() + BackgroundOffset(position.Y, box.height(), h));
  // The area the tiles cover: the whole box along a repeating axis, one tile along the others.
  QRect area = box.intersected(clip);
  if (!position.X.Repeat) area &= QRect(first.x(), area.top(), w, std::max(0, area.height()));
  if (!position.Y.Repeat) area &= QRect(area.left(), first.y(), std::max(0, area.width()), h);
  if (area.isEmpty()) return;
  canvas.save();
  canvas.setPen(Qt::NoPen);
  canvas.setBrush(QBrush(tile));
  canvas.setBrushOrigin(first);
  canvas.drawRect(area);
  canvas.restore();
}

}  // namespace corvane
