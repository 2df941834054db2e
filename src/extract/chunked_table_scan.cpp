#include "extract/chunked_table_scan.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

namespace corvane {

namespace {

// Each thread reads the file through a buffer of this size.
constexpr std::size_t kReadBlock = std::size_t{1} << 20;
// A scan that stops at the first line end outside the tables (most often a few kilobytes into the
// chunk, at the end of a table across the edge) reads this much first, then twice as much each time.
constexpr std::size_t kFirstPausingRead = std::size_t{16} << 10;
// A chunk's end is looked for this many bytes at a time.
constexpr std::size_t kLineEndProbe = std::size_t{64} << 10;
// Chunks scanned and not yet taken, per worker, and in all.
constexpr std::size_t kChunksAheadPerWorker = 8;
constexpr std::size_t kMostChunksAhead = 64;

}  // namespace

struct TChunkedTableScan::TChunk {
  std::uint64_t begin = 0;
  std::uint64_t end = 0;
  struct TTable {
    std::uint64_t tagEnd = 0;  // the file offset just past its "</TABLE>"
    std::string text;          // its output, or its fragment when not prepared
    bool prepared = true;
  };
  std::vector<TTable> tables;
  bool overflowed = false;
  bool endMark = false;
  // The worker's scan, when it ends inside a table: the next chunk is scanned on from it.
  std::unique_ptr<TTableFragmentScanner> scanner;
  std::exception_ptr error;
  bool ready = false;
};

// A worker's tables: kept in their chunk with the offset where each ends.
class TChunkedTableScan::TWorkerSink final : public TFragmentSink {
 public:
  TWorkerSink(const TPrepare& prepare, std::size_t largestPrepared, TChunk& chunk, const TTableFragmentScanner& scanner)
      : m_prepare(prepare), m_largestPrepared(largestPrepared), m_chunk(chunk), m_scanner(scanner) {}
  bool WantsText(std::size_t) override { return true; }
  bool Take(std::size_t, std::string& text) override {
    TChunk::TTable& table = m_chunk.tables.emplace_back();
    table.tagEnd = m_chunk.begin + m_scanner.TagEnd();
    table.prepared = text.size() <= m_largestPrepared && m_prepare(text, table.text);
    if (!table.prepared) table.text = std::move(text);
    return true;
  }

 private:
  const TPrepare& m_prepare;
  const std::size_t m_largestPrepared;
  TChunk& m_chunk;
  const TTableFragmentScanner& m_scanner;
};

// The calling thread's own scan across a chunk edge: its tables go straight to the caller.
class TChunkedTableScan::TTakingSink final : public TFragmentSink {
 public:
  TTakingSink(const TPrepare& prepare, std::size_t largestPrepared, const TTake& take)
      : m_prepare(prepare), m_largestPrepared(largestPrepared), m_take(take) {}
  bool WantsText(std::size_t) override { return true; }
  bool Take(std::size_t, std::string& text) override {
    if (text.size() <= m_largestPrepared && m_prepare(text, m_lines)) {
      m_ended = !m_take(m_lines, true);
    } else {
      m_ended = !m_take(text, false);
    }
    return !m_ended;
  }
  bool Ended() const { return m_ended; }

 private:
  const TPrepare& m_prepare;
  const std::size_t m_largestPrepared;
  const TTake& m_take;
  std::string m_lines;
  bool m_ended = false;
};

TChunkedTableScan::TChunkedTableScan(const TChunkedScanSettings& settings, TReadAt readAt, std::uint64_t size,
                                     TPrepare prepare)
    : m_settings(settings), m_readAt(std::move(readAt)), m_size(size), m_prepare(std::move(prepare)) {}

TChunkedTableScan::~TChunkedTableScan() = default;

std::uint64_t TChunkedTableScan::LineEndAfter(std::uint64_t offset, std::string& buffer) const {
  buffer.resize(kLineEndProbe);
  while (offset < m_size) {
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(kLineEndProbe, m_size - offset));
    m_readAt(offset, buffer.data(), count);
    if (const void* lf = std::memchr(buffer.data(), '\n', count))
      return offset + static_cast<std::uint64_t>(static_cast<const char*>(lf) - buffer.data()) + 1;
    offset += count;
  }
  return m_size;
}

bool TChunkedTableScan::Claim(TChunk*& chunk, std::string& buffer) {
  std::unique_lock lock(m_mutex);
  const std::size_t ahead = std::min(kChunksAheadPerWorker * std::max<std::size_t>(m_settings.workers, 1), kMostChunksAhead);
  m_changed.wait(lock, [&] { return m_stopping || m_cursor >= m_size || m_chunks.size() < ahead; });
  if (m_stopping || m_cursor >= m_size) return false;
  // The chunk is claimed and its end found under the lock, so that chunks follow one another; the end
  // is usually a few bytes past the chunk's size.
  TChunk& claimed = m_chunks.emplace_back();
  claimed.begin = m_cursor;
  const std::uint64_t nominal = m_cursor + std::max<std::size_t>(m_settings.chunkSize, 1);
  try {
    claimed.end = nominal >= m_size ? m_size : LineEndAfter(nominal - 1, buffer);
  } catch (...) {
    claimed.end = m_size;
    claimed.error = std::current_exception();
    claimed.ready = true;
    m_cursor = m_size;
    m_changed.notify_all();
    return false;
  }
  m_cursor = claimed.end;
  chunk = &claimed;  // the deque keeps its elements in place while others are added or taken
  return true;
}

