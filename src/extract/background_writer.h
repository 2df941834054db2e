#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace corvane {

// Writes texts on a thread of its own, in the order they are handed in, while the caller goes on
// producing the next ones: the table scan and the writing of rows then share two processors.
//
// The texts waiting hold at most about queueBytes (one text however large is always taken), so memory
// stays bounded by the largest text. A failure of the write function (an exception) ends the writing:
// the texts still waiting are dropped, and the exception is thrown again to the caller by the next Push
// or by Finish. The destructor drops what waits and joins the thread after the text being written.
class TBackgroundWriter {
 public:
  using TWrite = std::function<void(const std::string& text)>;

  // writePrepared, when given, writes the texts pushed as prepared (the producer has done part of the
  // work on them), in the same order as the others; see Backlogged for backlog.
  TBackgroundWriter(TWrite write, std::size_t queueBytes, TWrite writePrepared = {}, std::size_t backlog = 1);
  ~TBackgroundWriter();
  TBackgroundWriter(const TBackgroundWriter&) = delete;
  TBackgroundWriter& operator=(const TBackgroundWriter&) = delete;

  // Takes text to write (it is moved from); waits while the queue is full.
  void Push(std::string&& text, bool prepared = false);
  // True while at least backlog texts not prepared wait besides the one being written: the writing
  // thread is the slower one, and the producer may as well prepare its next text itself (the writing
  // thread still has those to go on with meanwhile).
  bool Backlogged() const { return m_waitingUnprepared.load(std::memory_order_relaxed) >= m_backlog; }
  // Waits until every text handed in is written.
  void Finish();

  // Whether writing beside the scan can gain anything on this machine.
  static bool Worthwhile();

 private:
  void Run();
  void RethrowFailure();

  struct TText {
    std::string text;
    bool prepared = false;
  };

  TWrite m_write;
  TWrite m_writePrepared;
  const std::size_t m_queueBytes;
  const std::size_t m_backlog;
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::deque<TText> m_queue;
  std::atomic<std::size_t> m_waitingUnprepared{0};  // the texts of m_queue not prepared, read without the lock
  std::size_t m_queuedBytes = 0;
  bool m_busy = false;     // a text is being written
  bool m_closing = false;  // the destructor runs
  std::exception_ptr m_failure;
  std::thread m_thread;  // last: started once the rest is ready
};

}  // namespace corvane
