#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "extract/byte_file.h"

namespace corvane {

// A small input file read whole ahead of its turn.
struct TReadAheadInput {
  std::string path;
  TFileIdentity identity;
  std::string bytes;
  TUnnamedFile output;  // an output file made ahead in the job's output folder, when asked for
};

// Reads a job's small input files on a thread of its own, in the job's order, while the job converts
// the files before them: with many small files, opening and reading them then shares two processors
// with the writing of the outputs.
//
// Only regular files of at most maxFileBytes that can be read without any error are read ahead. Any
// other file is left to the job, which opens it at its turn and reports what goes wrong there, as it
// would without the read-ahead. The files waiting hold at most about queueBytes.
//
// With an outputFolder, each file read ahead comes with an unnamed file made in that folder, so that
// making the file's output costs the job less too.
class TInputReadAhead {
 public:
  TInputReadAhead(std::span<const std::string> paths, std::uint64_t maxFileBytes, std::size_t queueBytes,
                  std::string outputFolder = {});
  // Stops the reading; a file being read is finished first.
  ~TInputReadAhead();
  TInputReadAhead(const TInputReadAhead&) = delete;
  TInputReadAhead& operator=(const TInputReadAhead&) = delete;

  // The file read ahead for path, which must be the list's next file; nothing when it was left to the
  // job. A path out of the list's order (the job's queue changed) ends the reading ahead.
  std::optional<TReadAheadInput> Take(const std::string& path);

  // Whether reading ahead can gain anything on this machine.
  static bool Worthwhile();

 private:
  // A list entry: read, or left to the job.
  struct TEntry {
    bool read = false;
    TReadAheadInput input;
  };

  void Run();
  // Whether the queue holds less than 1/share of its limits.
  bool HasRoom(std::size_t share) const;
  // path: ends with a NUL byte beyond its view.
  TEntry ReadFile(std::string_view path);
  std::string_view PathAt(std::size_t index) const;

  // The paths one after the other, each ended by a NUL byte: one block of memory however many there are.
  std::string m_pathBytes;
  std::vector<std::size_t> m_pathStarts;
  const std::uint64_t m_maxFileBytes;
  const std::size_t m_queueBytes;
  std::string m_outputFolder;  // reading thread: cleared when no unnamed file can be made there
  std::mutex m_mutex;
  std::condition_variable m_readable;  // an entry was queued
  std::condition_variable m_roomMade;  // entries were taken, or the reading is to end
  std::deque<TEntry> m_queue;  // the entries for paths m_taken to m_taken + size - 1
  std::size_t m_taken = 0;     // entries handed to the job
  std::size_t m_queuedBytes = 0;
  bool m_closing = false;
  bool m_readerWaiting = false;  // for room in the queue
  bool m_takerWaiting = false;   // for the next entry
  std::thread m_thread;  // started by the constructor once the rest is ready
};

}  // namespace corvane
