#include "extract/byte_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace corvane {

namespace {

constexpr std::size_t kOutputBufferSize = std::size_t{1} << 20;

int OpenRetrying(const char* path, int flags, mode_t mode) {
  int fd;
  do {
    fd = ::open(path, flags, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

}  // namespace

std::string ErrorText(int error) { return std::generic_category().message(error); }

TInputFile::TInputFile(std::string path) : m_path(std::move(path)) {
  m_fd = OpenRetrying(m_path.c_str(), O_RDONLY | O_CLOEXEC, 0);
  if (m_fd < 0) throw TFileError("Cannot open " + m_path + ": " + ErrorText(errno));
}

TInputFile::~TInputFile() {
  if (m_fd >= 0) ::close(m_fd);
}

std::size_t TInputFile::Read(char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t got = ::read(m_fd, buffer, size);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) throw TFileError("Cannot read " + m_path + ": " + ErrorText(errno));
  }
}

TOutputFile::~TOutputFile() {
  if (m_fd >= 0) ::close(m_fd);
}

bool TOutputFile::Open(const std::string& path, TOutputMode mode, std::error_code& error) {
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (mode == TOutputMode::Append ? O_APPEND : O_TRUNC);
  const int fd = OpenRetrying(path.c_str(), flags, 0666);
  if (fd < 0) {
    error = std::error_code(errno, std::generic_category());
    return false;
  }
  if (m_fd >= 0) ::close(m_fd);
  m_fd = fd;
  m_path = path;
  m_buffer.resize(kOutputBufferSize);
  m_used = 0;
  error.clear();
  return true;
}

void TOutputFile::Write(std::string_view bytes) {
  if (bytes.size() > m_buffer.size() - m_used) {
    Flush();
    if (bytes.size() >= m_buffer.size()) {
      WriteAll(bytes.data(), bytes.size());
      return;
    }
  }
  std::memcpy(m_buffer.data() + m_used, bytes.data(), bytes.size());
  m_used += bytes.size();
}

void TOutputFile::Flush() {
  const std::size_t used = m_used;
  m_used = 0;
  WriteAll(m_buffer.data(), used);
}

void TOutputFile::WriteAll(const char* bytes, std::size_t size) {
  while (size > 0) {
    const ssize_t put = ::write(m_fd, bytes, size);
    if (put < 0) {
      if (errno == EINTR) continue;
      throw TFileError("Cannot write to " + m_path + ": " + ErrorText(errno));
    }
    bytes += put;
    size -= static_cast<std::size_t>(put);
  }
}

void TOutputFile::Close() {
  if (m_fd < 0) return;
  Flush();
  const int fd = m_fd;
  m_fd = -1;
  if (::close(fd) != 0 && errno != EINTR)
    throw TFileError("Cannot write to " + m_path + ": " + ErrorText(errno));
}

}  // namespace corvane
