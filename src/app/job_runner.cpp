#include "app/job_runner.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <exception>

namespace corvane {

TJobRunner::TJobRunner(std::size_t maxQueuedBytes) : m_maxQueuedBytes(maxQueuedBytes) {
  m_thread->UpdateEnabled = false;
  m_thread->OnExecute = [this](TJobThread&, TJobExecuteThread&, void*&) {
    try {
      m_job.ConvertFile();
    } catch (...) {
      // ConvertFile reports its own failures; nothing else may cross the thread boundary.
    }
  };
  m_thread->OnTerminate = [this](TJobThread&, TJobExecuteThread&, void*&) {
    Flush();
    // A progress report still on its way belongs to the run that has just ended.
    m_readTotal.store(0);
    m_job.RunTerminated();
  };
}

TJobRunner::~TJobRunner() { Shutdown(); }

void TJobRunner::Shutdown() {
  // What the last run still shows is dropped (by the destructor the user-interface half is gone), and
  // a worker waiting for the user interface to catch up is released.
  {
    std::lock_guard guard(m_queueLock);
    m_closing.store(true);
  }
  m_queueDrained.notify_all();
  if (!m_thread) return;
  m_thread->Stop();
  m_thread.reset();  // waits for the run, without its end being handled
}

void TJobRunner::SetOutputPath(std::string path) {
  std::lock_guard guard(m_pathLock);
  m_outputPath = std::move(path);
}

TTableWriter* TJobRunner::TableWriter() {
  const TOutputFormat format = m_outputFormat.load();
  const std::string target = AppendOutput() ? OutputPath() : std::string();
  if (!m_writer || format != m_writerFormat || target != m_writerTarget) {
    m_writer = MakeTableWriter(format, target);
    m_writerFormat = format;
    m_writerTarget = target;
  }
  return m_writer.get();
}

std::string TJobRunner::OutputPath() const {
  std::lock_guard guard(m_pathLock);
  return m_outputPath;
}

bool TJobRunner::OnUserInterfaceThread() const { return QThread::currentThread() == m_receiver.thread(); }

void TJobRunner::AppendLog(std::string_view line) {
  Queue(line.size(), [this, line] {
    m_queue.text.append(line);
    m_queue.lineEnds.push_back(m_queue.text.size());
  });
}

void TJobRunner::ShowPassLabels(std::string_view currentFile, std::string_view passText) {
  Queue(currentFile.size() + passText.size(), [&] {
    m_queue.labels.push_back({m_queue.lineEnds.size(), std::string(currentFile), std::string(passText)});
  });
}

template <typename Add>
void TJobRunner::Queue(std::size_t bytes, Add add) {
  const bool here = OnUserInterfaceThread();
  bool post = false;
  {
    std::unique_lock guard(m_queueLock);
    if (m_closing.load()) return;
    m_queuedBytes += bytes;
    add();
    if (!here) {
      post = !m_flushPosted;
      m_flushPosted = true;
    }
  }
  if (here) {
    Flush();
    return;
  }
  if (post) QMetaObject::invokeMethod(&m_receiver, [this] { FlushSoon(); }, Qt::QueuedConnection);
  std::unique_lock guard(m_queueLock);
  m_queueDrained.wait(guard, [this] { return m_queuedBytes <= m_maxQueuedBytes || m_closing.load(); });
}

void TJobRunner::FlushSoon() {
  // Lines that come faster than anyone reads them are gathered for a few milliseconds: a few large
  // flushes instead of one wake-up of the user interface for every few lines.
  constexpr qint64 kGatherMs = 20;
  const qint64 since = m_sinceFlush.isValid() ? m_sinceFlush.elapsed() : kGatherMs;
  if (since >= kGatherMs) {
    Flush();
    return;
  }
  QTimer::singleShot(static_cast<int>(kGatherMs - since), &m_receiver, [this] { Flush(); });
}

void TJobRunner::Flush() {
  m_sinceFlush.start();
  // The room of the last flush is reused; a flush from inside a flush (a line logged while lines are
  // shown) takes fresh room.
  TQueued shown = std::move(m_shown);
  std::vector<std::string_view> lines = std::move(m_shownLines);
  shown.Clear();
  {
    std::lock_guard guard(m_queueLock);
    std::swap(shown, m_queue);
    m_queuedBytes = 0;
    m_flushPosted = false;
  }
  m_queueDrained.notify_all();
  if (!m_closing.load()) {
    std::size_t line = 0;
    std::size_t start = 0;
    // Shows the lines before the one numbered end.
    auto showLines = [&](std::size_t end) {
      if (line == end) return;
      lines.clear();
      for (; line < end; ++line) {
        const std::size_t stop = shown.lineEnds[line];
        lines.emplace_back(shown.text.data() + start, stop - start);
        start = stop;
      }
      ShowLogLines(lines);
    };
    for (const TLabels& labels : shown.labels) {
      showLines(labels.linesBefore);
      ShowLabels(labels.file, labels.pass);
    }
    showLines(shown.lineEnds.size());
  }
  m_shown = std::move(shown);
  m_shownLines = std::move(lines);
}

TTableChoice TJobRunner::ChooseTables(const TFragmentStore& fragments) {
  TTableChoice choice;
  TJobExecuteThread* worker = qobject_cast<TJobExecuteThread*>(QThread::currentThread());
  if (!worker) return choice;
  // Skipped, leaving the choice empty, when the job is being closed.
  m_component->Synchronize(*worker, [&](TJobThread&, TJobExecuteThread&) {
    Flush();  // the log and the progress are up to date while the user chooses
    DeliverProgress();
    try {
      choice = AskTables(fragments, m_job.PageCharset());
    } catch (const std::exception& error) {
      choice = {};
      ShowError(error.what());
    }
  });
  return choice;
}

void TJobRunner::ShowReadProgress(std::uint64_t done, std::uint64_t total) {
  // A new pass starts again from the file's beginning.
  m_bytesRead.fetch_add(done >= m_lastDone ? done - m_lastDone : done, std::memory_order_relaxed);
  m_lastDone = done;
  m_readPass.store(m_job.PassNumber());
  m_readDone.store(done);
  m_readTotal.store(total);
  // The bar moves a few dozen times a second at most: a wake-up of the user interface for every block
  // read would cost the job more than the bar is worth. A pass's last value is shown by the next
  // report, the table choice or the end of the run.
  const auto now = std::chrono::steady_clock::now();
  if (now - m_progressPostedAt < std::chrono::milliseconds(30)) return;
  if (m_progressPosted.exchange(true)) return;  // the one on its way will show this value
  m_progressPostedAt = now;
  QMetaObject::invokeMethod(&m_receiver, [this] { DeliverProgress(); }, Qt::QueuedConnection);
}

void TJobRunner::DeliverProgress() {
  m_progressPosted.store(false);
  if (m_closing.load()) return;
  TReadProgress progress;
  progress.total = m_readTotal.load();
  progress.done = m_readDone.load();
  progress.pass = m_readPass.load();
  if (progress.total == 0) return;
  ShowFileProgress(progress);
}

void TJobRunner::StartRun() {
  // Each run's passes count from the file's beginning.
  m_lastDone = 0;
  if (m_thread) m_thread->Start();
}

}  // namespace corvane
