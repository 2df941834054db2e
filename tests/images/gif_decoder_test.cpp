#include "images/gif_decoder.h"

#include <gtest/gtest.h>

#include <chrono>

#include "gif_writer.h"
#include "images/gif_error.h"

namespace corvane {
namespace {

using test::EncodeGif;
using test::kBlack;
using test::kGreen;
using test::kRed;
using test::kWhite;
using test::TTestFrame;
using test::TTestGif;

// The pixel at (x, y) of frame n's composed picture, alpha included.
QRgb At(const TGifAnimation& gif, int n, int x, int y) { return gif.Strip().pixel((n - 1) * gif.Width() + x, y); }

std::string ErrorOf(const std::string& data) {
  try {
    DecodeGif(data);
  } catch (const TGifError& error) {
    return error.what();
  }
  return "no error";
}

TEST(GifDecoderTest, LaterFramesAreDrawnOverEarlierOnes) {
  TTestGif gif{.Width = 4, .Height = 2};
  gif.Frames = {TTestFrame{.Width = 4, .Height = 2, .Fill = 2},
                TTestFrame{.Left = 1, .Width = 2, .Height = 1, .Pixels = {3, 1}}};
  const auto decoded = DecodeGif(EncodeGif(gif));
  ASSERT_EQ(decoded->FrameCount(), 2);
  EXPECT_FALSE(decoded->Transparent());
  EXPECT_EQ(decoded->Strip().format(), QImage::Format_RGB32);
  EXPECT_EQ(decoded->Strip().size(), QSize(8, 2));
  for (int x = 0; x < 4; ++x) EXPECT_EQ(At(*decoded, 1, x, 0), kRed) << x;
  const QRgb second[2][4] = {{kRed, kGreen, kWhite, kRed}, {kRed, kRed, kRed, kRed}};
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(At(*decoded, 2, x, y), second[y][x]) << x << "," << y;
  }
  const TgfFrame& frame = decoded->Frames()[1];
  EXPECT_EQ(std::tie(frame.Left, frame.Top, frame.Width, frame.Height), std::make_tuple(1, 0, 2, 1));
}

// Frame 1 covers the left half in red; frame 2 draws one white pixel at the right. Disposal 2 and 3 make
// the left half transparent again for frame 2, although its colours stay red.
TEST(GifDecoderTest, DisposalClearsTheMaskOfTheFrameArea) {
  const struct {
    int Disposal;
    int LeftAlpha;
  } cases[] = {{0, 255}, {1, 255}, {2, 0}, {3, 0}};
  for (const auto& c : cases) {
    TTestGif gif{.Width = 4, .Height = 2};
    gif.Frames = {TTestFrame{.Width = 2, .Height = 2, .Fill = 2, .Disposal = c.Disposal, .TransparentIndex = 3},
                  TTestFrame{.Left = 3, .Top = 1, .Fill = 1}};
    const auto decoded = DecodeGif(EncodeGif(gif));
    ASSERT_EQ(decoded->FrameCount(), 2);
    EXPECT_TRUE(decoded->Transparent());
    EXPECT_EQ(decoded->Strip().format(), QImage::Format_ARGB32);
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 2; ++x) {
        EXPECT_EQ(At(*decoded, 1, x, y), kRed);
        EXPECT_EQ(qAlpha(At(*decoded, 2, x, y)), c.LeftAlpha) << "disposal " << c.Disposal;
        EXPECT_EQ(At(*decoded, 2, x, y) & 0xFFFFFF, kRed & 0xFFFFFF) << "disposal " << c.Disposal;
      }
    }
    EXPECT_EQ(At(*decoded, 1, 3, 1), 0u) << "never drawn: black and transparent";
    EXPECT_EQ(At(*decoded, 2, 3, 1), kWhite);
    EXPECT_EQ(At(*decoded, 2, 2, 0), 0u);
  }
}

