#pragma once

#include <QImage>
#include <QRect>
#include <cstdint>
#include <memory>
#include <vector>

#include "images/still_picture.h"

class QPainter;

namespace corvane {

// A frame delay is never shorter than this, so that a frame of "no delay" still shows for a tick of
// the document's animation timer.
inline constexpr int kMinFrameDelayMs = 30;

// One frame of an animated GIF: where its image lies on the logical screen (as the file gives it,
// possibly beyond the screen), what happens to that area before the next frame, and how long it shows.
struct TgfFrame {
  int Disposal = 0;  // 0 to 3; 2 and 3 make the frame's area transparent again for the next frame
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  int Delay = kMinFrameDelayMs;  // milliseconds
};

// Milliseconds a frame shows for the GIF delay in hundredths of a second (0 when the GIF gives none).
int FrameDelayMs(int hundredths);
// The repeat count for the NETSCAPE loop count (-1 when the GIF has none): 0 means endless.
int RepeatCountForLoop(int loopCount);

// A decoded GIF: every frame composed once, side by side, into one strip of W × frame count by H, and
// the state of its animation. Times are milliseconds of a monotonic clock that the caller reads (the
// document's animation timer); nothing here reads a clock or runs a timer.
//
// The strip is Format_ARGB32 whose alpha is the mask (0 transparent, 255 opaque) for a transparent GIF,
// Format_RGB32 otherwise. It is not premultiplied: colours under a transparent mask are kept, since a
// later frame may show them again (disposal 2 and 3 clear only the mask).
class TGifAnimation {
 public:
  TGifAnimation(int width, int height, std::vector<TgfFrame> frames, int repeatCount, bool transparent, QImage strip);

  // A picture of its own for another image object: the same size, frames and strip (shared, not copied),
  // its own frame records, at frame 1 and repeat 1, not animating.
  std::unique_ptr<TGifAnimation> Copy() const;
  bool IsCopy() const { return m_isCopy; }

  int Width() const { return m_width; }
  int Height() const { return m_height; }
  int FrameCount() const { return static_cast<int>(m_frames.size()); }
  bool Animated() const { return FrameCount() > 1; }
  // 0 endless, else how many times the frames are shown.
  int RepeatCount() const { return m_repeatCount; }
  bool Transparent() const { return m_transparent; }
  const std::vector<TgfFrame>& Frames() const { return m_frames; }
  const QImage& Strip() const { return m_strip->Image; }
  // A copy of the composed picture of frame n (1-based); null outside 1..FrameCount.
  QImage Slice(int n) const;
  // The first frame as a still picture, with its mask when the GIF is transparent; made once and shared
  // with the copies.
  std::shared_ptr<TStillPicture> FirstFrame() const;

  // 1-based.
  int CurrentFrame() const { return m_currentFrame; }
  // n above the frame count shows frame 1, n of 0 or less the last frame.
  void SetCurrentFrame(int n);
  int CurrentRepeat() const { return m_currentRepeat; }
  bool Visible() const { return m_visible; }
  void SetVisible(bool visible) { m_visible = visible; }

  bool Animate() const { return m_animate; }
  // Starts (at time now) or stops the animation.
  void SetAnimate(bool animate, std::int64_t now);
  int CurrentDelay() const { return m_currentDelay; }

  // One tick of the animation timer at time now. Returns the rectangle the picture was last drawn into
  // when the frame changed (to be repainted), else an empty rectangle. The picture stops on its last
  // frame once it has been shown RepeatCount times.
  QRect Step(std::int64_t now);

  // Draws the current frame stretched into target (through the mask when there is one) without
  // smoothing, and remembers target.
  void Draw(QPainter& painter, const QRect& target);
  const QRect& DrawnRect() const { return m_drawnRect; }

 private:
  struct TStrip {
    QImage Image;
    std::shared_ptr<TStillPicture> FirstFrame;  // made on first use
  };

  TGifAnimation() = default;
  // Frame n's slice sharing the strip's memory; valid while the strip lives.
  QImage SliceView(int n) const;

  int m_width = 0;
  int m_height = 0;
  std::vector<TgfFrame> m_frames;
  int m_repeatCount = 1;
  bool m_transparent = false;
  std::shared_ptr<TStrip> m_strip;
  bool m_isCopy = false;

  int m_currentFrame = 1;
  int m_currentRepeat = 1;
  bool m_visible = true;
  bool m_animate = false;
  std::int64_t m_lastStep = 0;
  int m_currentDelay = 0;
  QRect m_drawnRect;
};

}  // namespace corvane
