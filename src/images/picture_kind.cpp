#include "images/picture_kind.h"

namespace corvane {

TPictureKind PictureKind(std::string_view data) {
  if (data.size() < kMinPictureBytes) return TPictureKind::Unknown;
  if (data.starts_with("GIF8")) return data[4] == '9' ? TPictureKind::Gif89a : TPictureKind::Gif87a;
  if (data.starts_with("BM")) return TPictureKind::Bitmap;
  if (data.starts_with("\x89PNG")) return TPictureKind::Png;
  if (data.starts_with("\xFF\xD8")) return TPictureKind::Jpeg;
  return TPictureKind::Unknown;
}

}  // namespace corvane
