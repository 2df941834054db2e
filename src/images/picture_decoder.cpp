#include "images/picture_decoder.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <algorithm>
#include <climits>
#include <cstdlib>

#include "images/gif_decoder.h"
#include "images/gif_error.h"

namespace corvane {

namespace {

std::uint32_t Byte(std::string_view data, std::size_t at) { return static_cast<unsigned char>(data[at]); }
std::uint32_t Word16(std::string_view data, std::size_t at) { return Byte(data, at) | Byte(data, at + 1) << 8; }
std::uint32_t Word32(std::string_view data, std::size_t at) { return Word16(data, at) | Word16(data, at + 2) << 16; }

// Whether a bitmap holds all the pixel data its headers announce; the platform reader shows a truncated
// one with its missing rows blank.
bool BitmapIsComplete(std::string_view data) {
  constexpr std::size_t kFileHeader = 14;
  if (data.size() < kFileHeader + 12) return false;
  const std::int64_t pixelStart = Word32(data, 10);
  const std::uint32_t infoSize = Word32(data, kFileHeader);
  std::int64_t width = 0;
  std::int64_t height = 0;
  std::int64_t bitsPerPixel = 0;
  std::uint32_t compression = 0;
  std::int64_t imageSize = 0;
  if (infoSize == 12) {
    width = Word16(data, 18);
    height = Word16(data, 20);
    bitsPerPixel = Word16(data, 24);
  } else {
    if (data.size() < kFileHeader + 24) return false;
    width = std::llabs(static_cast<std::int32_t>(Word32(data, 18)));
    height = std::llabs(static_cast<std::int32_t>(Word32(data, 22)));
    bitsPerPixel = Word16(data, 28);
    compression = Word32(data, 30);
    imageSize = Word32(data, 34);
  }
  // Far beyond what any reader accepts, and kept small enough that the size below cannot overflow.
  constexpr std::int64_t kMaxSide = std::int64_t{1} << 24;
  if (width > kMaxSide || height > kMaxSide || bitsPerPixel > 64) return false;
  constexpr std::uint32_t kRgb = 0, kBitFields = 3, kAlphaBitFields = 6;
  std::int64_t needed = pixelStart;
  if (compression == kRgb || compression == kBitFields || compression == kAlphaBitFields) {
    needed += (width * bitsPerPixel + 31) / 32 * 4 * height;
  } else {
    needed += imageSize;  // run-length data: the size the header gives, when it gives one
  }
  return static_cast<std::int64_t>(data.size()) >= needed;
}

// Whether a JPEG reaches its end-of-image marker with enough coded data for its size: its segments are
// walked by their lengths and its entropy-coded data scanned for the next marker. The platform reader
// pads a JPEG that ends early with grey, however large its frame header says it is. Huffman coding
// spends at least one bit on every 8 × 8 block of the component with the most blocks, which has at least
// a block per 32 × 32 pixels (sampling factors are at most 4).
bool JpegIsComplete(std::string_view data) {
  const std::size_t size = data.size();
  if (size < 4 || Byte(data, 0) != 0xFF || Byte(data, 1) != 0xD8) return false;
  std::size_t at = 2;
  std::int64_t blocks = 0;
  std::int64_t codedBytes = 0;
  bool huffman = true;
  for (;;) {
    while (at < size && Byte(data, at) != 0xFF) ++at;  // stray bytes before a marker
    while (at < size && Byte(data, at) == 0xFF) ++at;  // fill bytes
    if (at >= size) return false;
    const std::uint32_t marker = Byte(data, at++);
    if (marker == 0xD9) return !huffman || codedBytes * 8 >= blocks;
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) continue;  // markers without a segment
    if (at + 2 > size) return false;
    const std::size_t length = Byte(data, at) << 8 | Byte(data, at + 1);  // big-endian
    if (length < 2) return false;
    const bool frameHeader = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frameHeader && length >= 7 && at + 7 <= size) {
      const std::int64_t height = Byte(data, at + 3) << 8 | Byte(data, at + 4);
      const std::int64_t width = Byte(data, at + 5) << 8 | Byte(data, at + 6);
      blocks = ((width + 31) / 32) * ((height + 31) / 32);
      huffman = marker < 0xC8;
    }
    at += length;
    if (marker != 0xDA) continue;
    // Scan data up to the next marker that is not a stuffed 0xFF or a restart marker.
    const std::size_t start = at;
    for (; at + 1 < size; ++at) {
      if (Byte(data, at) != 0xFF) continue;
      const std::uint32_t next = Byte(data, at + 1);
      if (next != 0x00 && next != 0xFF && !(next >= 0xD0 && next <= 0xD7)) break;
    }
    if (at + 1 >= size) return false;
    codedBytes += static_cast<std::int64_t>(at - start);
  }
}

