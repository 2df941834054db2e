#include "images/gif_decoder.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "images/gif_error.h"
#include "images/gif_strip.h"

namespace corvane {

namespace {

// One data byte can stand for at most this many pixels: an LZW code of b bits stands for a string of
// at most 2^b pixels, b <= 12. A frame whose image data is shorter than its area allows cannot be
// complete, so it is known to be cut off without decompressing anything.
constexpr std::int64_t kMaxPixelsPerDataByte = 4096;

struct TMemoryStream {
  const GifByteType* Data;
  std::size_t Size;
  std::size_t Position;
};

int ReadFromMemory(GifFileType* gif, GifByteType* buffer, int count) {
  auto* stream = static_cast<TMemoryStream*>(gif->UserData);
  if (count <= 0) return 0;
  const std::size_t n = std::min(static_cast<std::size_t>(count), stream->Size - stream->Position);
  std::memcpy(buffer, stream->Data + stream->Position, n);
  stream->Position += n;
  return static_cast<int>(n);
}

TGifErrorCode CodeOf(int giflibError) {
  switch (giflibError) {
    case D_GIF_ERR_NOT_GIF_FILE:
      return TGifErrorCode::InvalidSignature;
    case D_GIF_ERR_NO_IMAG_DSCR:
      return TGifErrorCode::NoImageDescription;
    case D_GIF_ERR_NO_COLOR_MAP:
      return TGifErrorCode::NoColorTable;
    case D_GIF_ERR_WRONG_RECORD:
      return TGifErrorCode::UnknownOperation;
    case D_GIF_ERR_DATA_TOO_BIG:
    case D_GIF_ERR_IMAGE_DEFECT:
      return TGifErrorCode::InvalidLzwData;
    case D_GIF_ERR_NOT_ENOUGH_MEM:
      return TGifErrorCode::Special;
    default:
      return TGifErrorCode::UnexpectedEnd;
  }
}

[[noreturn]] void Fail(TGifErrorCode code, int giflibError) {
  if (code == TGifErrorCode::Special) {
    const char* text = GifErrorString(giflibError);
    throw TGifError(code, text ? text : "GIF decoding failed");
  }
  throw TGifError(code);
}

// One pass over the data with giflib, reading from memory.
class TGifReader {
 public:
  explicit TGifReader(std::string_view data)
      : m_stream{reinterpret_cast<const GifByteType*>(data.data()), data.size(), 0} {
    int error = 0;
    m_gif = DGifOpen(&m_stream, ReadFromMemory, &error);
    if (!m_gif) Fail(CodeOf(error), error);
  }
  ~TGifReader() {
    int ignored = 0;
    DGifCloseFile(m_gif, &ignored);
  }
  TGifReader(const TGifReader&) = delete;
  TGifReader& operator=(const TGifReader&) = delete;

  GifFileType& Gif() { return *m_gif; }
  TGifErrorCode ErrorCode() const { return CodeOf(m_gif->Error); }
  int Error() const { return m_gif->Error; }