std::uint64_t TChunkedTableScan::FeedRange(TTableFragmentScanner& scanner, std::uint64_t from, std::uint64_t to,
                                           bool pause, std::string& buffer) const {
  buffer.resize(kReadBlock);
  std::uint64_t start = from;  // the file offset of buffer[0]
  std::size_t held = 0;
  std::size_t block = pause ? kFirstPausingRead : kReadBlock;
  for (;; block = std::min(2 * block, kReadBlock)) {
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(block - held, to - start - held));
    if (count != 0) m_readAt(start + held, buffer.data() + held, count);
    const std::size_t size = held + count;
    // A chunk ends at a line end or the file's end, where no tag goes on.
    const bool atEnd = start + size == to;
    const std::size_t used =
        pause ? scanner.FeedUntilOutside(buffer.data(), size, atEnd) : scanner.Feed(buffer.data(), size, atEnd);
    if (pause && scanner.PausedOutside()) return start + used;
    if (atEnd || scanner.Stopped() || scanner.EndOfFileMarkSeen()) return to;
    held = size - used;
    std::memmove(buffer.data(), buffer.data() + used, held);
    start += used;
  }
}

void TChunkedTableScan::ScanChunk(TChunk& chunk, std::string& buffer) {
  auto scanner = std::make_unique<TTableFragmentScanner>();
  TWorkerSink sink(m_prepare, m_settings.largestPrepared, chunk, *scanner);
  scanner->SetSink(&sink);
  scanner->SetLineBreaks(m_settings.lineBreaks);
  scanner->SetPendingLimit(m_settings.pendingLimit);
  FeedRange(*scanner, chunk.begin, chunk.end, false, buffer);
  chunk.overflowed = scanner->Overflowed();
  chunk.endMark = scanner->EndOfFileMarkSeen();
  if (!chunk.overflowed && !chunk.endMark && !scanner->AtLineStartOutsideTables()) {
    scanner->SetSink(nullptr);
    chunk.scanner = std::move(scanner);
  }
}

void TChunkedTableScan::Work() {
  std::string buffer;
  TChunk* chunk = nullptr;
  while (Claim(chunk, buffer)) {
    try {
      ScanChunk(*chunk, buffer);
    } catch (...) {
      chunk->error = std::current_exception();
    }
    const std::lock_guard lock(m_mutex);
    chunk->ready = true;
    m_changed.notify_all();
  }
}

void TChunkedTableScan::StopWorkers() {
  const std::lock_guard lock(m_mutex);
  m_stopping = true;
  m_changed.notify_all();
}

TChunkedTableScan::TResult TChunkedTableScan::Run(const TTake& take, const TProgress& progress) {
  m_chunks.clear();
  m_cursor = 0;
  m_stopping = false;
  m_rescanned = 0;
  // The workers stop, and are joined, however Run ends.
  struct TWorkers {
    TChunkedTableScan& scan;
    std::vector<std::thread> threads;
    ~TWorkers() {
      scan.StopWorkers();
      for (std::thread& thread : threads) thread.join();
    }
  } workers{*this, {}};
  const std::size_t count = std::max<std::size_t>(m_settings.workers, 1);
  for (std::size_t k = 0; k < count; ++k) {
    try {
      workers.threads.emplace_back([this] { Work(); });
    } catch (const std::system_error&) {
      // No more threads to be had: the scan goes on with those it has.
      if (workers.threads.empty()) throw;
      break;
    }
  }

  TTakingSink sink(m_prepare, m_settings.largestPrepared, take);
  std::unique_ptr<TTableFragmentScanner> carry;  // the file's own scan, across a chunk edge inside a table
  std::string buffer;
  for (;;) {
    TChunk chunk;
    {
      std::unique_lock lock(m_mutex);
      m_changed.wait(lock, [&] { return m_chunks.empty() ? m_cursor >= m_size : m_chunks.front().ready; });
      if (m_chunks.empty()) break;
      chunk = std::move(m_chunks.front());
      m_chunks.pop_front();
      m_changed.notify_all();
    }
    if (chunk.error) std::rethrow_exception(chunk.error);
    // The worker's tables are the file's from here on.
    std::uint64_t from = chunk.begin;
    if (carry) {
      ++m_rescanned;
      const std::uint64_t pause = FeedRange(*carry, chunk.begin, chunk.end, true, buffer);
      if (carry->Overflowed()) return TResult::Overflowed;
      if (sink.Ended() || carry->EndOfFileMarkSeen()) return TResult::Complete;
      if (!carry->PausedOutside()) {
        progress(chunk.end);
        continue;
      }
      carry.reset();
      from = pause;
    }
    if (chunk.overflowed) return TResult::Overflowed;
    for (const TChunk::TTable& table : chunk.tables) {
      if (table.tagEnd > from && !take(table.text, table.prepared)) return TResult::Complete;
    }
    progress(chunk.end);
    if (chunk.endMark) return TResult::Complete;
    if (chunk.scanner) {
      carry = std::move(chunk.scanner);
      carry->SetSink(&sink);
    }
  }
  if (carry) carry->Finish();
  return TResult::Complete;
}

}  // namespace corvane
