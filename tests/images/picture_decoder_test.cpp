#include "images/picture_decoder.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QPainter>
#include <chrono>

#include "gif_writer.h"

namespace corvane {
namespace {

using test::kBlack;
using test::kGreen;
using test::kRed;
using test::kWhite;

std::string Save(const QImage& picture, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  EXPECT_TRUE(picture.save(&buffer, format)) << format;
  return bytes.toStdString();
}

// 8 × 4: the left half red, the right half white, the lower-left pixel green.
QImage Sample() {
  QImage picture(8, 4, QImage::Format_RGB32);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 8; ++x) picture.setPixel(x, y, x < 4 ? kRed : kWhite);
  }
  picture.setPixel(0, 3, kGreen);
  return picture;
}

// An indexed PNG whose colour 0 (white) is declared transparent.
std::string PngWithTransparentColour() {
  QImage indexed(2, 1, QImage::Format_Indexed8);
  indexed.setColorCount(2);
  indexed.setColor(0, qRgba(255, 255, 255, 0));
  indexed.setColor(1, kBlack);
  indexed.setPixel(0, 0, 0);
  indexed.setPixel(1, 0, 1);
  return Save(indexed, "png");
}

TEST(PictureKindTest, FromTheFirstBytes) {
  using namespace std::string_literals;
  const struct {
    std::string Data;
    TPictureKind Kind;
  } cases[] = {
      {"GIF89a\x01\x00\x01\x00"s, TPictureKind::Gif89a},
      {"GIF87a\x01\x00\x01\x00"s, TPictureKind::Gif87a},
      {"GIF8xa\x01\x00\x01\x00"s, TPictureKind::Gif87a},
      {"BM0123456789", TPictureKind::Bitmap},
      {"\x89PNG\r\n\x1a\n0000", TPictureKind::Png},
      {"\xFF\xD8\xFF\xE0"
       "000000",
       TPictureKind::Jpeg},
      {"GIF89a\x01\x00\x01"s, TPictureKind::Unknown},  // under 10 bytes
      {"/* XPM */\nstatic char* x[] = {\"1 1 1 1\"};", TPictureKind::Unknown},
      {std::string("\0\0\1\0\1\0\1\1\0\0", 10), TPictureKind::Unknown},  // an icon
  };
  for (const auto& c : cases) EXPECT_EQ(PictureKind(c.Data), c.Kind) << c.Data;
}

TEST(PictureDecoderTest, ReadsEachKindFromMemoryWithItsOwnReader) {
  const struct {
    const char* Format;
    TPictureKind Kind;
  } cases[] = {{"png", TPictureKind::Png}, {"bmp", TPictureKind::Bitmap}, {"jpeg", TPictureKind::Jpeg}};
  for (const auto& c : cases) {
    const std::string data = Save(Sample(), c.Format);
    ASSERT_EQ(PictureKind(data), c.Kind) << c.Format;
    const QImage picture = ReadStillImage(data, c.Kind);
    ASSERT_FALSE(picture.isNull()) << c.Format;
    EXPECT_EQ(picture.size(), QSize(8, 4));
    if (c.Kind != TPictureKind::Jpeg) {
      EXPECT_EQ(picture.pixel(7, 0), kWhite) << c.Format;
    }
    for (TPictureKind other : {TPictureKind::Png, TPictureKind::Bitmap, TPictureKind::Jpeg, TPictureKind::Unknown}) {
      if (other != c.Kind) {
        EXPECT_TRUE(ReadStillImage(data, other).isNull()) << c.Format << " read as another kind";
      }
    }
  }
}

TEST(PictureDecoderTest, TruncatedDataGivesNoPicture) {
  for (const char* format : {"png", "bmp", "jpeg"}) {
    const std::string data = Save(Sample(), format);
    for (std::size_t length :
         {data.size() - 1, data.size() * 9 / 10, data.size() / 2, std::size_t{30}, std::size_t{19}}) {
      EXPECT_TRUE(DecodePicture(data.substr(0, length), TTransparency::None).Picture.IsNull())
          << format << " cut to " << length;
    }
  }
}

