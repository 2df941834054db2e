#include "app/job_thread.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QtGlobal>

#include <exception>
#include <memory>

namespace corvane {

TJobExecuteThread::TJobExecuteThread(TJobThread& owner, void* data)
    : m_owner(owner), m_execute(owner.OnExecute), m_data(data) {}

TJobExecuteThread::~TJobExecuteThread() = default;

void TJobExecuteThread::run() {
  // An exception from the work ends the run normally: the owner still gets its notification.
  try {
    if (m_execute) m_execute(m_owner, *this, m_data);
  } catch (...) {
  }
  // The owner lives on the user-interface thread; wait there until it has handled the end of the run.
  // The owner cannot go away before this call is delivered: its destructor processes events until
  // this thread has finished.
  QMetaObject::invokeMethod(
      &m_owner, [this] { m_owner.DeliverTermination(*this); }, Qt::BlockingQueuedConnection);
}

TJobThread::TJobThread(QObject* parent) : QObject(parent) {
  connect(&m_updateTimer, &QTimer::timeout, this, &TJobThread::UpdateTimerFired);
}

TJobThread::~TJobThread() {
  m_updateTimer.stop();
  m_destroying = true;
  TJobExecuteThread* worker = m_worker;
  if (!worker) return;
  // The active worker has not delivered its termination notification yet, so it has not emitted
  // finished either: taking its self-deletion away here cannot race with it.
  disconnect(worker, &QThread::finished, worker, &QObject::deleteLater);
  worker->RequestTermination();
  // The worker's blocking calls (Synchronize, the termination notification) are delivered by this
  // thread, so keep processing events until it has finished.
  while (!worker->wait(QDeadlineTimer(10))) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  // Deleting the finished worker also drops any of its events still queued.
  delete worker;
}

void TJobThread::Start(void* Data) {
  if (m_worker || m_destroying) return;
  auto worker = std::make_unique<TJobExecuteThread>(*this, Data);
  m_worker = worker.get();
  try {
    std::lock_guard guard(m_lock);
    if (OnStart) OnStart(*this, *worker, worker->Data());
  } catch (...) {
    m_worker = nullptr;
    throw;
  }
  // From here on the worker owns itself.
  TJobExecuteThread* running = worker.release();
  connect(running, &QThread::finished, running, &QObject::deleteLater);
  running->start(Priority);
  if (UpdateEnabled) m_updateTimer.start(RefreshInterval);
}

void TJobThread::Stop() {
  if (m_worker) m_worker->RequestTermination();
}

bool TJobThread::Running() const { return m_worker != nullptr; }

void TJobThread::Synchronize(TJobExecuteThread& Thread, const TJobThreadMethod& Method) {
  if (!Method || Thread.Terminated()) return;
  std::exception_ptr failure;
  auto call = [&] {
    // Termination may have been requested while this call was queued.
    if (Thread.Terminated()) return;
    try {
      Method(*this, Thread);
    } catch (...) {
      failure = std::current_exception();
    }
  };
  if (QThread::currentThread() == thread()) {
    call();  // a blocking queued call to our own thread would deadlock
  } else {
    QMetaObject::invokeMethod(this, call, Qt::BlockingQueuedConnection);
  }
  // The blocking call returned, so the user-interface thread is done with `failure`.
  if (failure) std::rethrow_exception(failure);
}

void TJobThread::DeliverTermination(TJobExecuteThread& worker) {
  m_updateTimer.stop();
  if (m_worker == &worker) m_worker = nullptr;
  if (m_destroying) return;
  {
    std::lock_guard guard(m_lock);
    if (OnTerminate) {
      try {
        OnTerminate(*this, worker, worker.Data());
      } catch (const std::exception& e) {
        qWarning("TJobThread: OnTerminate threw: %s", e.what());
      } catch (...) {
        qWarning("TJobThread: OnTerminate threw an unknown exception");
      }
    }
  }
  // OnTerminate may have started the next run.
  if (UpdateEnabled && m_worker) m_updateTimer.start(RefreshInterval);
}

void TJobThread::UpdateTimerFired() {
  if (!m_worker || !UpdateEnabled || !OnUpdate) return;
  std::lock_guard guard(m_lock);
  try {
    OnUpdate(*this, *m_worker, m_worker->Data(), m_worker->Percent());
  } catch (const std::exception& e) {
    qWarning("TJobThread: OnUpdate threw: %s", e.what());
  } catch (...) {
    qWarning("TJobThread: OnUpdate threw an unknown exception");
  }
}

}  // namespace corvane
