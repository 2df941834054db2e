#include "images/gif_animation.h"

#include <QPainter>
#include <algorithm>

namespace corvane {

int FrameDelayMs(int hundredths) {
  const int delay = hundredths > 0 ? hundredths : 1;
  return std::max(kMinFrameDelayMs, delay * 10);
}

int RepeatCountForLoop(int loopCount) {
  if (loopCount < 0) return 1;
  if (loopCount == 0) return 0;
  return loopCount + 1;
}

TGifAnimation::TGifAnimation(int width, int height, std::vector<TgfFrame> frames, int repeatCount, bool transparent,
                             QImage strip)
    : m_width(width),
      m_height(height),
      m_frames(std::move(frames)),
      m_repeatCount(repeatCount),
      m_transparent(transparent),
      m_strip(std::make_shared<TStrip>(TStrip{std::move(strip), nullptr})) {}

std::unique_ptr<TGifAnimation> TGifAnimation::Copy() const {
  std::unique_ptr<TGifAnimation> copy(new TGifAnimation());
  copy->m_width = m_width;
  copy->m_height = m_height;
  copy->m_frames = m_frames;
  copy->m_repeatCount = m_repeatCount;
  copy->m_transparent = m_transparent;
  copy->m_strip = m_strip;
  copy->m_isCopy = true;
  copy->m_visible = m_visible;
  return copy;
}

QImage TGifAnimation::SliceView(int n) const {
  const QImage& strip = m_strip->Image;
  if (n < 1 || n > FrameCount() || m_width <= 0 || m_height <= 0 || strip.isNull()) return {};
  const std::size_t offset = static_cast<std::size_t>(n - 1) * static_cast<std::size_t>(m_width) * 4;
  return QImage(strip.constBits() + offset, m_width, m_height, strip.bytesPerLine(), strip.format());
}

QImage TGifAnimation::Slice(int n) const { return SliceView(n).copy(); }

std::shared_ptr<TStillPicture> TGifAnimation::FirstFrame() const {
  if (m_strip->FirstFrame) return m_strip->FirstFrame;
  if (!m_transparent) {
    // An opaque strip of one frame is the picture itself (shared, not copied).
    QImage colours = FrameCount() == 1 ? m_strip->Image : Slice(1);
    m_strip->FirstFrame = std::make_shared<TStillPicture>(std::move(colours));
    return m_strip->FirstFrame;
  }
  // Colours and mask split in one pass, without an intermediate copy of the slice.
  const QImage slice = SliceView(1);
  QImage colours(m_width, m_height, QImage::Format_RGB32);
  QImage mask(m_width, m_height, QImage::Format_Alpha8);
  if (slice.isNull() || colours.isNull() || mask.isNull()) {
    m_strip->FirstFrame = std::make_shared<TStillPicture>(QImage());
    return m_strip->FirstFrame;
  }
  for (int y = 0; y < m_height; ++y) {
    const auto* in = reinterpret_cast<const QRgb*>(slice.constScanLine(y));
    auto* colour = reinterpret_cast<QRgb*>(colours.scanLine(y));
    uchar* alpha = mask.scanLine(y);
    for (int x = 0; x < m_width; ++x) {
      colour[x] = in[x] | 0xFF000000u;
      alpha[x] = static_cast<uchar>(qAlpha(in[x]));
    }
  }
  m_strip->FirstFrame = std::make_shared<TStillPicture>(std::move(colours), std::move(mask));
  return m_strip->FirstFrame;
}

void TGifAnimation::SetCurrentFrame(int n) {
  if (n == m_currentFrame || FrameCount() == 0) return;
  if (n > FrameCount()) {
    m_currentFrame = 1;
  } else if (n <= 0) {
    m_currentFrame = FrameCount();
  } else {
    m_currentFrame = n;
  }
}

void TGifAnimation::SetAnimate(bool animate, std::int64_t now) {
  if (animate == m_animate) return;
  m_animate = animate;
  if (animate && FrameCount() > 1) {
    m_lastStep = now;
    m_currentDelay = std::max(1, m_frames[m_currentFrame - 1].Delay);
  }
}

QRect TGifAnimation::Step(std::int64_t now) {
  if (!m_animate || FrameCount() <= 1 || now - m_lastStep < m_currentDelay) return {};
  m_lastStep = now;
  if (m_currentFrame == FrameCount()) {
    if (m_repeatCount > 0 && m_currentRepeat >= m_repeatCount) {
      m_animate = false;
      return {};
    }
    ++m_currentRepeat;
  }
  m_currentFrame = m_currentFrame % FrameCount() + 1;
  m_currentDelay = std::max(1, m_frames[m_currentFrame - 1].Delay);
  return m_drawnRect;
}

void TGifAnimation::Draw(QPainter& painter, const QRect& target) {
  m_drawnRect = target;
  if (!m_visible || FrameCount() == 0 || target.isEmpty()) return;
  // Drawn from a view of the slice: source coordinates far into a wide strip would overflow the
  // fixed-point arithmetic of scaled drawing.
  const QImage slice = SliceView(m_currentFrame);
  if (slice.isNull()) return;
  const bool smooth = painter.testRenderHint(QPainter::SmoothPixmapTransform);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.drawImage(target, slice);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
}

}  // namespace corvane
