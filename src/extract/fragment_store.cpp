#include "extract/fragment_store.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <utility>

#include "extract/byte_file.h"

namespace corvane {

namespace {

std::string TemporaryFolder() {
  const char* folder = std::getenv("TMPDIR");
  return folder && *folder ? folder : "/tmp";
}

// A read-write file that disappears with its descriptor: unnamed where the file system allows it,
// otherwise named and unlinked at once.
int OpenTemporaryFile() {
  const std::string folder = TemporaryFolder();
  int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) return fd;
  std::string name = folder + "/corvane-tables-XXXXXX";
  fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd >= 0) ::unlink(name.c_str());
  return fd;
}

bool WriteAt(int fd, const char* data, std::size_t size, std::uint64_t offset) {
  while (size > 0) {
    const ssize_t written = ::pwrite(fd, data, size, static_cast<off_t>(offset));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<std::size_t>(written);
    offset += static_cast<std::uint64_t>(written);
  }
  return true;
}

}  // namespace

TFragmentStore::TFragmentStore(std::size_t memoryBudget) : m_budget(memoryBudget) {}

TFragmentStore::TFragmentStore(std::initializer_list<std::string_view> fragments) : TFragmentStore() {
  for (std::string_view fragment : fragments) Add(fragment);
}

TFragmentStore::~TFragmentStore() { Clear(); }

TFragmentStore::TFragmentStore(TFragmentStore&& other) noexcept
    : m_budget(other.m_budget),
      m_entries(std::move(other.m_entries)),
      m_memory(std::move(other.m_memory)),
      m_fd(std::exchange(other.m_fd, -1)),
      m_fileSize(std::exchange(other.m_fileSize, 0)),
      m_spillFailed(std::exchange(other.m_spillFailed, false)) {
  other.m_entries.clear();
  other.m_memory.clear();
}

TFragmentStore& TFragmentStore::operator=(TFragmentStore&& other) noexcept {
  if (this != &other) {
    Clear();
    m_budget = other.m_budget;
    m_entries = std::move(other.m_entries);
    m_memory = std::move(other.m_memory);
    m_fd = std::exchange(other.m_fd, -1);
    m_fileSize = std::exchange(other.m_fileSize, 0);
    m_spillFailed = std::exchange(other.m_spillFailed, false);
    other.m_entries.clear();
    other.m_memory.clear();
  }
  return *this;
}

TFragmentStore& TFragmentStore::operator=(const std::vector<std::string>& fragments) {
  Clear();
  for (const std::string& fragment : fragments) Add(fragment);
  return *this;
}

TFragmentStore& TFragmentStore::operator=(std::initializer_list<std::string_view> fragments) {
  Clear();
  for (std::string_view fragment : fragments) Add(fragment);
  return *this;
}

void TFragmentStore::Clear() {
  m_entries.clear();
  m_memory.clear();
  m_memory.shrink_to_fit();
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
  m_fileSize = 0;
  m_spillFailed = false;
}

bool TFragmentStore::OpenSpill() {
  if (m_fd >= 0) return true;
  if (m_spillFailed) return false;
  m_fd = OpenTemporaryFile();
  m_spillFailed = m_fd < 0;
  return m_fd >= 0;
}

void TFragmentStore::Add(std::string_view text) {
  // Once one table has gone to the file, the later ones follow it, so that memory stays at the budget.
  if ((m_fd >= 0 || m_memory.size() + text.size() > m_budget) && OpenSpill()) {
    if (WriteAt(m_fd, text.data(), text.size(), m_fileSize)) {
      m_entries.push_back({m_fileSize, text.size(), true});
      m_fileSize += text.size();
      return;
    }
    // A full disk: what did not fit stays in memory, as it would without the file.
  }
  m_entries.push_back({m_memory.size(), text.size(), false});
  m_memory.append(text);
}

std::string TFragmentStore::Text(std::size_t index) const { return Text(index, m_entries.at(index).size); }

std::string TFragmentStore::Text(std::size_t index, std::size_t maxBytes) const {
  const TEntry& entry = m_entries.at(index);
  const std::size_t size = std::min<std::uint64_t>(entry.size, maxBytes);
  if (!entry.inFile) return m_memory.substr(entry.offset, size);
  std::string text(size, '\0');
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t got = ::pread(m_fd, text.data() + done, text.size() - done, static_cast<off_t>(entry.offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      throw TFileError("Cannot read back the tables kept in a temporary file: " +
                           std::generic_category().message(got < 0 ? errno : EIO),
                       got < 0 ? errno : EIO);
    }
    done += static_cast<std::size_t>(got);
  }
  return text;
}

}  // namespace corvane
