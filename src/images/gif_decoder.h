#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "images/gif_animation.h"

namespace corvane {

// Limits of a GIF's strip, as the size of a 24-bit bitmap with rows padded to 4 bytes and a 54-byte
// header; beyond them decoding fails with "Animated GIF too large" before any pixel is decoded.
inline constexpr std::int64_t kMaxGifStripBytes = 200'000'000;
inline constexpr std::int64_t kMaxTransparentGifStripBytes = 100'000'000;
// The pixels of all frame images together (frames larger than the screen are decoded whole before
// they are clipped), and the number of frames.
inline constexpr std::int64_t kMaxGifDecodedPixels = std::int64_t{1} << 26;
inline constexpr int kMaxGifFrames = 10'000;

// The size the strip is measured by, in 64-bit arithmetic.
std::int64_t GifStripBytes(int width, int frameCount, int height);

// Decodes a GIF (87a or 89a) from memory and composes its frames. Throws TGifError.
//
// The data is read twice, record by record: first the descriptors and extensions alone (image data is
// skipped, not decompressed), so that every limit is checked before a pixel is decoded; then the pixels,
// one row at a time straight into the strip. A stream that breaks off or goes wrong after some complete
// frames keeps those frames (a missing trailer is common); one without a complete frame is an error.
std::unique_ptr<TGifAnimation> DecodeGif(std::string_view data);

}  // namespace corvane
