#include "gif_writer.h"

#include <gif_lib.h>

#include <algorithm>
#include <stdexcept>

namespace corvane::test {

namespace {

int WriteToString(GifFileType* gif, const GifByteType* bytes, int count) {
  static_cast<std::string*>(gif->UserData)
      ->append(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(count));
  return count;
}

void Check(int result, const char* what) {
  if (result != GIF_OK) throw std::runtime_error(std::string("giflib failed: ") + what);
}

void PutWord(std::string& out, int value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

}  // namespace

std::string EncodeGif(const TTestGif& gif) {
  std::string out;
  int error = 0;
  GifFileType* file = EGifOpen(&out, WriteToString, &error);
  if (!file) throw std::runtime_error("EGifOpen failed");
  EGifSetGifVersion(file, true);
  ColorMapObject* map = nullptr;
  if (!gif.Colors.empty()) {
    std::vector<GifColorType> colours;
    for (QRgb c : gif.Colors) {
      colours.push_back(
          {static_cast<GifByteType>(qRed(c)), static_cast<GifByteType>(qGreen(c)), static_cast<GifByteType>(qBlue(c))});
    }
    map = GifMakeMapObject(static_cast<int>(colours.size()), colours.data());
  }
  Check(EGifPutScreenDesc(file, gif.Width, gif.Height, 8, 0, map), "screen");
  if (gif.LoopCount) {
    Check(EGifPutExtensionLeader(file, APPLICATION_EXT_FUNC_CODE), "leader");
    Check(EGifPutExtensionBlock(file, 11, "NETSCAPE2.0"), "application");
    const unsigned char loop[3] = {1, static_cast<unsigned char>(*gif.LoopCount & 0xFF),
                                   static_cast<unsigned char>(*gif.LoopCount >> 8)};
    Check(EGifPutExtensionBlock(file, 3, loop), "loop");
    Check(EGifPutExtensionTrailer(file), "trailer");
  }
  for (const TTestFrame& frame : gif.Frames) {
    if (frame.Control) {
      GraphicsControlBlock control{frame.Disposal, false, frame.Delay, frame.TransparentIndex};
      GifByteType bytes[4];
      const std::size_t length = EGifGCBToExtension(&control, bytes);
      Check(EGifPutExtension(file, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), bytes), "control");
    }
    Check(EGifPutImageDesc(file, frame.Left, frame.Top, frame.Width, frame.Height, frame.Interlaced, nullptr),
          "descriptor");
    std::vector<GifPixelType> pixels = frame.Pixels;
    pixels.resize(static_cast<std::size_t>(frame.Width) * frame.Height, frame.Fill);
    auto put = [&](int row) {
      Check(EGifPutLine(file, pixels.data() + static_cast<std::size_t>(row) * frame.Width, frame.Width), "line");
    };
    if (frame.Interlaced) {
      static constexpr int kFirst[] = {0, 4, 2, 1};
      static constexpr int kStep[] = {8, 8, 4, 2};
      for (int pass = 0; pass < 4; ++pass) {
        for (int row = kFirst[pass]; row < frame.Height; row += kStep[pass]) put(row);
      }
    } else {
      for (int row = 0; row < frame.Height; ++row) put(row);
    }
  }
  Check(EGifCloseFile(file, &error), "close");
  GifFreeMapObject(map);
  return out;
}

std::string GifWithUndecodableFrames(int width, int height, int frames, int bytesPerFrame, bool transparent) {
  std::string out = "GIF89a";
  PutWord(out, width);
  PutWord(out, height);
  out += "\x80";                  // a global table of 2 colours
  out += std::string("\0\0", 2);  // background, aspect
  out += std::string("\0\0\0\xFF\xFF\xFF", 6);
  for (int k = 0; k < frames; ++k) {
    out += std::string("\x21\xF9\x04", 3);
    out.push_back(transparent ? '\x01' : '\x00');
    out += std::string("\0\0\0\0", 4);  // delay, transparent index 0, terminator
    out.push_back('\x2C');
    PutWord(out, 0);
    PutWord(out, 0);
    PutWord(out, width);
    PutWord(out, height);
    out.push_back('\0');
    out.push_back('\x02');  // LZW minimum code size
    for (int left = bytesPerFrame; left > 0;) {
      const int block = std::min(left, 255);
      out.push_back(static_cast<char>(block));
      out.append(static_cast<std::size_t>(block), '\xFF');
      left -= block;
    }
    out.push_back('\0');
  }
  out.push_back('\x3B');
  return out;
}

}  // namespace corvane::test