TEST(PictureDecoderTest, AnOversizedPictureIsRefusedFromItsHeader) {
  // A bitmap header announcing 100,000 × 100,000 pixels of 24 bits, followed by a few bytes.
  std::string data = Save(Sample(), "bmp");
  const auto put32 = [&data](std::size_t at, std::uint32_t value) {
    for (int k = 0; k < 4; ++k) data[at + k] = static_cast<char>(value >> (8 * k));
  };
  put32(18, 100000);
  put32(22, 100000);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(ReadStillImage(data, TPictureKind::Bitmap).isNull());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

// A JPEG whose frame header announces 4000 × 4000 pixels over the coded data of 8 × 4: the platform
// reader would show a grey picture of 16 million pixels.
TEST(PictureDecoderTest, AJpegWithTooLittleDataForItsSizeGivesNoPicture) {
  std::string data = Save(Sample(), "jpeg");
  ASSERT_FALSE(ReadStillImage(data, TPictureKind::Jpeg).isNull());
  const std::size_t frame = data.find("\xFF\xC0");
  ASSERT_NE(frame, std::string::npos);
  for (std::size_t at : {frame + 5, frame + 7}) {
    data[at] = static_cast<char>(4000 >> 8);
    data[at + 1] = static_cast<char>(4000 & 0xFF);
  }
  EXPECT_TRUE(ReadStillImage(data, TPictureKind::Jpeg).isNull());
}

TEST(PictureDecoderTest, TransparencyByKind) {
  const std::string bmp = Save(Sample(), "bmp");
  const std::string jpeg = Save(Sample(), "jpeg");
  const std::string png = Save(Sample(), "png");
  test::TTestGif oneFrame{.Width = 2, .Height = 1};
  oneFrame.Frames = {test::TTestFrame{.Width = 2, .Height = 1, .Pixels = {2, 3}}};
  test::TTestGif transparentFrame = oneFrame;
  transparentFrame.Frames[0].TransparentIndex = 3;
  const struct {
    std::string Name;
    std::string Data;
    TTransparency Requested;
    TTransparency Result;
  } cases[] = {
      {"bitmap", bmp, TTransparency::None, TTransparency::None},
      {"bitmap TRANSP", bmp, TTransparency::LowerLeft, TTransparency::LowerLeft},
      {"png TRANSP", png, TTransparency::LowerLeft, TTransparency::LowerLeft},
      {"jpeg TRANSP", jpeg, TTransparency::LowerLeft, TTransparency::None},
      {"png with a transparent colour", PngWithTransparentColour(), TTransparency::None, TTransparency::Declared},
      {"gif", test::EncodeGif(oneFrame), TTransparency::None, TTransparency::None},
      {"gif TRANSP", test::EncodeGif(oneFrame), TTransparency::LowerLeft, TTransparency::LowerLeft},
      {"transparent gif", test::EncodeGif(transparentFrame), TTransparency::None, TTransparency::Own},
  };
  for (const auto& c : cases) {
    const TDecodedPicture decoded = DecodePicture(c.Data, c.Requested);
    ASSERT_FALSE(decoded.Picture.IsNull()) << c.Name;
    EXPECT_FALSE(decoded.Picture.IsAnimated()) << c.Name;
    EXPECT_EQ(decoded.Transparency, c.Result) << c.Name;
    EXPECT_EQ(decoded.Picture.Still->HasMask(), c.Result != TTransparency::None) << c.Name;
  }
}

TEST(PictureDecoderTest, MasksFromTheLowerLeftPixelAndFromDeclaredTransparency) {
  const TDecodedPicture bitmap = DecodePicture(Save(Sample(), "bmp"), TTransparency::LowerLeft);
  const QImage& mask = bitmap.Picture.Still->Mask();
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 8; ++x) EXPECT_EQ(mask.constScanLine(y)[x], x == 0 && y == 3 ? 0 : 255) << x << "," << y;
  }
  const TDecodedPicture png = DecodePicture(PngWithTransparentColour(), TTransparency::None);
  EXPECT_EQ(png.Picture.Still->Mask().constScanLine(0)[0], 0);
  EXPECT_EQ(png.Picture.Still->Mask().constScanLine(0)[1], 255);
  EXPECT_EQ(png.Picture.Still->Masked().pixel(0, 0), 0u);
  EXPECT_EQ(png.Picture.Still->Colours().pixel(1, 0), kBlack);
  // A PNG with an alpha channel that hides nothing needs no mask.
  QImage opaque(2, 2, QImage::Format_ARGB32);
  opaque.fill(kRed);
  EXPECT_EQ(DecodePicture(Save(opaque, "png"), TTransparency::None).Transparency, TTransparency::None);
}

TEST(PictureDecoderTest, OtherKindsAndBrokenDataGiveNoPicture) {
  const std::string cases[] = {
      "",
      "/* XPM */\nstatic char *x[] = {\"1 1 1 1\", \"a c #ff0000\", \"a\"};\n",
      std::string("\0\0\1\0\1\0\1\1\0\0\1\0\x18\0\x30\0\0\0\x16\0\0\0", 22),
      "GIF89a this is not a GIF at all",
      "BM short",
      "\x89PNG\r\n\x1a\n and then nothing of a PNG",
      // A bitmap header whose sizes multiply past 64 bits.
      std::string("BM\x89PNG!\0\0\0DR=\0\0\0\0\0\0\0I\0\x02\0\0IHDR=\0\0\0\0\0\0\0IDAT\x03\0\0\0\x03\0\0\x82", 49),
  };
  for (const std::string& data : cases)
    EXPECT_TRUE(DecodePicture(data, TTransparency::LowerLeft).Picture.IsNull()) << data;
}

TEST(StillPictureTest, DrawsOpaqueOrThroughItsMask) {
  TStillPicture still(Sample());
  still.SetMask(MaskFromColor(still.Colours(), kWhite));
  QImage canvas(16, 4, QImage::Format_RGB32);
  for (TMaskUse use : {TMaskUse::Opaque, TMaskUse::ThroughMask}) {
    canvas.fill(Qt::blue);
    QPainter painter(&canvas);
    still.Draw(painter, QRect(0, 0, 16, 4), use);
    painter.end();
    EXPECT_EQ(canvas.pixel(7, 0), kRed);
    EXPECT_EQ(canvas.pixel(8, 0), use == TMaskUse::Opaque ? kWhite : QColor(Qt::blue).rgb());
    EXPECT_EQ(canvas.pixel(1, 3), kGreen) << "stretched to twice the width without smoothing";
  }
  EXPECT_TRUE(TStillPicture(QImage()).IsNull());
  EXPECT_TRUE(TStillPicture(QImage(0, 5, QImage::Format_RGB32)).IsNull());
  EXPECT_EQ(TStillPicture(QImage()).LowerLeftColor(), 0u) << "an empty picture has no pixel to read";
}

}  // namespace
}  // namespace corvane