 private:
  TMemoryStream m_stream;
  GifFileType* m_gif = nullptr;
};

// Reads an extension record; a graphic control extension fills control, a NETSCAPE application
// extension gives loopCount. False when the stream goes wrong.
bool ReadExtension(GifFileType& gif, std::optional<GraphicsControlBlock>& control, int& loopCount) {
  int code = 0;
  GifByteType* block = nullptr;
  if (DGifGetExtension(&gif, &code, &block) == GIF_ERROR) return false;
  // giflib hands each sub-block with its length byte first.
  if (block && code == GRAPHICS_EXT_FUNC_CODE) {
    GraphicsControlBlock read;
    if (DGifExtensionToGCB(block[0], block + 1, &read) == GIF_OK) control = read;
  }
  const bool netscape =
      block && code == APPLICATION_EXT_FUNC_CODE && block[0] == 11 && std::memcmp(block + 1, "NETSCAPE2.0", 11) == 0;
  while (block) {
    if (DGifGetExtensionNext(&gif, &block) == GIF_ERROR) return false;
    if (netscape && block && block[0] == 3 && block[1] == 1) loopCount = block[2] | (block[3] << 8);
  }
  return true;
}

// Reads past a frame's image data without decompressing it, counting its bytes.
bool SkipImageData(GifFileType& gif, std::int64_t& bytes) {
  int codeSize = 0;
  GifByteType* block = nullptr;
  if (DGifGetCode(&gif, &codeSize, &block) == GIF_ERROR) return false;
  while (block) {
    bytes += block[0];
    if (DGifGetCodeNext(&gif, &block) == GIF_ERROR) return false;
  }
  return true;
}

struct TGifPlan {
  int Width = 0;
  int Height = 0;
  std::vector<TgfFrame> Frames;
  std::vector<int> TransparentIndices;
  int LoopCount = -1;
  bool Transparent = false;
};

// The first pass: the screen, the frames that are complete, the loop count and the limits.
TGifPlan Survey(std::string_view data) {
  TGifReader reader(data);
  GifFileType& gif = reader.Gif();
  TGifPlan plan;
  plan.Width = gif.SWidth;
  plan.Height = gif.SHeight;
  if (plan.Width <= 0 || plan.Height <= 0) throw TGifError(TGifErrorCode::ZeroSize);

  std::optional<GraphicsControlBlock> control;
  std::int64_t decodedPixels = 0;
  TGifErrorCode stop = TGifErrorCode::NoError;
  int stopError = 0;
  for (;;) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(&gif, &type) == GIF_ERROR) {
      stop = reader.ErrorCode();
      stopError = reader.Error();
      break;
    }
    if (type == TERMINATE_RECORD_TYPE) break;
    if (type == EXTENSION_RECORD_TYPE) {
      if (!ReadExtension(gif, control, plan.LoopCount)) {
        stop = reader.ErrorCode();
        stopError = reader.Error();
        break;
      }
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE) {
      stop = TGifErrorCode::UnknownOperation;
      break;
    }
    if (DGifGetImageDesc(&gif) == GIF_ERROR) {
      stop = reader.ErrorCode();
      stopError = reader.Error();
      break;
    }
    if (!gif.Image.ColorMap && !gif.SColorMap) {
      stop = TGifErrorCode::NoColorTable;
      break;
    }
    TgfFrame frame;
    frame.Left = gif.Image.Left;
    frame.Top = gif.Image.Top;
    frame.Width = std::max(0, gif.Image.Width);
    frame.Height = std::max(0, gif.Image.Height);
    frame.Disposal = control ? control->DisposalMode : 0;
    frame.Delay = FrameDelayMs(control ? control->DelayTime : 0);
    const int transparentIndex = control ? control->TransparentColor : NO_TRANSPARENT_COLOR;
    control.reset();

    // Every limit is checked here, at the descriptor, before the frame's data is even looked at.
    const int frameCount = static_cast<int>(plan.Frames.size()) + 1;
    const bool transparent = plan.Transparent || transparentIndex >= 0;
    const std::int64_t area = std::int64_t{frame.Width} * frame.Height;
    decodedPixels += area;
    const std::int64_t stripLimit = transparent ? kMaxTransparentGifStripBytes : kMaxGifStripBytes;
    if (frameCount > kMaxGifFrames || decodedPixels > kMaxGifDecodedPixels ||
        GifStripBytes(plan.Width, frameCount, plan.Height) > stripLimit) {
      throw TGifError(TGifErrorCode::TooLarge);
    }

    std::int64_t dataBytes = 0;
    if (!SkipImageData(gif, dataBytes)) {
      stop = reader.ErrorCode();
      stopError = reader.Error();
      break;
    }
    if (area > dataBytes * kMaxPixelsPerDataByte) {
      stop = TGifErrorCode::UnexpectedEnd;
      break;
    }
    plan.Transparent = transparent;
    plan.Frames.push_back(frame);
    plan.TransparentIndices.push_back(transparentIndex);
  }
  if (plan.Frames.empty()) {
    if (stop == TGifErrorCode::NoError) throw TGifError(TGifErrorCode::NoImageDescription);
    Fail(stop, stopError);
  }
  return plan;
}

