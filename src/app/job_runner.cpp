#include "app/job_runner.h"

#include <QCoreApplication>
#include <QThread>

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
  if (format != m_writerFormat || target != m_writerTarget || (!m_writer && format != TOutputFormat::Xls)) {
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

void TJobRunner::AppendLog(std::string_view line) { Queue({false, std::string(line), {}}); }

void TJobRunner::ShowPassLabels(std::string_view currentFile, std::string_view passText) {
  Queue({true, std::string(currentFile), std::string(passText)});
}

void TJobRunner::Queue(TUpdate update) {
  const bool here = OnUserInterfaceThread();
  bool post = false;
  {
    std::unique_lock guard(m_queueLock);
    if (m_closing.load()) return;
    m_queuedBytes += update.first.size() + update.second.size();
    m_queue.push_back(std::move(update));
    if (!here) {
      post = !m_flushPosted;
      m_flushPosted = true;
    }
  }
  if (here) {
    Flush();
    return;
  }
  if (post) QMetaObject::invokeMethod(&m_receiver, [this] { Flush(); }, Qt::QueuedConnection);
  std::unique_lock guard(m_queueLock);
  m_queueDrained.wait(guard, [this] { return m_queuedBytes <= m_maxQueuedBytes || m_closing.load(); });
}

void TJobRunner::Flush() {
  std::vector<TUpdate> updates;
  {
    std::lock_guard guard(m_queueLock);
    updates.swap(m_queue);
    m_queuedBytes = 0;
    m_flushPosted = false;
  }
  m_queueDrained.notify_all();
  if (m_closing.load()) return;
  std::vector<std::string> lines;
  for (TUpdate& update : updates) {
    if (!update.labels) {
      lines.push_back(std::move(update.first));
      continue;
    }
    if (!lines.empty()) ShowLogLines(lines);
    lines.clear();
    ShowLabels(update.first, update.second);
  }
  if (!lines.empty()) ShowLogLines(lines);
}

TTableChoice TJobRunner::ChooseTables(const std::vector<std::string>& fragments) {
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
  if (m_progressPosted.exchange(true)) return;  // the one on its way will show this value
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
