#pragma once

#include <QRgb>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvane::test {

inline constexpr QRgb kBlack = 0xFF000000u;
inline constexpr QRgb kWhite = 0xFFFFFFFFu;
inline constexpr QRgb kRed = 0xFFFF0000u;
inline constexpr QRgb kGreen = 0xFF00FF00u;

struct TTestFrame {
  int Left = 0;
  int Top = 0;
  int Width = 1;
  int Height = 1;
  std::vector<std::uint8_t> Pixels = {};  // Width × Height colour indices, row by row; empty: all Fill
  std::uint8_t Fill = 0;
  bool Control = true;  // a graphic control extension comes before the frame
  int Disposal = 0;
  int Delay = 0;  // hundredths of a second
  int TransparentIndex = -1;
  bool Interlaced = false;
};

struct TTestGif {
  int Width = 1;
  int Height = 1;
  std::vector<QRgb> Colors = {kBlack, kWhite, kRed, kGreen};  // the global table; empty: none
  std::optional<int> LoopCount = std::nullopt;                // a NETSCAPE extension with this count
  std::vector<TTestFrame> Frames = {};
};

// A GIF89a file in memory, written with giflib's encoder.
std::string EncodeGif(const TTestGif& gif);

// A GIF whose frames claim width × height pixels but whose image data is bytesPerFrame bytes of 0xFF
// (no valid LZW stream): any attempt to decompress it fails, so a refusal before decoding shows as such.
std::string GifWithUndecodableFrames(int width, int height, int frames, int bytesPerFrame, bool transparent);

}  // namespace corvane::test
