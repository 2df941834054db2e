#pragma once

#include <QImage>
#include <QRgb>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "images/image_cache.h"
#include "images/picture.h"
#include "images/picture_decoder.h"

namespace corvane {

// The bitmap-request event: the handler may give a picture for the name, and with it a colour to make
// transparent in it (left empty: none).
using TBitmapRequestHandler =
    std::function<void(const std::string& name, QImage& picture, std::optional<QRgb>& transparentColor)>;

// The answer to the image-request event.
struct TImageStream {
  enum class TKind {
    None,     // no stream: the picture is loaded from the file the name stands for
    Waiting,  // the host hands the picture in later (TImageFetch::HandIn); until then it is delayed
    Data,     // the picture's data
  };
  TKind Kind = TKind::None;
  std::string Data;

  static TImageStream Waiting() { return {TKind::Waiting, {}}; }
  static TImageStream WithData(std::string data) { return {TKind::Data, std::move(data)}; }
};

using TImageRequestHandler = std::function<TImageStream(const std::string& name)>;
// The viewer's expansion of a picture name to a file name.
using TNameExpander = std::function<std::string(const std::string& name)>;

struct TFetchedImage {
  TPicture Picture;  // null: no picture (the image object shows the error picture), or delayed
  bool Delayed = false;
  bool FromCache = false;  // an animated picture from the cache is to be copied before it is animated
};

// The image fetch: pictures by name through the image cache, the two request events of the viewer, or
// files. The events are set by the viewer; without either, names are file names.
class TImageFetch {
 public:
  explicit TImageFetch(TStringBitmapList& cache) : m_cache(cache) {}

  TBitmapRequestHandler OnBitmapRequest;
  TImageRequestHandler OnImageRequest;
  // For an image request answered without a stream; unset: the name is the file name.
  TNameExpander ExpandName;

  // The picture of name. transparency comes in as LowerLeft when the element asked for TRANSP (else
  // None) and goes out as the kind of transparency the picture has. A picture not in the cache is
  // fetched, decoded and stored in the cache with usage count 1; one in the cache is used from there.
  // A name that gave no picture is not looked for again until the cache's next purge.
  TFetchedImage FetchImage(std::string_view name, TTransparency& transparency);

  // Hands in a picture that an image request answered with the waiting stream: decodes data and stores
  // it in the cache under name, held by no image object yet (the objects waiting for it fetch it again).
  // False when the data gives no picture; the name then counts as missing until the cache's next purge.
  bool HandIn(std::string_view name, std::string_view data);

  TStringBitmapList& Cache() { return m_cache; }

 private:
  TDecodedPicture FromBitmapRequest(const std::string& name, TTransparency requested);

  TStringBitmapList& m_cache;
};

}  // namespace corvane
