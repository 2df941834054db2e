#include "extract/byte_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

namespace corvane {

namespace {

constexpr std::size_t kOutputBufferSize = std::size_t{1} << 20;
constexpr std::string_view kNotRegular = "not a regular file";

int OpenRetrying(const char* path, int flags, mode_t mode) {
  int fd;
  do {
    fd = ::open(path, flags, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

TFileIdentity IdentityOf(const struct stat& info) {
  return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

// A file name no other run picks: the process, a counter and the clock, spread over base-32 digits.
std::string TemporaryName(const std::string& path, unsigned attempt) {
  static std::atomic<std::uint64_t> counter{0};
  std::uint64_t seed = static_cast<std::uint64_t>(::getpid()) * 0x9E3779B97F4A7C15ull ^
                       static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                       (counter.fetch_add(1) + attempt) * 0xBF58476D1CE4E5B9ull;
  const std::size_t slash = path.rfind('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  // Hidden, and not ending in the output's extension: never taken for a finished file.
  std::string name = path.substr(0, nameStart);
  name.push_back('.');
  name.append(path, nameStart);
  name.push_back('.');
  for (int k = 0; k < 8; ++k, seed >>= 5) name.push_back("abcdefghijklmnopqrstuvwxyz234567"[seed & 31]);
  name.append(".part");
  return name;
}

// Unnamed files are named through their /proc/self/fd entry.
bool NamingUnnamedFilesWorks() {
  static const bool works = ::access("/proc/self/fd", X_OK) == 0;
  return works;
}

// A new file without a name in folder, for an output; -1 with errno set when none can be made there.
int OpenUnnamedFile(const std::string& folder) {
  return OpenRetrying(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
}

}  // namespace

std::string ErrorText(int error) { return std::generic_category().message(error); }

bool FileIdentityOf(const std::string& path, TFileIdentity& identity) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return false;
  identity = IdentityOf(info);
  return true;
}

std::string ReplaceTargetProblem(const std::string& path) {
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0) return {};
  if (S_ISREG(info.st_mode)) return {};
  if (S_ISLNK(info.st_mode)) return "a symbolic link";
  if (S_ISDIR(info.st_mode)) return ErrorText(EISDIR);
  return std::string(kNotRegular);
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

TUnnamedFile TUnnamedFile::MakeIn(const std::string& folder) {
  TUnnamedFile file;
  if (!NamingUnnamedFilesWorks()) return file;
  file.m_fd = OpenUnnamedFile(folder);
  if (file.m_fd >= 0) file.m_folder = folder;
  return file;
}

TUnnamedFile::~TUnnamedFile() {
  if (m_fd >= 0) ::close(m_fd);
}

TUnnamedFile::TUnnamedFile(TUnnamedFile&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_folder(std::move(other.m_folder)) {}

TUnnamedFile& TUnnamedFile::operator=(TUnnamedFile&& other) noexcept {
  if (this != &other) {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = std::exchange(other.m_fd, -1);
    m_folder = std::move(other.m_folder);
  }
  return *this;
}

int TUnnamedFile::Release() { return std::exchange(m_fd, -1); }

TInputFile::TInputFile(std::string path) : m_path(std::move(path)) {
  // Without O_NONBLOCK, opening a FIFO would wait for a writer.
  m_fd = OpenRetrying(m_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK, 0);
  if (m_fd < 0) throw TFileError("Cannot open " + m_path + ": " + ErrorText(errno));
  struct stat info;
  if (::fstat(m_fd, &info) != 0) throw TFileError("Cannot read " + m_path + ": " + ErrorText(errno));
  if (!S_ISREG(info.st_mode)) {
    const std::string reason = S_ISDIR(info.st_mode) ? ErrorText(EISDIR) : std::string(kNotRegular);
    ::close(m_fd);
    m_fd = -1;
    throw TFileError("Cannot read " + m_path + ": " + reason);
  }
  // O_NONBLOCK stays: it changes nothing for a regular file.
  m_identity = IdentityOf(info);
  m_size = static_cast<std::uint64_t>(info.st_size);
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

std::size_t TInputFile::ReadAt(std::uint64_t offset, char* buffer, std::size_t size) const {
  for (;;) {
    const ssize_t got = ::pread(m_fd, buffer, size, static_cast<off_t>(offset));
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) throw TFileError("Cannot read " + m_path + ": " + ErrorText(errno));
  }
}

void TInputFile::CheckUnchanged() const {
  struct stat info;
  if (::fstat(m_fd, &info) != 0) throw TFileError("Cannot read " + m_path + ": " + ErrorText(errno));
  if (static_cast<std::uint64_t>(info.st_size) != m_size)
    throw TFileError("Cannot read " + m_path + ": the file changed size while it was read");
}

void TInputFile::Seek(std::uint64_t offset) {
  if (::lseek(m_fd, static_cast<off_t>(offset), SEEK_SET) != static_cast<off_t>(offset))
    throw TFileError("Cannot read " + m_path + ": " + ErrorText(errno));
}

void TInputFile::Rewind() {
  if (::lseek(m_fd, 0, SEEK_SET) != 0) throw TFileError("Cannot read " + m_path + ": " + ErrorText(errno));
}

TOutputFile::~TOutputFile() { Abandon(); }

bool TOutputFile::Open(const std::string& path, TOutputMode mode, std::error_code& error, TUnnamedFile* spare) {
  Abandon();
  error.clear();
  m_path = path;
  m_mode = mode;
  m_used = 0;
  if (mode == TOutputMode::StandardOutput) {
    m_fd = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
    if (m_fd < 0) error = std::error_code(errno, std::generic_category());
    return m_fd >= 0;
  }
  if (mode == TOutputMode::Replace) {
    // Best: a file without a name in the target's folder, named only by Commit, so that a run killed
    // outright leaves nothing behind and a new output costs one entry in the folder.
    if (NamingUnnamedFilesWorks()) {
      const std::string folder = FolderOf(path);
      if (spare && spare->IsOpen() && spare->Folder() == folder) {
        m_fd = spare->Release();
        m_unnamed = true;
        return true;
      }
      m_fd = OpenUnnamedFile(folder);
      if (m_fd >= 0) {
        m_unnamed = true;
        return true;
      }
      // File systems without unnamed files fall back to a hidden named one.
      if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        error = std::error_code(errno, std::generic_category());
        return false;
      }
    }
    for (unsigned attempt = 0; m_fd < 0 && attempt < 100; ++attempt) {
      std::string temporary = TemporaryName(path, attempt);
      m_fd = OpenRetrying(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (m_fd >= 0) m_temporary = std::move(temporary);
      else if (errno != EEXIST) break;
    }
    if (m_fd < 0) {
      error = std::error_code(errno, std::generic_category());
      return false;
    }
    return true;
  }

  // Append: something that is not a regular file (a FIFO, a device) is refused before it is opened;
  // a folder fails to open, with its own reason.
  struct stat info;
  if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode))
    throw TFileError("Cannot open " + path + " for appending: " + std::string(kNotRegular));
  int fd = OpenRetrying(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NONBLOCK, 0);
  m_created = false;
  if (fd < 0 && errno == ENOENT) {
    fd = OpenRetrying(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_CREAT | O_EXCL, 0666);
    m_created = fd >= 0;
    if (fd < 0 && errno == EEXIST) fd = OpenRetrying(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NONBLOCK, 0);
  }
  if (fd < 0) {
    error = std::error_code(errno, std::generic_category());
    return false;
  }
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    const int reason = errno;
    ::close(fd);
    m_created = false;
    throw TFileError("Cannot open " + path + " for appending: " +
                     (S_ISREG(info.st_mode) ? ErrorText(reason) : std::string(kNotRegular)));
  }
  // The run holds the file alone: another job appending meanwhile would have its rows cut away when this
  // run is undone. The second job fails at once rather than wait behind a job that may run for hours.
  int locked;
  do {
    locked = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (locked != 0 && errno == EINTR);
  if (locked != 0) {
    const int reason = errno;
    ::close(fd);
    m_created = false;  // the other job holds it now: it is not ours to remove
    throw TFileError("Cannot open " + path + " for appending: " +
                     (reason == EWOULDBLOCK ? std::string("another job is appending to it") : ErrorText(reason)));
  }
  // The size is taken under the lock: rows another job appended before it are kept.
  if (::fstat(fd, &info) != 0) {
    const int reason = errno;
    ::close(fd);
    throw TFileError("Cannot open " + path + " for appending: " + ErrorText(reason));
  }
  m_fd = fd;
  m_startSize = static_cast<std::uint64_t>(info.st_size);
  m_identity = IdentityOf(info);
  return true;
}

void TOutputFile::Write(std::string_view bytes) {
  if (!m_buffer) {
    m_buffer.reset(new char[kOutputBufferSize]);  // not zero-filled: most of it is never used
    m_capacity = kOutputBufferSize;
  }
  if (bytes.size() > m_capacity - m_used) {
    Flush();
    if (bytes.size() >= m_capacity) {
      WriteAll(bytes.data(), bytes.size());
      return;
    }
  }
  std::memcpy(m_buffer.get() + m_used, bytes.data(), bytes.size());
  m_used += bytes.size();
}

void TOutputFile::Flush() {
  const std::size_t used = m_used;
  m_used = 0;
  WriteAll(m_buffer.get(), used);
}

void TOutputFile::WriteAll(const char* bytes, std::size_t size) {
  while (size > 0) {
    const ssize_t put = ::write(m_fd, bytes, size);
    if (put < 0) {
      if (errno == EINTR) continue;
      const int reason = errno;
      throw TFileError("Cannot write to " + m_path + ": " + ErrorText(reason), reason);
    }
    bytes += put;
    size -= static_cast<std::size_t>(put);
  }
}

void TOutputFile::Commit() {
  if (m_fd < 0) return;
  if (m_used > 0) Flush();
  if (m_mode == TOutputMode::Replace) KeepTargetsOwnerAndMode();
  bool namedAsTarget = false;
  if (m_unnamed) {
    NameUnnamedFile();
    namedAsTarget = m_temporary.empty();
    m_unnamed = false;
  }
  const int fd = m_fd;
  m_fd = -1;
  if (::close(fd) != 0 && errno != EINTR) {
    const int reason = errno;
    if (namedAsTarget) ::unlink(m_path.c_str());
    m_fd = -2;  // closed: Abandon must not close it again, but still undoes the writing
    Abandon();
    throw TFileError("Cannot write to " + m_path + ": " + ErrorText(reason), reason);
  }
  if (m_mode == TOutputMode::Replace && !m_temporary.empty()) {
    if (::rename(m_temporary.c_str(), m_path.c_str()) != 0) {
      const int reason = errno;
      ::unlink(m_temporary.c_str());
      m_temporary.clear();
      throw TFileError("Cannot write to " + m_path + ": " + ErrorText(reason), reason);
    }
    m_temporary.clear();
  }
  m_created = false;
}

// An earlier output at the target is replaced by a file with its permission bits (and owner and group,
// which only a privileged process may give), not the defaults of a new file. Best effort: a file that
// cannot take them is still written.
void TOutputFile::KeepTargetsOwnerAndMode() {
  struct stat target;
  if (::stat(m_path.c_str(), &target) != 0 || !S_ISREG(target.st_mode)) return;
  struct stat own;
  if (::fstat(m_fd, &own) != 0) return;
  if (own.st_uid != target.st_uid || own.st_gid != target.st_gid) {
    if (::fchown(m_fd, target.st_uid, target.st_gid) != 0) {
      // Not allowed to give the owner: the group alone may still be ours to give.
      [[maybe_unused]] const int ignored = ::fchown(m_fd, static_cast<uid_t>(-1), target.st_gid);
    }
  }
  // After fchown, which may clear set-user-ID and set-group-ID bits.
  ::fchmod(m_fd, target.st_mode & 07777);
}

// Gives the unnamed file its name: the target's when it is free, otherwise a temporary one renamed over
// the target.
void TOutputFile::NameUnnamedFile() {
  const std::string source = "/proc/self/fd/" + std::to_string(m_fd);
  auto link = [&source](const std::string& name) {
    return ::linkat(AT_FDCWD, source.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
  };
  if (link(m_path)) return;
  if (errno == EEXIST) {
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
      std::string temporary = TemporaryName(m_path, attempt);
      if (link(temporary)) {
        m_temporary = std::move(temporary);  // renamed over the target below
        return;
      }
      if (errno != EEXIST) break;
    }
  }
  const int reason = errno;
  throw TFileError("Cannot write to " + m_path + ": " + ErrorText(reason), reason);
}

void TOutputFile::Abandon() noexcept {
  m_unnamed = false;  // an unnamed file goes with its descriptor
  if (m_fd == -1 && m_temporary.empty() && !m_created) return;
  if (m_mode == TOutputMode::StandardOutput) {
    if (m_fd >= 0) ::close(m_fd);
  } else if (m_mode == TOutputMode::Replace) {
    if (m_fd >= 0) ::close(m_fd);
    if (!m_temporary.empty()) ::unlink(m_temporary.c_str());
    m_temporary.clear();
  } else if (m_created) {
    // Removed while still locked, so that no other job can have begun appending to it.
    ::unlink(m_path.c_str());
    if (m_fd >= 0) ::close(m_fd);
  } else if (m_fd >= 0) {
    // The rows of this run go; what the file held before stays.
    while (::ftruncate(m_fd, static_cast<off_t>(m_startSize)) != 0 && errno == EINTR) {
    }
    ::close(m_fd);
  } else if (m_fd == -2) {
    // Closed by a failed Commit: cut back through the path.
    while (::truncate(m_path.c_str(), static_cast<off_t>(m_startSize)) != 0 && errno == EINTR) {
    }
  }
  m_fd = -1;
  m_used = 0;
  m_created = false;
}

}  // namespace corvane
