#pragma once

#include <QImage>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "images/picture.h"
#include "images/picture_kind.h"

namespace corvane {

// The general decoder (bitmaps, PNG and JPEG) needs at least this much data.
inline constexpr std::size_t kMinDecoderBytes = 20;
// Larger still pictures are refused from their headers, before their pixels are decoded.
inline constexpr std::int64_t kMaxStillPixels = std::int64_t{1} << 25;

// Reads a bitmap, PNG or JPEG picture from memory with the platform reader of exactly that kind (never
// one guessed from the content). Null for other kinds, for data the reader rejects, for truncated data
// (a PNG or JPEG without its end, a bitmap shorter than its pixels) and for pictures over
// kMaxStillPixels.
QImage ReadStillImage(std::string_view data, TPictureKind kind);

struct TDecodedPicture {
  TPicture Picture;  // null when the data gives no picture
  TTransparency Transparency = TTransparency::None;
};

// Decodes a picture of any kind, as files and image-request streams are decoded: a GIF by the GIF
// decoder (one frame gives a still picture with the GIF's transparency as its mask, more frames an
// animated picture), other kinds by ReadStillImage. With requested LowerLeft (TRANSP), a GIF, bitmap or
// PNG without transparency of its own gets a mask from its lower-left pixel; a JPEG is never
// transparent. A PNG with transparency keeps it (Declared). Never throws; failures give no picture.
TDecodedPicture DecodePicture(std::string_view data, TTransparency requested);

// Gives still a mask from its lower-left pixel; false when none could be made.
bool MakeLowerLeftMask(TStillPicture& still);

}  // namespace corvane
