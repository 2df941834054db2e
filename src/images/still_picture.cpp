#include "images/still_picture.h"

#include <QPainter>
#include <QRect>

namespace corvane {

namespace {

QImage AsRgb32(QImage picture) {
  if (picture.isNull() || picture.format() == QImage::Format_RGB32) return picture;
  // Through non-premultiplied alpha, so that colours under partial alpha keep their values.
  if (picture.hasAlphaChannel()) picture = picture.convertToFormat(QImage::Format_ARGB32);
  return picture.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

TStillPicture::TStillPicture(QImage colours, QImage mask) : m_colours(AsRgb32(std::move(colours))) {
  SetMask(std::move(mask));
}

TStillPicture TStillPicture::FromAlpha(const QImage& picture) {
  if (picture.isNull() || !picture.hasAlphaChannel()) return TStillPicture(picture);
  const QImage straight = picture.convertToFormat(QImage::Format_ARGB32);
  return TStillPicture(straight, straight.convertToFormat(QImage::Format_Alpha8));
}

void TStillPicture::SetMask(QImage mask) {
  m_masked = QImage();
  if (mask.isNull() || mask.size() != m_colours.size()) {
    m_mask = QImage();
    return;
  }
  m_mask = mask.format() == QImage::Format_Alpha8 ? std::move(mask) : mask.convertToFormat(QImage::Format_Alpha8);
}

QRgb TStillPicture::LowerLeftColor() const { return IsNull() ? 0 : m_colours.pixel(0, Height() - 1); }

const QImage& TStillPicture::Masked() const {
  if (!HasMask()) return m_colours;
  if (m_masked.isNull()) {
    QImage masked(m_colours.size(), QImage::Format_ARGB32_Premultiplied);
    if (masked.isNull()) return m_colours;
    for (int y = 0; y < masked.height(); ++y) {
      const auto* colour = reinterpret_cast<const QRgb*>(m_colours.constScanLine(y));
      const uchar* alpha = m_mask.constScanLine(y);
      auto* out = reinterpret_cast<QRgb*>(masked.scanLine(y));
      for (int x = 0; x < masked.width(); ++x)
        out[x] = qPremultiply((colour[x] & 0x00FFFFFFu) | (QRgb{alpha[x]} << 24));
    }
    m_masked = std::move(masked);
  }
  return m_masked;
}

void TStillPicture::Draw(QPainter& painter, const QRect& target, TMaskUse use) const {
  if (IsNull() || target.isEmpty()) return;
  const bool smooth = painter.testRenderHint(QPainter::SmoothPixmapTransform);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.drawImage(target, use == TMaskUse::ThroughMask ? Masked() : m_colours);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
}

QImage MaskFromColor(const QImage& colours, QRgb colour) {
  if (colours.isNull()) return {};
  const QImage rgb = colours.format() == QImage::Format_RGB32 ? colours : AsRgb32(colours);
  QImage mask(rgb.size(), QImage::Format_Alpha8);
  if (mask.isNull()) return {};
  const QRgb wanted = colour & 0x00FFFFFFu;
  for (int y = 0; y < rgb.height(); ++y) {
    const auto* in = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    uchar* out = mask.scanLine(y);
    for (int x = 0; x < rgb.width(); ++x) out[x] = (in[x] & 0x00FFFFFFu) == wanted ? 0 : 255;
  }
  return mask;
}

}  // namespace corvane
