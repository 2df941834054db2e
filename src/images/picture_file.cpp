#include "images/picture_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace corvane {

namespace {

class TFileDescriptor {
 public:
  explicit TFileDescriptor(int fd) : m_fd(fd) {}
  ~TFileDescriptor() {
    if (m_fd >= 0) ::close(m_fd);
  }
  TFileDescriptor(const TFileDescriptor&) = delete;
  TFileDescriptor& operator=(const TFileDescriptor&) = delete;
  int Get() const { return m_fd; }

 private:
  int m_fd;
};

}  // namespace

std::optional<std::string> ReadPictureFile(const std::string& path, std::size_t maxBytes) {
  if (path.empty()) return std::nullopt;
  int fd;
  do {
    // Without O_NONBLOCK, opening a FIFO would wait for a writer.
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return std::nullopt;
  const TFileDescriptor file(fd);
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
      static_cast<std::uint64_t>(info.st_size) > maxBytes) {
    return std::nullopt;
  }
  // A file that grows while it is read is cut at the size it had when opened.
  std::string data(static_cast<std::size_t>(info.st_size), '\0');
  std::size_t filled = 0;
  while (filled < data.size()) {
    const ssize_t n = ::read(fd, data.data() + filled, data.size() - filled);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    filled += static_cast<std::size_t>(n);
  }
  data.resize(filled);
  return data;
}

}  // namespace corvane