// Whether a PNG's chunks, walked by their lengths, reach a whole IEND chunk, with enough compressed
// image data for its size. The platform reader shows a PNG that lacks only its last bytes as if nothing
// were missing; and deflate packs at most about 1032 bytes into one, so a header announcing millions of
// pixels over a few bytes of data is refused before the picture is allocated.
bool PngIsComplete(std::string_view data) {
  constexpr std::size_t kSignature = 8;
  constexpr std::size_t kChunkFrame = 12;  // length, type and CRC
  constexpr std::int64_t kMaxDeflateRatio = 1100;
  std::int64_t pixelBytes = 0;
  std::int64_t compressedBytes = 0;
  std::size_t at = kSignature;
  while (at + kChunkFrame <= data.size()) {
    const std::size_t length =
        Byte(data, at) << 24 | Byte(data, at + 1) << 16 | Byte(data, at + 2) << 8 | Byte(data, at + 3);
    if (length > data.size() - at - kChunkFrame) return false;
    const std::string_view type = data.substr(at + 4, 4);
    if (type == "IHDR" && length >= 9) {
      const std::size_t fields = at + 8;
      const std::int64_t width = Byte(data, fields) << 24 | Byte(data, fields + 1) << 16 | Byte(data, fields + 2) << 8 |
                                 Byte(data, fields + 3);
      const std::int64_t height = Byte(data, fields + 4) << 24 | Byte(data, fields + 5) << 16 |
                                  Byte(data, fields + 6) << 8 | Byte(data, fields + 7);
      const std::int64_t bitDepth = Byte(data, fields + 8);
      // Capped before multiplying: the reader refuses anything near this large anyway.
      pixelBytes = std::min(width, std::int64_t{1} << 20) * std::min(height, std::int64_t{1} << 20) / 8 * bitDepth;
    }
    if (type == "IDAT") compressedBytes += static_cast<std::int64_t>(length);
    if (type == "IEND") return compressedBytes * kMaxDeflateRatio >= pixelBytes;
    at += kChunkFrame + length;
  }
  return false;
}

bool HasTransparentPixel(const QImage& picture) {
  if (!picture.hasAlphaChannel()) return false;
  const QImage straight =
      picture.format() == QImage::Format_ARGB32 ? picture : picture.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < straight.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(straight.constScanLine(y));
    for (int x = 0; x < straight.width(); ++x) {
      if (qAlpha(line[x]) != 255) return true;
    }
  }
  return false;
}

const char* ReaderFormat(TPictureKind kind) {
  switch (kind) {
    case TPictureKind::Bitmap:
      return "bmp";
    case TPictureKind::Png:
      return "png";
    case TPictureKind::Jpeg:
      return "jpeg";
    case TPictureKind::Unknown:
    case TPictureKind::Gif89a:
    case TPictureKind::Gif87a:
      break;
  }
  return nullptr;
}

TDecodedPicture DecodeGifPicture(std::string_view data, TTransparency requested) {
  std::unique_ptr<TGifAnimation> animation;
  try {
    animation = DecodeGif(data);
  } catch (const TGifError&) {
    return {};
  }
  TDecodedPicture decoded;
  if (animation->FrameCount() > 1) {
    decoded.Transparency = animation->Transparent() ? TTransparency::Own : TTransparency::None;
    decoded.Picture.Animation = std::move(animation);
    return decoded;
  }
  decoded.Picture.Still = animation->FirstFrame();
  if (decoded.Picture.Still->HasMask()) {
    decoded.Transparency = TTransparency::Own;
  } else if (requested == TTransparency::LowerLeft && MakeLowerLeftMask(*decoded.Picture.Still)) {
    decoded.Transparency = TTransparency::LowerLeft;
  }
  return decoded;
}

}  // namespace

bool MakeLowerLeftMask(TStillPicture& still) {
  if (still.IsNull()) return false;
  still.SetMask(MaskFromColor(still.Colours(), still.LowerLeftColor()));
  return still.HasMask();
}

QImage ReadStillImage(std::string_view data, TPictureKind kind) {
  const char* format = ReaderFormat(kind);
  if (!format || data.size() < kMinDecoderBytes || data.size() > static_cast<std::size_t>(INT_MAX)) return {};
  if (PictureKind(data) != kind) return {};
  if (kind == TPictureKind::Png && !PngIsComplete(data)) return {};
  if (kind == TPictureKind::Jpeg && !JpegIsComplete(data)) return {};
  if (kind == TPictureKind::Bitmap && !BitmapIsComplete(data)) return {};
  QByteArray bytes = QByteArray::fromRawData(data.data(), static_cast<qsizetype>(data.size()));
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, format);
  reader.setAutoDetectImageFormat(false);
  reader.setAutoTransform(false);
  const QSize size = reader.size();
  if (size.width() <= 0 || size.height() <= 0 || std::int64_t{size.width()} * size.height() > kMaxStillPixels) {
    return {};
  }
  QImage picture;
  // A PNG that breaks off is read in part, and the read reports the failure.
  if (!reader.read(&picture) || picture.isNull() || picture.width() <= 0 || picture.height() <= 0) return {};
  return picture;
}

TDecodedPicture DecodePicture(std::string_view data, TTransparency requested) {
  const TPictureKind kind = PictureKind(data);
  if (IsGif(kind)) return DecodeGifPicture(data, requested);
  const QImage picture = ReadStillImage(data, kind);
  if (picture.isNull()) return {};
  TDecodedPicture decoded;
  if (kind == TPictureKind::Png && HasTransparentPixel(picture)) {
    decoded.Picture.Still = std::make_shared<TStillPicture>(TStillPicture::FromAlpha(picture));
    decoded.Transparency = TTransparency::Declared;
    return decoded;
  }
  decoded.Picture.Still = std::make_shared<TStillPicture>(picture);
  if (kind != TPictureKind::Jpeg && requested == TTransparency::LowerLeft &&
      MakeLowerLeftMask(*decoded.Picture.Still)) {
    decoded.Transparency = TTransparency::LowerLeft;
  }
  return decoded;
}

}  // namespace corvane
