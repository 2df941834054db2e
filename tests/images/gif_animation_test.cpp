#include "images/gif_animation.h"

#include <gtest/gtest.h>

#include <QPainter>

#include "gif_writer.h"
#include "images/gif_decoder.h"

namespace corvane {
namespace {

using test::kBlack;
using test::kGreen;
using test::kRed;
using test::kWhite;
using test::TTestFrame;
using test::TTestGif;

// A GIF of the given number of 1 × 1 frames, frame k of colour index k % 4, each with the given delay in
// hundredths of a second.
std::unique_ptr<TGifAnimation> Animation(int frames, std::optional<int> loop, int delay = 0) {
  TTestGif gif{.LoopCount = loop};
  for (int k = 0; k < frames; ++k) {
    gif.Frames.push_back(TTestFrame{.Fill = static_cast<std::uint8_t>(k % 4), .Delay = delay});
  }
  return DecodeGif(test::EncodeGif(gif));
}

// Steps at every tick of a timer of period ms until the animation stops or ticks run out; the frames
// shown after each step that changed the frame.
std::vector<int> Play(TGifAnimation& gif, int period, int ticks) {
  std::vector<int> shown;
  gif.SetAnimate(true, 0);
  for (int tick = 1; tick <= ticks && gif.Animate(); ++tick) {
    const int before = gif.CurrentFrame();
    gif.Step(std::int64_t{tick} * period);
    if (gif.CurrentFrame() != before) shown.push_back(gif.CurrentFrame());
  }
  return shown;
}

TEST(GifAnimationTest, PlaysAsOftenAsTheLoopCountSays) {
  const struct {
    std::optional<int> Loop;
    std::vector<int> Shown;
    bool StillAnimating;
  } cases[] = {
      {std::nullopt, {2, 3}, false},              // plays once, stops on the last frame
      {2, {2, 3, 1, 2, 3, 1, 2, 3}, false},       // three times
      {0, {2, 3, 1, 2, 3, 1, 2, 3, 1, 2}, true},  // endless
  };
  for (const auto& c : cases) {
    auto gif = Animation(3, c.Loop);
    EXPECT_EQ(Play(*gif, 30, 10), c.Shown);
    EXPECT_EQ(gif->Animate(), c.StillAnimating);
    if (!c.StillAnimating) {
      EXPECT_EQ(gif->CurrentFrame(), 3);
      EXPECT_EQ(gif->CurrentRepeat(), gif->RepeatCount());
    }
  }
}

TEST(GifAnimationTest, StepsWaitForTheFrameDelay) {
  const struct {
    int Delay;  // hundredths
    int Ms;
  } cases[] = {{0, 30}, {1, 30}, {5, 50}};
  for (const auto& c : cases) {
    auto gif = Animation(2, 0, c.Delay);
    gif->SetAnimate(true, 1000);
    EXPECT_EQ(gif->CurrentDelay(), c.Ms);
    EXPECT_TRUE(gif->Step(1000 + c.Ms - 1).isEmpty());
    EXPECT_EQ(gif->CurrentFrame(), 1) << c.Delay;
    gif->Step(1000 + c.Ms);
    EXPECT_EQ(gif->CurrentFrame(), 2) << c.Delay;
    // The delay counts from the last step, not from the last tick.
    gif->Step(1000 + 2 * c.Ms - 1);
    EXPECT_EQ(gif->CurrentFrame(), 2);
    gif->Step(1000 + 2 * c.Ms);
    EXPECT_EQ(gif->CurrentFrame(), 1);
  }
}

TEST(GifAnimationTest, AStepAsksToRepaintWhereThePictureWasDrawn) {
  auto gif = Animation(2, 0);
  QImage canvas(20, 20, QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&canvas);
  gif->Draw(painter, QRect(3, 4, 5, 6));
  gif->SetAnimate(true, 0);
  EXPECT_TRUE(gif->Step(10).isEmpty()) << "no change, nothing to repaint";
  EXPECT_EQ(gif->Step(30), QRect(3, 4, 5, 6));
  gif->SetAnimate(false, 40);
  EXPECT_TRUE(gif->Step(1000).isEmpty());
  EXPECT_EQ(gif->CurrentFrame(), 2);
  EXPECT_TRUE(Animation(1, 0)->Step(1000).isEmpty()) << "a single frame never steps";
}

TEST(GifAnimationTest, SettingTheCurrentFrame) {
  const struct {
    int Set;
    int Current;
  } cases[] = {{2, 2}, {3, 3}, {4, 1}, {99, 1}, {0, 3}, {-5, 3}};
  for (const auto& c : cases) {
    auto gif = Animation(3, 0);
    gif->SetCurrentFrame(c.Set);
    EXPECT_EQ(gif->CurrentFrame(), c.Current) << c.Set;
  }
}

TEST(GifAnimationTest, DrawsTheCurrentSliceStretchedWithoutSmoothingThroughItsMask) {
  TTestGif source{.Width = 2, .Height = 1};
  source.Frames = {TTestFrame{.Width = 2, .Height = 1, .Pixels = {2, 0}, .TransparentIndex = 0},
                   TTestFrame{.Width = 2, .Height = 1, .Pixels = {0, 1}, .TransparentIndex = 0}};
  auto gif = DecodeGif(test::EncodeGif(source));
  QImage canvas(6, 2, QImage::Format_ARGB32_Premultiplied);
  canvas.fill(Qt::blue);
  QPainter painter(&canvas);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
  gif->Draw(painter, QRect(0, 0, 6, 2));
  gif->SetCurrentFrame(2);
  gif->Draw(painter, QRect(0, 0, 6, 1));
  EXPECT_TRUE(painter.testRenderHint(QPainter::SmoothPixmapTransform)) << "the painter's hint is restored";
  painter.end();
  // Row 1 shows frame 1 at three times its width, its transparent pixel leaving the background; row 0
  // frame 2 over it: frame 1's red kept under frame 2's transparent pixel, then white.
  const QRgb blue = QColor(Qt::blue).rgb();
  const QRgb row0[] = {kRed, kRed, kRed, kWhite, kWhite, kWhite};
  const QRgb row1[] = {kRed, kRed, kRed, blue, blue, blue};
  for (int x = 0; x < 6; ++x) {
    EXPECT_EQ(canvas.pixel(x, 0), row0[x]) << x;
    EXPECT_EQ(canvas.pixel(x, 1), row1[x]) << x;
  }
  gif->SetVisible(false);
  canvas.fill(Qt::blue);
  QPainter again(&canvas);
  gif->Draw(again, QRect(0, 0, 6, 2));
  again.end();
  EXPECT_EQ(canvas.pixel(0, 0), blue) << "an invisible picture draws nothing";
  EXPECT_EQ(gif->DrawnRect(), QRect(0, 0, 6, 2));
}

TEST(GifAnimationTest, CopiesShareTheStripAndAnimateOnTheirOwn) {
  auto gif = Animation(3, 2, 7);
  gif->SetAnimate(true, 0);
  gif->Step(70);
  auto copy = gif->Copy();
  EXPECT_TRUE(copy->IsCopy());
  EXPECT_FALSE(gif->IsCopy());
  EXPECT_EQ(copy->Strip().constBits(), gif->Strip().constBits());
  EXPECT_EQ(copy->CurrentFrame(), 1);
  EXPECT_EQ(copy->CurrentRepeat(), 1);
  EXPECT_FALSE(copy->Animate());
  EXPECT_EQ(copy->RepeatCount(), 3);
  EXPECT_EQ(copy->Frames().size(), 3u);
  EXPECT_NE(&copy->Frames(), &gif->Frames());
  copy->SetCurrentFrame(3);
  EXPECT_EQ(gif->CurrentFrame(), 2);
  gif.reset();
  EXPECT_EQ(copy->Slice(3).pixel(0, 0), kRed) << "the strip outlives the picture it came from";
}

TEST(GifAnimationTest, TheFirstFrameAsAStillPicture) {
  TTestGif source{.Width = 2, .Height = 1};
  source.Frames = {TTestFrame{.Width = 2, .Height = 1, .Pixels = {2, 0}, .TransparentIndex = 0},
                   TTestFrame{.Width = 2, .Height = 1, .Pixels = {1, 1}}};
  auto gif = DecodeGif(test::EncodeGif(source));
  const auto first = gif->FirstFrame();
  EXPECT_EQ(first, gif->FirstFrame()) << "made once";
  EXPECT_EQ(first, gif->Copy()->FirstFrame());
  EXPECT_EQ(first->Colours().size(), QSize(2, 1));
  EXPECT_EQ(first->Colours().pixel(0, 0), kRed);
  EXPECT_EQ(first->Colours().pixel(1, 0), kBlack);
  ASSERT_TRUE(first->HasMask());
  EXPECT_EQ(first->Mask().constScanLine(0)[0], 255);
  EXPECT_EQ(first->Mask().constScanLine(0)[1], 0);
  EXPECT_FALSE(Animation(2, 0)->FirstFrame()->HasMask()) << "an opaque GIF has no mask";
}

}  // namespace
}  // namespace corvane
