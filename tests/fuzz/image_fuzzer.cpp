// Feeds arbitrary bytes to the picture decoders. GIF data (by its first bytes) goes through the GIF
// decoder and its strip composition, and the animation it gives is stepped with a made-up clock, drawn,
// copied and cut to its first frame; other data goes through the general decoder with its masks. Besides
// crashes it traps when a decoded picture contradicts itself.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "images/gif_decoder.h"
#include "images/gif_error.h"
#include "images/picture_decoder.h"
#include "images/picture_kind.h"

namespace {

using namespace corvane;

// Pictures larger than this are decoded but not copied out of their strips into slices, still pictures
// and masks: several copies at once would not fit the memory limit of a fuzzing run under the sanitizers.
constexpr std::int64_t kMaxExercisedPixels = std::int64_t{1} << 22;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

void ExerciseStill(TStillPicture& still, QPainter& painter, bool lowerLeft) {
  Check(!still.IsNull());
  if (lowerLeft) MakeLowerLeftMask(still);
  if (still.HasMask()) Check(still.Mask().size() == still.Colours().size());
  Check(still.Masked().size() == still.Colours().size());
  still.Draw(painter, QRect(0, 0, 13, 9), TMaskUse::ThroughMask);
  still.Draw(painter, QRect(2, 3, 40, 1), TMaskUse::Opaque);
}

void ExerciseAnimation(TGifAnimation& gif, QPainter& painter, bool lowerLeft) {
  const int frames = gif.FrameCount();
  Check(frames >= 1 && gif.Width() > 0 && gif.Height() > 0);
  Check(gif.Strip().width() == gif.Width() * frames && gif.Strip().height() == gif.Height());
  Check(static_cast<int>(gif.Frames().size()) == frames);
  for (const TgfFrame& frame : gif.Frames()) Check(frame.Delay >= kMinFrameDelayMs);
  Check(GifStripBytes(gif.Width(), frames, gif.Height()) <= kMaxGifStripBytes);

  const QRect target(1, 2, 20, 15);
  gif.Draw(painter, target);
  gif.SetAnimate(true, 0);
  std::int64_t now = 0;
  const int ticks = 3 * std::min(frames, 40);
  for (int tick = 0; tick < ticks; ++tick) {
    now += kMinFrameDelayMs;
    const int before = gif.CurrentFrame();
    const QRect repaint = gif.Step(now);
    Check(gif.CurrentFrame() >= 1 && gif.CurrentFrame() <= frames);
    Check(repaint.isEmpty() || gif.CurrentFrame() != before);
    if (tick % 8 == 0) gif.Draw(painter, target);
  }
  auto copy = gif.Copy();
  copy->SetCurrentFrame(0);
  Check(copy->CurrentFrame() == frames);
  copy->Draw(painter, QRect(0, 0, 7, 30));
  if (std::int64_t{gif.Width()} * gif.Height() <= kMaxExercisedPixels) {
    Check(copy->Slice(frames).size() == QSize(gif.Width(), gif.Height()));
    const auto first = gif.FirstFrame();
    Check(first->Width() == gif.Width() && first->Height() == gif.Height());
    Check(first->HasMask() == gif.Transparent());
    ExerciseStill(*first, painter, lowerLeft);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QGuiApplication app(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const bool lowerLeft = size % 2 == 1;
  QImage canvas(48, 32, QImage::Format_ARGB32_Premultiplied);
  canvas.fill(Qt::white);
  QPainter painter(&canvas);
  if (IsGif(PictureKind(bytes))) {
    try {
      auto gif = DecodeGif(bytes);
      ExerciseAnimation(*gif, painter, lowerLeft);
    } catch (const TGifError&) {
    }
    return 0;
  }
  TDecodedPicture decoded = DecodePicture(bytes, lowerLeft ? TTransparency::LowerLeft : TTransparency::None);
  if (decoded.Picture.IsNull()) return 0;
  Check(decoded.Picture.Still != nullptr);
  Check(std::int64_t{decoded.Picture.Width()} * decoded.Picture.Height() <= kMaxStillPixels);
  Check((decoded.Transparency != TTransparency::None) == decoded.Picture.Still->HasMask());
  if (PictureKind(bytes) == TPictureKind::Jpeg) Check(decoded.Transparency == TTransparency::None);
  ExerciseStill(*decoded.Picture.Still, painter, lowerLeft);
  return 0;
}