TGifPalette PaletteOf(const ColorMapObject* map) {
  TGifPalette palette;
  palette.fill(qRgb(0, 0, 0));
  if (!map || !map->Colors) return palette;
  const int count = std::clamp(map->ColorCount, 0, 256);
  for (int i = 0; i < count; ++i) {
    const GifColorType& colour = map->Colors[i];
    palette[static_cast<std::size_t>(i)] = qRgb(colour.Red, colour.Green, colour.Blue);
  }
  return palette;
}

bool DecodeRows(GifFileType& gif, const TgfFrame& frame, TGifStripComposer& composer, std::vector<GifPixelType>& line) {
  if (frame.Width <= 0 || frame.Height <= 0) {
    std::int64_t ignored = 0;
    return SkipImageData(gif, ignored);
  }
  line.resize(static_cast<std::size_t>(frame.Width));
  if (!gif.Image.Interlace) {
    for (int row = 0; row < frame.Height; ++row) {
      if (DGifGetLine(&gif, line.data(), frame.Width) == GIF_ERROR) return false;
      composer.PutRow(row, line.data());
    }
    return true;
  }
  // Interlaced rows come in four passes.
  static constexpr int kFirstRow[] = {0, 4, 2, 1};
  static constexpr int kRowStep[] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass) {
    for (int row = kFirstRow[pass]; row < frame.Height; row += kRowStep[pass]) {
      if (DGifGetLine(&gif, line.data(), frame.Width) == GIF_ERROR) return false;
      composer.PutRow(row, line.data());
    }
  }
  return true;
}

// The second pass: the pixels of the planned frames, composed into the strip.
std::unique_ptr<TGifAnimation> Compose(std::string_view data, TGifPlan& plan) {
  TGifReader reader(data);
  GifFileType& gif = reader.Gif();
  const int planned = static_cast<int>(plan.Frames.size());
  TGifStripComposer composer(plan.Width, plan.Height, planned, plan.Transparent);
  std::vector<GifPixelType> line;
  std::optional<GraphicsControlBlock> ignoredControl;
  int ignoredLoop = -1;
  int done = 0;
  TGifErrorCode failure = TGifErrorCode::UnexpectedEnd;
  int failureError = 0;
  while (done < planned) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    bool ok = DGifGetRecordType(&gif, &type) != GIF_ERROR;
    if (ok && type == EXTENSION_RECORD_TYPE) {
      if (ReadExtension(gif, ignoredControl, ignoredLoop)) continue;
      ok = false;
    }
    if (ok && type != IMAGE_DESC_RECORD_TYPE) {
      failure = TGifErrorCode::UnknownOperation;
      break;
    }
    if (ok && DGifGetImageDesc(&gif) != GIF_ERROR) {
      const TgfFrame& frame = plan.Frames[static_cast<std::size_t>(done)];
      const ColorMapObject* map = gif.Image.ColorMap ? gif.Image.ColorMap : gif.SColorMap;
      composer.BeginFrame(frame, PaletteOf(map), plan.TransparentIndices[static_cast<std::size_t>(done)]);
      ok = DecodeRows(gif, frame, composer, line);
      if (ok) {
        ++done;
        continue;
      }
    }
    failure = reader.ErrorCode();
    failureError = reader.Error();
    break;
  }
  if (done == 0) Fail(failure, failureError);
  plan.Frames.resize(static_cast<std::size_t>(done));
  QImage strip = composer.TakeStrip(done);
  return std::make_unique<TGifAnimation>(plan.Width, plan.Height, std::move(plan.Frames),
                                         RepeatCountForLoop(plan.LoopCount), plan.Transparent, std::move(strip));
}

}  // namespace

std::int64_t GifStripBytes(int width, int frameCount, int height) {
  const std::int64_t rowBytes = (std::int64_t{width} * frameCount * 3 + 3) / 4 * 4;
  return rowBytes * height + 54;
}

std::unique_ptr<TGifAnimation> DecodeGif(std::string_view data) {
  TGifPlan plan = Survey(data);
  return Compose(data, plan);
}

}  // namespace corvane
