#pragma once

#include <QElapsedTimer>
#include <QObject>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "app/job_thread.h"
#include "app/output_format.h"
#include "extract/conversion_job.h"
#include "extract/job_host.h"

namespace corvane {

// Runs a conversion job on a TJobThread for a user-interface host (the main window): each file's run
// executes on the worker, and what the worker shows reaches the user-interface thread in the order the
// run produced it. The subclass supplies the user-interface side.
class TJobRunner : public TJobHost {
 public:
  // A worker that gets maxQueuedBytes of log ahead of the user interface waits for it, so that a huge
  // file's log never piles up in memory.
  explicit TJobRunner(std::size_t maxQueuedBytes = kDefaultMaxQueuedBytes);
  ~TJobRunner() override;

  static constexpr std::size_t kDefaultMaxQueuedBytes = std::size_t{8} << 20;

  TConversionJob& Job() { return m_job; }
  TJobThread& JobThread() { return *m_thread; }

  // Ends the runner's work for good (user-interface thread): a run still going on finishes without its
  // table choice and without showing anything more, and no run starts after it. Waits for that run,
  // processing user-interface events meanwhile. Called when the window closes, and by the destructor.
  void Shutdown();

  // Asks the job to stop as soon as it can (user-interface thread): the run going on is undone and no
  // run starts after it. The host clears it before its next job.
  void RequestStop(bool stop = true) { m_stopRequested.store(stop); }
  bool StopRequested() const final { return m_stopRequested.load(); }
  // The bytes the job's passes have read since the runner was made (any thread).
  std::uint64_t BytesRead() const { return m_bytesRead.load(); }

  // The output settings as the controls show them (user-interface thread). The worker reads them
  // while a run writes: the latest value counts.
  void SetAppendOutput(bool append) { m_appendOutput.store(append); }
  void SetTrimCellValues(bool trim) { m_trimCellValues.store(trim); }
  // The output format; the worker takes it up at the start of each run.
  void SetOutputFormat(TOutputFormat format) { m_outputFormat.store(format); }
  void SetOutputPath(std::string path);

  // TJobHost: the thread-crossing half.
  void AppendLog(std::string_view line) final;
  void ShowPassLabels(std::string_view currentFile, std::string_view passText) final;
  bool AppendOutput() const final { return m_appendOutput.load(); }
  bool TrimCellValues() const final { return m_trimCellValues.load(); }
  std::string OutputPath() const final;
  TTableWriter* TableWriter() final;
  TTableChoice ChooseTables(const TFragmentStore& fragments) final;
  void ShowReadProgress(std::uint64_t done, std::uint64_t total) final;
  void StartRun() final;

  // How far the current file has been read: done of total bytes in the pass numbered pass (1 to 3).
  struct TReadProgress {
    std::uint64_t done = 0;
    std::uint64_t total = 0;
    int pass = 0;
  };

 protected:
  // User-interface thread, in the order the job produced them.
  // The lines' bytes last only for the call.
  virtual void ShowLogLines(std::span<const std::string_view> lines) = 0;
  virtual void ShowLabels(const std::string& currentFile, const std::string& passText) = 0;
  // User-interface thread, while the worker waits: the table choice for a file with several tables.
  // pageCharset is the file's character-set declaration (TConversionJob::PageCharset). fragments are the
  // job's own store of the file's tables (TConversionJob::TableFragments), valid while the call lasts.
  virtual TTableChoice AskTables(const TFragmentStore& fragments, const std::string& pageCharset) = 0;
  // User-interface thread: a failure while the table choice was prepared or shown.
  virtual void ShowError(const std::string& message) = 0;
  // User-interface thread: the latest read progress of the run going on. Only the latest value is
  // delivered, however often the worker reports, and never one of a run that has ended.
  virtual void ShowFileProgress(const TReadProgress& progress) { static_cast<void>(progress); }

 private:
  // Pass labels, shown after the log lines queued before them.
  struct TLabels {
    std::size_t linesBefore;
    std::string file;
    std::string pass;
  };
  // What the worker has queued for the user interface: the log lines' bytes end to end (no allocation
  // for each line), where each ends, and the labels among them.
  struct TQueued {
    std::string text;
    std::vector<std::size_t> lineEnds;
    std::vector<TLabels> labels;
    void Clear() {
      text.clear();
      lineEnds.clear();
      labels.clear();
    }
  };

  bool OnUserInterfaceThread() const;
  // Shows the latest read progress, if it belongs to the run going on (user-interface thread).
  void DeliverProgress();
  // Adds to the queue under its lock, then shows it or has it shown, waiting while too much is queued.
  template <typename Add>
  void Queue(std::size_t bytes, Add add);
  // Shows everything queued so far (user-interface thread).
  void Flush();
  // A flush the worker asked for: now, or a few milliseconds after the last one (user-interface thread).
  void FlushSoon();

  TConversionJob m_job{*this};
  QObject m_receiver;  // where queued flushes are delivered
  std::atomic<bool> m_closing{false};
  std::atomic<bool> m_stopRequested{false};

  // The latest read progress, written by the worker; a total of 0 means none to show.
  std::atomic<std::uint64_t> m_readDone{0};
  std::atomic<std::uint64_t> m_readTotal{0};
  std::atomic<int> m_readPass{0};
  std::atomic<bool> m_progressPosted{false};
  std::atomic<std::uint64_t> m_bytesRead{0};
  std::uint64_t m_lastDone = 0;  // worker: the pass's done at the last report

  std::atomic<bool> m_appendOutput{false};
  std::atomic<bool> m_trimCellValues{false};
  std::atomic<TOutputFormat> m_outputFormat{TOutputFormat::Xls};
  // The worker's writer, of the format it was made for.
  std::unique_ptr<TTableWriter> m_writer;
  TOutputFormat m_writerFormat = TOutputFormat::Xls;
  std::string m_writerTarget;
  mutable std::mutex m_pathLock;
  std::string m_outputPath;

  std::mutex m_queueLock;
  std::condition_variable m_queueDrained;
  TQueued m_queue;
  // The user-interface thread's: what the last Flush showed, kept for its room.
  TQueued m_shown;
  std::vector<std::string_view> m_shownLines;
  std::size_t m_queuedBytes = 0;
  const std::size_t m_maxQueuedBytes;
  bool m_flushPosted = false;
  QElapsedTimer m_sinceFlush;  // since the last flush began
  std::chrono::steady_clock::time_point m_progressPostedAt;  // worker: when read progress last crossed

  // Last, so that it is destroyed first: its destructor waits for a running worker, which still uses
  // everything above. Null after Shutdown.
  std::unique_ptr<TJobThread> m_thread = std::make_unique<TJobThread>();
  // The same component, for the worker: it never reads m_thread, which Shutdown resets meanwhile. The
  // component outlives every Synchronize of its workers.
  TJobThread* const m_component = m_thread.get();
};

}  // namespace corvane
