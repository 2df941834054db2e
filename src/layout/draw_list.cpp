#include "layout/draw_list.h"

#include "layout/floating_obj.h"

namespace corvane {

void TDrawList::DrawImages(QPainter& canvas) {
  for (const TImageRec& record : m_records) record.Image->Draw(canvas, record.X, record.Run, record.BaselineY, record.Y);
}

}  // namespace corvane
