#pragma once

#include <QImage>
#include <QRgb>
#include <array>
#include <cstdint>

#include "images/gif_animation.h"

namespace corvane {

// A frame's colour table as 256 opaque colours; indices past the GIF's table are black.
using TGifPalette = std::array<QRgb, 256>;

// Composes the decoded frames of a GIF into its strip, one slice per frame, each drawn over the result
// of the frame before (see TGifAnimation for the strip's format). Frames and rows are clipped to the
// logical screen in both directions, so a frame that lies partly or wholly beyond it never writes into
// a neighbouring slice or past the strip.
class TGifStripComposer {
 public:
  // Throws TGifError when the strip cannot be allocated.
  TGifStripComposer(int width, int height, int frameCount, bool transparent);

  // Starts the next frame. From the second frame on, its slice first takes over the previous slice,
  // colours and mask; when the previous frame's disposal is 2 or 3, the mask over that frame's area
  // becomes transparent again (its colours stay). transparentIndex is -1 when the frame has none.
  void BeginFrame(const TgfFrame& frame, const TGifPalette& palette, int transparentIndex);
  // Writes row (0-based within the current frame's image) of colour indices, as many as the frame is wide.
  void PutRow(int row, const std::uint8_t* indices);

  // The frames begun so far (a frame that failed half-way included) are frameCount; the strip is cut to
  // those. A strip without frames is null.
  QImage TakeStrip(int frameCount);

 private:
  void CopyPreviousSlice();
  void ClearMask(const TgfFrame& frame);

  int m_width;
  int m_height;
  int m_frameCount;
  bool m_transparent;
  QImage m_strip;
  int m_current = -1;
  TgfFrame m_frame;
  TgfFrame m_previous;
  TGifPalette m_palette{};
  int m_transparentIndex = -1;
};

}  // namespace corvane
