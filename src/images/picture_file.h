#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace corvane {

inline constexpr std::size_t kMaxPictureFileBytes = std::size_t{64} << 20;

// Reads a picture file whole, by its name exactly as given. Only a regular file of at most maxBytes is
// read: a FIFO, a device or a folder gives nothing at once (the file is opened without blocking and
// checked after opening), as does a file that is missing, unreadable or too large.
std::optional<std::string> ReadPictureFile(const std::string& path, std::size_t maxBytes = kMaxPictureFileBytes);

}  // namespace corvane
