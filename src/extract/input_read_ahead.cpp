#include "extract/input_read_ahead.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace corvane {

namespace {

// Files waiting at most, however small: a list of empty files still holds its memory.
constexpr std::size_t kMaxQueuedFiles = 64;

// A page's name ends in .htm or .html, and the job's outputs never do: a file read ahead is never one
// the job writes before its turn (a symbolic link, which might lead to one, is not followed).
bool IsPageName(std::string_view path) { return path.ends_with(".htm") || path.ends_with(".html"); }

}  // namespace

TInputReadAhead::TInputReadAhead(std::span<const std::string> paths, std::uint64_t maxFileBytes,
                                 std::size_t queueBytes, std::string outputFolder)
    : m_maxFileBytes(maxFileBytes), m_queueBytes(queueBytes), m_outputFolder(std::move(outputFolder)) {
  std::size_t bytes = 0;
  for (const std::string& path : paths) bytes += path.size() + 1;
  m_pathBytes.reserve(bytes);
  m_pathStarts.reserve(paths.size());
  for (const std::string& path : paths) {
    m_pathStarts.push_back(m_pathBytes.size());
    m_pathBytes.append(path).push_back('\0');
  }
  m_thread = std::thread([this] { Run(); });
}

TInputReadAhead::~TInputReadAhead() {
  {
    const std::lock_guard lock(m_mutex);
    m_closing = true;
    m_queue.clear();
  }
  m_roomMade.notify_one();
  m_readable.notify_one();
  m_thread.join();
}

bool TInputReadAhead::Worthwhile() { return std::thread::hardware_concurrency() >= 2; }

std::string_view TInputReadAhead::PathAt(std::size_t index) const {
  const std::size_t start = m_pathStarts[index];
  const std::size_t end = index + 1 < m_pathStarts.size() ? m_pathStarts[index + 1] : m_pathBytes.size();
  return std::string_view(m_pathBytes).substr(start, end - start - 1);
}

std::optional<TReadAheadInput> TInputReadAhead::Take(const std::string& path) {
  std::unique_lock lock(m_mutex);
  if (!m_closing && m_queue.empty() && m_taken < m_pathStarts.size()) {
    m_takerWaiting = true;
    m_readable.wait(lock, [this] { return m_closing || !m_queue.empty(); });
    m_takerWaiting = false;
  }
  if (m_closing || m_queue.empty()) return std::nullopt;
  if (m_queue.front().input.path != path) {
    // The job goes its own way now: what was read ahead is of no use to it.
    m_closing = true;
    m_queue.clear();
    m_queuedBytes = 0;
    lock.unlock();
    m_roomMade.notify_one();
    return std::nullopt;
  }
  TEntry entry = std::move(m_queue.front());
  m_queue.pop_front();
  ++m_taken;
  m_queuedBytes -= entry.input.bytes.size();
  // The reader, once the queue was full, goes on when half of it is taken: waking it for every file
  // would cost more than reading the file.
  const bool wake = m_readerWaiting && HasRoom(2);
  lock.unlock();
  if (wake) m_roomMade.notify_one();
  if (!entry.read) return std::nullopt;
  return std::move(entry.input);
}

bool TInputReadAhead::HasRoom(std::size_t share) const {
  return m_queue.empty() || (m_queuedBytes < m_queueBytes / share && m_queue.size() < kMaxQueuedFiles / share);
}

void TInputReadAhead::Run() {
  std::unique_lock lock(m_mutex);
  for (;;) {
    if (!m_closing && !HasRoom(1)) {
      m_readerWaiting = true;
      m_roomMade.wait(lock, [this] { return m_closing || HasRoom(2); });
      m_readerWaiting = false;
    }
    const std::size_t next = m_taken + m_queue.size();
    if (m_closing || next >= m_pathStarts.size()) return;
    lock.unlock();
    TEntry entry = ReadFile(PathAt(next));
    lock.lock();
    if (m_closing) return;
    m_queuedBytes += entry.input.bytes.size();
    m_queue.push_back(std::move(entry));
    if (m_takerWaiting) m_readable.notify_one();
  }
}

TInputReadAhead::TEntry TInputReadAhead::ReadFile(std::string_view path) {
  TEntry entry;
  entry.input.path = path;
  if (!IsPageName(path)) return entry;
  int fd;
  do {
    fd = ::open(path.data(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return entry;
  struct stat info;
  // An empty size may hide content (a file of a special file system): the job reads that one itself.
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0 &&
      static_cast<std::uint64_t>(info.st_size) <= m_maxFileBytes) {
    // As the job would, read up to the size the file had when it was opened.
    std::string& bytes = entry.input.bytes;
    bytes.resize(static_cast<std::size_t>(info.st_size));
    std::size_t got = 0;
    bool failed = false;
    while (got < bytes.size()) {
      const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
      if (n > 0) got += static_cast<std::size_t>(n);
      else if (n == 0) break;
      else if (errno != EINTR) {
        failed = true;
        break;
      }
    }
    if (failed) bytes.clear();
    else bytes.resize(got);
    entry.read = !failed;
    entry.input.identity = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
  }
  ::close(fd);
  if (entry.read && !m_outputFolder.empty()) {
    entry.input.output = TUnnamedFile::MakeIn(m_outputFolder);
    if (!entry.input.output.IsOpen()) m_outputFolder.clear();
  }
  return entry;
}

}  // namespace corvane
