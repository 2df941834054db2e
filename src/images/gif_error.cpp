#include "images/gif_error.h"

#include <array>

namespace corvane {

namespace {

constexpr std::string_view kGifErrorFormat = "TGif: ";

constexpr std::array<std::string_view, 27> kGifErrorTexts = {
    "no error",
    "Invalid GIF Signature Code",
    "No Local or Global Color Table for Image",
    "Unknown Graphics Extension Type",
    "Unknown Graphics Operation Code",
    "Invalid Extension Block Size",
    "[special message]",
    "Invalid Extension Block Terminator",
    "Invalid Integer Size",
    "No GIF Terminator Found",
    "Extension Block Out-Of-Order With Image Data",
    "Invalid Image Descriptor Index",
    "Invalid LZW Code Size",
    "Invalid LZW Data Format",
    "LZW Code Overflow",
    "Value Out Of Range",
    "NIL Pointer assigned",
    "Invalid Color Table Size",
    "No Image Description",
    "Invalid Bitmap Image",
    "Invalid Color Table Index",
    "Invalid Interlace Pass",
    "Invalid Bitmap",
    "Too Many Colors In Bitmap",
    "Unexpected end of file",
    "Animated GIF too large",
    "Zero width or height",
};

std::string Message(std::string_view text) {
  std::string message(kGifErrorFormat);
  message.append(text);
  return message;
}

}  // namespace

std::string_view GifErrorText(TGifErrorCode code) {
  const auto index = static_cast<std::size_t>(code);
  return index < kGifErrorTexts.size() ? kGifErrorTexts[index] : kGifErrorTexts[0];
}

TGifError::TGifError(TGifErrorCode code) : std::runtime_error(Message(GifErrorText(code))), m_code(code) {}

TGifError::TGifError(TGifErrorCode code, std::string_view message)
    : std::runtime_error(Message(message)), m_code(code) {}

}  // namespace corvane