TEST(GifDecoderTest, TransparentPixelsKeepWhatTheSliceHolds) {
  TTestGif gif{.Width = 4, .Height = 1};
  gif.Frames = {TTestFrame{.Width = 4, .Height = 1, .Pixels = {2, 3, 2, 3}, .TransparentIndex = 3},
                TTestFrame{.Width = 4, .Height = 1, .Pixels = {3, 1, 3, 3}, .TransparentIndex = 3}};
  const auto decoded = DecodeGif(EncodeGif(gif));
  const QRgb first[] = {kRed, 0, kRed, 0};
  const QRgb second[] = {kRed, kWhite, kRed, 0};
  for (int x = 0; x < 4; ++x) {
    EXPECT_EQ(At(*decoded, 1, x, 0), first[x]) << x;
    EXPECT_EQ(At(*decoded, 2, x, 0), second[x]) << x;
  }
}

TEST(GifDecoderTest, RepeatCountAndDelays) {
  const struct {
    std::optional<int> Loop;
    int Repeat;
  } loops[] = {{std::nullopt, 1}, {0, 0}, {2, 3}, {65535, 65536}};
  for (const auto& c : loops) {
    TTestGif gif{.LoopCount = c.Loop};
    gif.Frames = {TTestFrame{.Delay = 0}, TTestFrame{.Delay = 1}, TTestFrame{.Delay = 5}, TTestFrame{.Control = false},
                  TTestFrame{.Delay = 300}};
    const auto decoded = DecodeGif(EncodeGif(gif));
    EXPECT_EQ(decoded->RepeatCount(), c.Repeat);
    std::vector<int> delays;
    for (const TgfFrame& frame : decoded->Frames()) delays.push_back(frame.Delay);
    EXPECT_EQ(delays, (std::vector<int>{30, 30, 50, 30, 3000}));
  }
}

TEST(GifDecoderTest, InterlacedRowsLandInPlace) {
  TTestGif gif{.Width = 1, .Height = 8};
  gif.Colors = {kBlack, kWhite, kRed, kGreen, 0xFF000001, 0xFF000002, 0xFF000003, 0xFF000004};
  gif.Frames = {TTestFrame{.Width = 1, .Height = 8, .Pixels = {0, 1, 2, 3, 4, 5, 6, 7}, .Interlaced = true}};
  const auto decoded = DecodeGif(EncodeGif(gif));
  for (int y = 0; y < 8; ++y) EXPECT_EQ(At(*decoded, 1, 0, y), gif.Colors[y]) << y;
}

// Frame 2 lies wholly beyond the screen; frame 3, the last, partly: its columns past the last slice would
// wrap into the first slice of the next row, its rows past the strip's end.
TEST(GifDecoderTest, FramesBeyondTheScreenAreClippedBothWays) {
  TTestGif gif{.Width = 4, .Height = 4};
  gif.Frames = {TTestFrame{.Width = 4, .Height = 4, .Fill = 1},
                TTestFrame{.Left = 9, .Top = 0, .Width = 3, .Height = 3, .Fill = 3},
                TTestFrame{.Left = 2, .Top = 1, .Width = 6, .Height = 6, .Fill = 2}};
  const auto decoded = DecodeGif(EncodeGif(gif));
  ASSERT_EQ(decoded->FrameCount(), 3);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(At(*decoded, 1, x, y), kWhite) << x << "," << y;
      EXPECT_EQ(At(*decoded, 2, x, y), kWhite) << x << "," << y;
      EXPECT_EQ(At(*decoded, 3, x, y), x >= 2 && y >= 1 ? kRed : kWhite) << x << "," << y;
    }
  }
}

