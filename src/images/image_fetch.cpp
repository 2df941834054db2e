#include "images/image_fetch.h"

#include "images/picture_file.h"

namespace corvane {

namespace {

std::string_view Trimmed(std::string_view name) {
  while (!name.empty() && static_cast<unsigned char>(name.front()) <= 32) name.remove_prefix(1);
  while (!name.empty() && static_cast<unsigned char>(name.back()) <= 32) name.remove_suffix(1);
  return name;
}

// A file is opened by its name as written: on a case-sensitive file system the cache key would miss it.
TDecodedPicture LoadFile(const std::string& path, TTransparency requested) {
  const std::optional<std::string> data = ReadPictureFile(path);
  if (!data) return {};
  return DecodePicture(*data, requested);
}

}  // namespace

TDecodedPicture TImageFetch::FromBitmapRequest(const std::string& name, TTransparency requested) {
  QImage picture;
  std::optional<QRgb> colour;
  OnBitmapRequest(name, picture, colour);
  TDecodedPicture decoded;
  if (picture.isNull() || picture.width() <= 0 || picture.height() <= 0) return decoded;
  decoded.Picture.Still = std::make_shared<TStillPicture>(std::move(picture));
  TStillPicture& still = *decoded.Picture.Still;
  if (colour) {
    still.SetMask(MaskFromColor(still.Colours(), *colour));
    if (still.HasMask()) decoded.Transparency = TTransparency::Own;
  } else if (requested == TTransparency::LowerLeft && MakeLowerLeftMask(still)) {
    decoded.Transparency = TTransparency::LowerLeft;
  }
  return decoded;
}

TFetchedImage TImageFetch::FetchImage(std::string_view name, TTransparency& transparency) {
  TFetchedImage result;
  const std::string original(Trimmed(name));
  if (original.empty()) return result;

  if (TBitmapItem* item = m_cache.Find(original)) {
    result.Picture = TStringBitmapList::Use(*item);
    result.FromCache = true;
    if (item->Picture.Animation) {
      transparency = item->Transparency;
    } else if (item->Transparency == TTransparency::Own || item->Transparency == TTransparency::Declared) {
      transparency = item->Transparency;
    } else if (transparency == TTransparency::LowerLeft && item->Picture.Still) {
      TStillPicture& still = *item->Picture.Still;
      if (still.HasMask() || MakeLowerLeftMask(still)) {
        item->Transparency = TTransparency::LowerLeft;
      } else {
        transparency = TTransparency::None;
      }
    } else {
      // A mask made for an earlier TRANSP object does not make this one transparent.
      transparency = TTransparency::None;
    }
    return result;
  }
  if (m_cache.IsMissing(original)) return result;

  const TTransparency requested = transparency;
  TDecodedPicture decoded;
  if (!OnBitmapRequest && !OnImageRequest) decoded = LoadFile(original, requested);
  if (OnBitmapRequest) decoded = FromBitmapRequest(original, requested);
  if (OnImageRequest) {
    // A picture the image request yields replaces the bitmap request's.
    TImageStream stream = OnImageRequest(original);
    TDecodedPicture requestedPicture;
    switch (stream.Kind) {
      case TImageStream::TKind::Waiting:
        if (!decoded.Picture) {
          result.Delayed = true;
          return result;
        }
        break;
      case TImageStream::TKind::None:
        requestedPicture = LoadFile(ExpandName ? ExpandName(original) : original, requested);
        break;
      case TImageStream::TKind::Data:
        requestedPicture = DecodePicture(stream.Data, requested);
        break;
    }
    if (requestedPicture.Picture) decoded = std::move(requestedPicture);
  }
  if (!decoded.Picture) {
    m_cache.MarkMissing(original);
    return result;
  }
  transparency = decoded.Transparency;
  m_cache.Add(original, decoded.Picture, decoded.Transparency, 1);
  result.Picture = std::move(decoded.Picture);
  return result;
}

bool TImageFetch::HandIn(std::string_view name, std::string_view data) {
  if (Trimmed(name).empty()) return false;
  TDecodedPicture decoded = DecodePicture(data, TTransparency::None);
  if (!decoded.Picture) {
    // The objects that waited for it show the error picture instead of asking again.
    m_cache.MarkMissing(name);
    return false;
  }
  m_cache.Add(name, std::move(decoded.Picture), decoded.Transparency, 0);
  return true;
}

}  // namespace corvane
