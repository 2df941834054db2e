#include "extract/background_writer.h"

#include <algorithm>
#include <utility>

namespace corvane {

TBackgroundWriter::TBackgroundWriter(TWrite write, std::size_t queueBytes, TWrite writePrepared, std::size_t backlog)
    : m_write(std::move(write)), m_writePrepared(std::move(writePrepared)), m_queueBytes(queueBytes),
      m_backlog(std::max<std::size_t>(backlog, 1)), m_thread([this] { Run(); }) {}

TBackgroundWriter::~TBackgroundWriter() {
  {
    const std::lock_guard lock(m_mutex);
    m_closing = true;
    m_queue.clear();
    m_waitingUnprepared.store(0, std::memory_order_relaxed);
  }
  m_changed.notify_all();
  m_thread.join();
}

bool TBackgroundWriter::Worthwhile() { return std::thread::hardware_concurrency() >= 2; }

void TBackgroundWriter::RethrowFailure() {
  if (!m_failure) return;
  std::exception_ptr failure = std::exchange(m_failure, nullptr);
  std::rethrow_exception(failure);
}

void TBackgroundWriter::Push(std::string&& text, bool prepared) {
  std::unique_lock lock(m_mutex);
  m_changed.wait(lock, [this] { return m_failure || m_queue.empty() || m_queuedBytes < m_queueBytes; });
  RethrowFailure();
  m_queuedBytes += text.size();
  m_queue.push_back({std::move(text), prepared});
  if (!prepared) m_waitingUnprepared.fetch_add(1, std::memory_order_relaxed);
  lock.unlock();
  m_changed.notify_all();
}

void TBackgroundWriter::Finish() {
  std::unique_lock lock(m_mutex);
  m_changed.wait(lock, [this] { return m_failure || (m_queue.empty() && !m_busy); });
  RethrowFailure();
}

void TBackgroundWriter::Run() {
  std::unique_lock lock(m_mutex);
  for (;;) {
    m_changed.wait(lock, [this] { return m_closing || !m_queue.empty(); });
    if (m_closing) return;
    TText text = std::move(m_queue.front());
    m_queue.pop_front();
    if (!text.prepared) m_waitingUnprepared.fetch_sub(1, std::memory_order_relaxed);
    m_queuedBytes -= text.text.size();
    m_busy = true;
    lock.unlock();
    m_changed.notify_all();
    std::exception_ptr failure;
    try {
      if (text.prepared) m_writePrepared(text.text);
      else m_write(text.text);
    } catch (...) {
      failure = std::current_exception();
    }
    lock.lock();
    m_busy = false;
    if (failure) {
      m_failure = failure;
      m_queue.clear();
      m_waitingUnprepared.store(0, std::memory_order_relaxed);
      m_queuedBytes = 0;
    }
    m_changed.notify_all();
  }
}

}  // namespace corvane