TEST(GifDecoderTest, BrokenOffStreamsKeepTheirCompleteFrames) {
  TTestGif gif{.Width = 3, .Height = 2};
  gif.Frames = {TTestFrame{.Width = 3, .Height = 2, .Fill = 1}, TTestFrame{.Width = 3, .Height = 2, .Fill = 2},
                TTestFrame{.Width = 3, .Height = 2, .Fill = 3}};
  const std::string full = EncodeGif(gif);
  EXPECT_EQ(DecodeGif(full.substr(0, full.size() - 1))->FrameCount(), 3) << "without the trailer";
  int previous = 0;
  for (std::size_t length = 0; length < full.size(); ++length) {
    int frames = 0;
    try {
      frames = DecodeGif(full.substr(0, length))->FrameCount();
    } catch (const TGifError&) {
    }
    EXPECT_GE(frames, previous) << length;
    previous = frames;
  }
  EXPECT_EQ(previous, 3);
  EXPECT_EQ(ErrorOf(full.substr(0, 10)), "TGif: Unexpected end of file");
}

TEST(GifDecoderTest, AStripTooLargeIsRefusedBeforeAnyPixelIsDecoded) {
  EXPECT_EQ(GifStripBytes(10000, 3, 2000), 180'000'054);
  EXPECT_EQ(GifStripBytes(65535, 10000, 65535), std::int64_t{(65535LL * 10000 * 3 + 3) / 4 * 4} * 65535 + 54);
  // The image data cannot be decompressed: decoding it would fail with another error, and slowly.
  const std::string wide = test::GifWithUndecodableFrames(10000, 2000, 3, 5000, true);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ErrorOf(wide), "TGif: Animated GIF too large");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  // A frame of 20000 × 20000 on a screen of one pixel (a few hundred KB of data could fill it).
  const std::string screen = test::GifWithUndecodableFrames(1, 1, 0, 0, false);
  const std::string bomb =
      screen.substr(0, screen.size() - 1) + std::string("\x2C\0\0\0\0\x20\x4E\x20\x4E\0\x02\x01\xFF\0\x3B", 15);
  EXPECT_EQ(ErrorOf(bomb), "TGif: Animated GIF too large");
}

TEST(GifDecoderTest, FramesWhoseDataCannotFillThemAreCutOff) {
  // 5000 × 2000 pixels cannot come from 100 bytes.
  EXPECT_EQ(ErrorOf(test::GifWithUndecodableFrames(5000, 2000, 1, 100, false)), "TGif: Unexpected end of file");
  EXPECT_EQ(ErrorOf(test::GifWithUndecodableFrames(50, 20, 1, 100, false)), "TGif: Invalid LZW Data Format");
}

TEST(GifDecoderTest, MalformedStreamsGiveTheirErrors) {
  using namespace std::string_literals;
  const std::string good = EncodeGif(TTestGif{.Width = 2, .Height = 2, .Frames = {TTestFrame{}}});
  std::string zero = good;
  zero[6] = zero[7] = '\0';
  std::string noTable = good;
  noTable[10] = static_cast<char>(noTable[10] & 0x7F);  // no global table, and the frame has none
  noTable.erase(13, 12);
  const struct {
    std::string Data;
    std::string Error;
  } cases[] = {
      {EncodeGif(TTestGif{.Width = 2, .Height = 2}), "TGif: No Image Description"},
      {zero, "TGif: Zero width or height"},
      {noTable, "TGif: No Local or Global Color Table for Image"},
      {"PNG89a\x02\x00\x02\x00\x00\x00\x00;"s, "TGif: Invalid GIF Signature Code"},
      {"", "TGif: Unexpected end of file"},
      {"GIF89a\x01\x00\x01\x00\x00\x00\x00\x99"s, "TGif: Unknown Graphics Operation Code"},
  };
  EXPECT_EQ(DecodeGif(good)->FrameCount(), 1);
  for (const auto& c : cases) EXPECT_EQ(ErrorOf(c.Data), c.Error) << c.Error;
}

TEST(GifDecoderTest, AnErrorOfItsOwnMessage) {
  EXPECT_STREQ(TGifError(TGifErrorCode::Special, "Out of paper").what(), "TGif: Out of paper");
}

}  // namespace
}  // namespace corvane
