#include "images/gif_strip.h"

#include <algorithm>
#include <cstring>

#include "images/gif_error.h"

namespace corvane {

namespace {

constexpr QRgb kOpaqueBlack = 0xFF000000u;
constexpr QRgb kColourBits = 0x00FFFFFFu;

// The part [start, start + length) of [0, limit), as a start and an end.
std::pair<int, int> Clip(int start, int length, int limit) {
  const long long end = std::min<long long>(static_cast<long long>(start) + length, limit);
  const int from = std::clamp(start, 0, limit);
  return {from, static_cast<int>(std::max<long long>(end, from))};
}

}  // namespace

TGifStripComposer::TGifStripComposer(int width, int height, int frameCount, bool transparent)
    : m_width(width), m_height(height), m_frameCount(frameCount), m_transparent(transparent) {
  m_strip = QImage(width * frameCount, height, transparent ? QImage::Format_ARGB32 : QImage::Format_RGB32);
  if (m_strip.isNull()) throw TGifError(TGifErrorCode::TooLarge);
  // Black everywhere; a transparent GIF's mask starts transparent.
  m_strip.fill(transparent ? QRgb{0} : kOpaqueBlack);
}

void TGifStripComposer::CopyPreviousSlice() {
  const std::size_t sliceBytes = static_cast<std::size_t>(m_width) * sizeof(QRgb);
  const std::size_t from = static_cast<std::size_t>(m_current - 1) * sliceBytes;
  for (int y = 0; y < m_height; ++y) {
    uchar* line = m_strip.scanLine(y);
    std::memcpy(line + from + sliceBytes, line + from, sliceBytes);
  }
}

void TGifStripComposer::ClearMask(const TgfFrame& frame) {
  const auto [left, right] = Clip(frame.Left, frame.Width, m_width);
  const auto [top, bottom] = Clip(frame.Top, frame.Height, m_height);
  const std::size_t sliceStart = static_cast<std::size_t>(m_current) * static_cast<std::size_t>(m_width);
  for (int y = top; y < bottom; ++y) {
    QRgb* line = reinterpret_cast<QRgb*>(m_strip.scanLine(y)) + sliceStart;
    for (int x = left; x < right; ++x) line[x] &= kColourBits;
  }
}

void TGifStripComposer::BeginFrame(const TgfFrame& frame, const TGifPalette& palette, int transparentIndex) {
  if (m_current + 1 >= m_frameCount) {
    m_current = m_frameCount;  // more frames than planned: the rest write nothing
    return;
  }
  m_previous = m_frame;
  ++m_current;
  m_frame = frame;
  m_palette = palette;
  m_transparentIndex = transparentIndex;
  if (m_current == 0) return;
  CopyPreviousSlice();
  if (m_transparent && (m_previous.Disposal == 2 || m_previous.Disposal == 3)) ClearMask(m_previous);
}

void TGifStripComposer::PutRow(int row, const std::uint8_t* indices) {
  if (m_current < 0 || m_current >= m_frameCount || row < 0 || row >= m_frame.Height) return;
  const long long y = static_cast<long long>(m_frame.Top) + row;
  if (y >= m_height) return;
  const auto [left, right] = Clip(m_frame.Left, m_frame.Width, m_width);
  if (left >= right) return;
  QRgb* line = reinterpret_cast<QRgb*>(m_strip.scanLine(static_cast<int>(y))) +
               static_cast<std::size_t>(m_current) * static_cast<std::size_t>(m_width);
  const std::uint8_t* index = indices + (left - m_frame.Left);
  const bool firstFrame = m_current == 0;
  for (int x = left; x < right; ++x, ++index) {
    if (*index == m_transparentIndex) {
      // A transparent pixel keeps what the slice holds; in the first frame that is black.
      if (firstFrame) line[x] &= ~kColourBits;
    } else {
      line[x] = m_palette[*index];
    }
  }
}

QImage TGifStripComposer::TakeStrip(int frameCount) {
  if (frameCount <= 0) return {};
  if (frameCount >= m_frameCount) return std::move(m_strip);
  return m_strip.copy(0, 0, m_width * frameCount, m_height);
}

}  // namespace corvane
