#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace corvane {

// The error numbers of the GIF decoder; GifErrorText gives each one's text.
enum class TGifErrorCode : int {
  NoError = 0,
  InvalidSignature = 1,
  NoColorTable = 2,
  UnknownExtension = 3,
  UnknownOperation = 4,
  InvalidExtensionSize = 5,
  Special = 6,  // carries a message of its own
  InvalidExtensionTerminator = 7,
  InvalidIntegerSize = 8,
  NoTerminator = 9,
  ExtensionOutOfOrder = 10,
  InvalidDescriptorIndex = 11,
  InvalidLzwCodeSize = 12,
  InvalidLzwData = 13,
  LzwCodeOverflow = 14,
  ValueOutOfRange = 15,
  NilPointer = 16,
  InvalidColorTableSize = 17,
  NoImageDescription = 18,
  InvalidBitmapImage = 19,
  InvalidColorTableIndex = 20,
  InvalidInterlacePass = 21,
  InvalidBitmap = 22,
  TooManyColors = 23,
  UnexpectedEnd = 24,
  TooLarge = 25,
  ZeroSize = 26,
};

std::string_view GifErrorText(TGifErrorCode code);

// A GIF that cannot be decoded. what() is "TGif: " followed by the error's text (or, for Special, the
// message given).
class TGifError : public std::runtime_error {
 public:
  explicit TGifError(TGifErrorCode code);
  TGifError(TGifErrorCode code, std::string_view message);

  TGifErrorCode Code() const { return m_code; }

 private:
  TGifErrorCode m_code;
};

}  // namespace corvane
