#pragma once

#include <cstddef>
#include <string_view>

namespace corvane {

// What kind of picture some data holds, judged by its first bytes only.
enum class TPictureKind { Unknown, Gif89a, Gif87a, Bitmap, Png, Jpeg };

// Shorter data is of no known kind.
inline constexpr std::size_t kMinPictureBytes = 10;

TPictureKind PictureKind(std::string_view data);

constexpr bool IsGif(TPictureKind kind) { return kind == TPictureKind::Gif89a || kind == TPictureKind::Gif87a; }

}  // namespace corvane
