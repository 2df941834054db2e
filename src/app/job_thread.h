#pragma once

#include <QObject>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <functional>
#include <mutex>

namespace corvane {

class TJobThread;
class TJobExecuteThread;

// Handler signature shared by the execute, start and terminate events. Data is the pointer handed to
// Start; a handler may replace it and later handlers of the same run see the new value.
using TJobThreadDataNotifyEvent =
    std::function<void(TJobThread& Sender, TJobExecuteThread& Thread, void*& Data)>;
using TJobThreadUpdateNotifyEvent =
    std::function<void(TJobThread& Sender, TJobExecuteThread& Thread, void*& Data, int Percent)>;
// A method that Synchronize runs on the user-interface thread.
using TJobThreadMethod = std::function<void(TJobThread& Sender, TJobExecuteThread& Thread)>;

// One worker of a TJobThread: created for a run, runs the execute handler, hands the termination
// notification to the user-interface thread and deletes itself once it has finished.
class TJobExecuteThread final : public QThread {
  Q_OBJECT

 public:
  TJobExecuteThread(TJobThread& owner, void* data);
  ~TJobExecuteThread() override;

  bool Terminated() const { return m_terminated.load(); }
  int Percent() const { return m_percent.load(); }
  void SetPercent(int percent) { m_percent.store(percent); }
  void*& Data() { return m_data; }

 protected:
  void run() override;

 private:
  friend class TJobThread;

  void RequestTermination() { m_terminated.store(true); }

  TJobThread& m_owner;
  TJobThreadDataNotifyEvent m_execute;  // copied from the owner when the run starts
  void* m_data;
  std::atomic<bool> m_terminated{false};
  std::atomic<int> m_percent{0};
};

// Runs one piece of work at a time on a worker thread and reports back on the user-interface thread
// (the thread that created the component). Handlers:
//   OnStart     user-interface thread, under the lock, before the worker runs
//   OnExecute   worker thread, without the lock
//   OnTerminate user-interface thread, under the lock, after OnExecute returned; the worker waits
//   OnUpdate    user-interface thread, under the lock, every RefreshInterval ms while UpdateEnabled
class TJobThread final : public QObject {
  Q_OBJECT

 public:
  explicit TJobThread(QObject* parent = nullptr);
  // Waits for an active worker to finish, processing user-interface events meanwhile; OnTerminate is
  // not called for that worker.
  ~TJobThread() override;

  TJobThread(const TJobThread&) = delete;
  TJobThread& operator=(const TJobThread&) = delete;

  QThread::Priority Priority = QThread::NormalPriority;
  int RefreshInterval = 100;
  bool UpdateEnabled = true;
  int UpdatePriority = 0;

  TJobThreadDataNotifyEvent OnExecute;
  TJobThreadDataNotifyEvent OnStart;
  TJobThreadDataNotifyEvent OnTerminate;
  TJobThreadUpdateNotifyEvent OnUpdate;

  // Starts a run unless one is active, in which case the call is ignored. User-interface thread. If
  // OnStart throws, no run starts and the exception reaches the caller.
  void Start(void* Data = nullptr);
  // Asks the active worker to stop: sets its terminate-requested flag. Does not wait and does not
  // interrupt the execute handler.
  void Stop();
  // True from Start until the active worker's termination notification. User-interface thread.
  bool Running() const;

  // Called on the worker from inside OnExecute: runs Method on the user-interface thread and returns
  // when it has finished. Returns at once, without running it, when termination was requested or no
  // method is given. An exception thrown by Method is rethrown here, on the worker.
  void Synchronize(TJobExecuteThread& Thread, const TJobThreadMethod& Method);

  // The component's lock, held while OnStart, OnUpdate and OnTerminate run. Recursive, so that a
  // handler may start the next run from inside OnTerminate.
  void Lock() { m_lock.lock(); }
  void Unlock() { m_lock.unlock(); }
  bool TryLock() { return m_lock.try_lock(); }

 private:
  friend class TJobExecuteThread;

  // Runs on the user-interface thread while the finishing worker waits.
  void DeliverTermination(TJobExecuteThread& worker);
  void UpdateTimerFired();

  std::recursive_mutex m_lock;
  TJobExecuteThread* m_worker = nullptr;  // the active worker; it owns itself
  bool m_destroying = false;  // set by the destructor: a termination notification only forgets the worker
  QTimer m_updateTimer;
};

}  // namespace corvane
