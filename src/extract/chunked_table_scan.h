#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "extract/table_fragment_scanner.h"

namespace corvane {

struct TChunkedScanSettings {
  // The file is cut into chunks of about this many bytes (each runs on to the end of its last line).
  std::size_t chunkSize = std::size_t{1} << 20;
  // Threads that scan chunks; the calling thread takes their tables in order.
  std::size_t workers = 2;
  // Larger tables are handed over as fragments, not prepared: their output would double their memory,
  // where the caller can write it a row at a time.
  std::size_t largestPrepared = std::size_t{1} << 20;
  // See TTableFragmentScanner::SetPendingLimit; 0: none.
  std::size_t pendingLimit = 0;
  TLineBreaks lineBreaks = TLineBreaks::Joined;
};

// Cuts every table out of a large file (see TTableFragmentScanner) on several threads at once, and hands
// each table's output to the caller in file order: the same tables, in the same order, as one scan of
// the whole file finds.
//
// The file is cut into chunks, each ending just after a line feed. A worker scans a chunk as if the file
// began there, and makes the output of each table it finds. That is the file's own scan wherever the
// file's scan stands outside every table at the chunk's start, as it does at most edges of a page of
// many tables. Where it does not (the edge falls inside a table, or inside a comment or a script whose
// table tags count all the same, or after a table never closed), the calling thread goes on with the
// scan of the chunk before, through the next chunk, up to the first line end where that scan stands
// outside every table. The worker's scan stands outside every table there too (a scan that starts
// outside every table never stands deeper in tables than the file's at the same byte), and from there
// on both scans go alike: the worker's tables after that line end are the file's. So a table across a
// chunk edge is scanned once more, by the calling thread, and nothing else is.
//
// Memory: a few chunks' tables wait for their turn (at most eight chunks a worker are scanned or wait;
// many small chunks keep both processors busy when one worker is slowed down by other processes), and
// each thread reads through a buffer of its own.
class TChunkedTableScan {
 public:
  // Fills buffer with exactly size bytes of the file at offset, or throws; called on any thread.
  using TReadAt = std::function<void(std::uint64_t offset, char* buffer, std::size_t size)>;
  // Makes a table's output from its fragment (lines is emptied first), or says false: the table is then
  // handed over as its fragment. Called on any thread.
  using TPrepare = std::function<bool(std::string_view fragment, std::string& lines)>;
  // A table, in file order, on the calling thread: its output when prepared, else its fragment (a table
  // larger than the prepared ones). Returning false ends the scan.
  using TTake = std::function<bool(std::string_view text, bool prepared)>;
  // The bytes scanned so far, in file order, on the calling thread. May throw to end the scan.
  using TProgress = std::function<void(std::uint64_t done)>;

  enum class TResult {
    Complete,
    // Text held outside the tables grew past the pending limit: the scan gave up, after handing over
    // some of the file's tables (possibly none).
    Overflowed,
  };

  TChunkedTableScan(const TChunkedScanSettings& settings, TReadAt readAt, std::uint64_t size, TPrepare prepare);
  ~TChunkedTableScan();
  TChunkedTableScan(const TChunkedTableScan&) = delete;
  TChunkedTableScan& operator=(const TChunkedTableScan&) = delete;

  // Runs the scan. An exception (from the callbacks, a read, memory) ends it once the workers have
  // stopped, and leaves Run.
  TResult Run(const TTake& take, const TProgress& progress);

  // How many chunks a table across their edge sent through the calling thread's scan in the last Run.
  std::size_t ChunksRescanned() const { return m_rescanned; }

 private:
  struct TChunk;
  class TWorkerSink;
  class TTakingSink;

  void Work();
  bool Claim(TChunk*& chunk, std::string& buffer);
  void ScanChunk(TChunk& chunk, std::string& buffer);
  std::uint64_t LineEndAfter(std::uint64_t offset, std::string& buffer) const;
  // Feeds the bytes [from, to) of the file to scanner; with pause, up to the first line end outside every
  // table, whose offset it returns. Returns to otherwise.
  std::uint64_t FeedRange(TTableFragmentScanner& scanner, std::uint64_t from, std::uint64_t to, bool pause,
                          std::string& buffer) const;
  void StopWorkers();

  const TChunkedScanSettings m_settings;
  const TReadAt m_readAt;
  const std::uint64_t m_size;
  const TPrepare m_prepare;

  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::deque<TChunk> m_chunks;  // claimed and not yet taken, in file order
  std::uint64_t m_cursor = 0;   // where the next chunk begins
  bool m_stopping = false;
  std::size_t m_rescanned = 0;
};

}  // namespace corvane
