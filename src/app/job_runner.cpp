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

TTableChoice TJobRunner::ChooseTables(const TFragmentStore& fragments) {
  TTableChoice choice;
  TJobExecuteThread* worker = qobject_cast<TJobExecuteThread*>(QThread::currentThread());
  if (!worker) return choice;
  // Skipped, leaving the choice empty, when the job is being closed.
  m_component->Synchronize(*worker, [&](TJobThread&, TJobExecuteThread&) {
    Flush();  // the log is up to date while the user chooses
    try {
      choice = AskTables(fragments, m_job.PageCharset());
    } catch (const std::exception& error) {
      choice = {};
      ShowError(error.what());
    }
  });
  return choice;
}

void TJobRunner::StartRun() {
  if (m_thread) m_thread->Start();
}

}  // namespace corvane
