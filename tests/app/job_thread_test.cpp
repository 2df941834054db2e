#include "app/job_thread.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace corvane {
namespace {

constexpr int kTimeoutMs = 5000;

// Busy-waits on the calling thread, without processing events, until done() holds or the timeout
// passes; returns done().
template <class Predicate>
bool SpinUntil(Predicate done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTimeoutMs);
  while (!done() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return done();
}

bool OnUiThread() { return QThread::currentThread() == QCoreApplication::instance()->thread(); }

// True when another thread cannot take the component's lock right now.
bool LockedElsewhere(TJobThread& job) {
  bool taken = false;
  std::thread other([&] {
    taken = job.TryLock();
    if (taken) job.Unlock();
  });
  other.join();
  return !taken;
}

class JobThreadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    job.RefreshInterval = 10;
    job.OnStart = Tracked();
  }

  // Every worker must have finished and deleted itself by the end of a test.
  void TearDown() override {
    EXPECT_TRUE(QTest::qWaitFor([&] { return !job.Running(); }, kTimeoutMs));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return std::all_of(workers.begin(), workers.end(), [](auto& w) { return w.isNull(); }); },
        kTimeoutMs));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  // An OnStart handler that records the worker and then calls inner.
  TJobThreadDataNotifyEvent Tracked(TJobThreadDataNotifyEvent inner = {}) {
    return [this, inner](TJobThread& sender, TJobExecuteThread& thread, void*& data) {
      workers.emplace_back(&thread);
      if (inner) inner(sender, thread, data);
    };
  }

  bool RunToEnd(void* data = nullptr) {
    job.Start(data);
    return QTest::qWaitFor([&] { return !job.Running(); }, kTimeoutMs);
  }

  TJobThread job;
  std::vector<QPointer<TJobExecuteThread>> workers;
};

TEST_F(JobThreadTest, StartWhileRunningIsIgnored) {
  std::atomic<bool> release{false};
  std::atomic<int> executes{0};
  job.OnExecute = [&](auto&, auto&, void*&) {
    ++executes;
    SpinUntil([&] { return release.load(); });
  };
  job.Start();
  job.Start();
  EXPECT_TRUE(job.Running());
  release = true;
  ASSERT_TRUE(QTest::qWaitFor([&] { return !job.Running(); }, kTimeoutMs));
  EXPECT_EQ(executes, 1);
  EXPECT_EQ(workers.size(), 1u);
}

TEST_F(JobThreadTest, StartFromTerminateBeginsNextRunAtOnce) {
  std::atomic<int> executes{0};
  std::vector<bool> runningBefore, runningAfter;
  job.OnExecute = [&](auto&, auto&, void*&) { ++executes; };
  job.OnTerminate = [&](TJobThread& sender, auto&, void*&) {
    runningBefore.push_back(sender.Running());
    if (runningBefore.size() < 3) sender.Start();
    runningAfter.push_back(sender.Running());
  };
  job.Start();
  ASSERT_TRUE(QTest::qWaitFor([&] { return runningAfter.size() == 3 && !job.Running(); }, kTimeoutMs));
  EXPECT_EQ(executes, 3);
  EXPECT_EQ(runningBefore, std::vector<bool>(3, false));
  EXPECT_EQ(runningAfter, (std::vector<bool>{true, true, false}));
}

TEST_F(JobThreadTest, SynchronizeRunsMethodOnUiThreadWhileWorkerWaitsAndRethrows) {
  bool methodOnUi = false;
  int value = 0, seenByWorker = -1;
  std::string caught;
  job.OnExecute = [&](TJobThread& sender, TJobExecuteThread& thread, void*&) {
    sender.Synchronize(thread, [&](auto&, auto&) {
      methodOnUi = OnUiThread();
      QTest::qWait(30);  // a worker that did not wait would read the value before it is set
      value = 42;
    });
    seenByWorker = value;
    try {
      sender.Synchronize(thread, [](auto&, auto&) { throw std::runtime_error("boom"); });
    } catch (const std::runtime_error& e) {
      caught = e.what();
    }
  };
  ASSERT_TRUE(RunToEnd());
  EXPECT_TRUE(methodOnUi);
  EXPECT_EQ(seenByWorker, 42);
  EXPECT_EQ(caught, "boom");
}

TEST_F(JobThreadTest, SynchronizeAfterStopSkipsMethod) {
  std::atomic<bool> stopped{false}, sawTerminated{false}, ran{false};
  job.OnExecute = [&](TJobThread& sender, TJobExecuteThread& thread, void*&) {
    SpinUntil([&] { return stopped.load(); });
    sawTerminated = thread.Terminated();
    sender.Synchronize(thread, [&](auto&, auto&) { ran = true; });
  };
  job.Start();
  job.Stop();
  stopped = true;
  ASSERT_TRUE(QTest::qWaitFor([&] { return !job.Running(); }, kTimeoutMs));
  EXPECT_TRUE(sawTerminated);
  EXPECT_FALSE(ran);
}

TEST_F(JobThreadTest, ExecuteExceptionStillLeadsToTerminate) {
  int terminates = 0;
  job.OnTerminate = [&](auto&, auto&, void*&) { ++terminates; };
  job.OnExecute = [](auto&, auto&, void*&) { throw std::runtime_error("fail"); };
  ASSERT_TRUE(RunToEnd());
  job.OnExecute = [](auto&, auto&, void*&) { throw 7; };
  ASSERT_TRUE(RunToEnd());
  EXPECT_EQ(terminates, 2);
}

TEST_F(JobThreadTest, HandlersRunInOrderOnTheirThreadsAndShareData) {
  int first = 0, second = 0;
  std::vector<std::string> calls;  // the handlers never overlap
  const auto record = [&](const char* name, void* data) {
    calls.push_back(std::string(name) + (OnUiThread() ? "@ui" : "@worker") +
                    (data == &first ? ":first" : data == &second ? ":second" : ":other"));
  };
  job.OnStart = Tracked([&](auto&, auto&, void*& data) { record("start", data); });
  job.OnExecute = [&](auto&, auto&, void*& data) {
    record("execute", data);
    data = &second;
  };
  job.OnTerminate = [&](auto&, auto&, void*& data) { record("terminate", data); };
  ASSERT_TRUE(RunToEnd(&first));
  EXPECT_EQ(calls, (std::vector<std::string>{"start@ui:first", "execute@worker:first",
                                             "terminate@ui:second"}));
}

TEST_F(JobThreadTest, UpdateReportsPercentOnlyWhileRunningAndEnabled) {
  std::atomic<bool> percentSet{false}, release{false};
  std::vector<int> percents;
  bool allOnUi = true;
  job.OnExecute = [&](auto&, TJobExecuteThread& thread, void*&) {
    thread.SetPercent(37);
    percentSet = true;
    SpinUntil([&] { return release.load(); });
  };
  job.OnUpdate = [&](auto&, auto&, void*&, int percent) {
    percents.push_back(percent);
    allOnUi = allOnUi && OnUiThread();
  };
  job.Start();
  ASSERT_TRUE(QTest::qWaitFor([&] { return percentSet.load(); }, kTimeoutMs));
  percents.clear();
  EXPECT_TRUE(QTest::qWaitFor([&] { return percents.size() >= 2; }, kTimeoutMs));
  release = true;
  ASSERT_TRUE(QTest::qWaitFor([&] { return !job.Running(); }, kTimeoutMs));
  EXPECT_TRUE(allOnUi);
  EXPECT_EQ(std::count(percents.begin(), percents.end(), 37), std::ssize(percents));

  // Neither an idle component nor a run with updates disabled reports anything.
  percents.clear();
  release = false;
  job.UpdateEnabled = false;
  job.Start();
  QTest::qWait(100);  // ten refresh intervals
  release = true;
  ASSERT_TRUE(QTest::qWaitFor([&] { return !job.Running(); }, kTimeoutMs));
  QTest::qWait(50);
  EXPECT_TRUE(percents.empty());
}

TEST_F(JobThreadTest, LockIsHeldWhileUiHandlersRun) {
  std::atomic<bool> updated{false};
  bool startLocked = false, updateLocked = false, terminateLocked = false;
  job.OnStart = Tracked([&](TJobThread& sender, auto&, void*&) { startLocked = LockedElsewhere(sender); });
  job.OnExecute = [&](auto&, auto&, void*&) { SpinUntil([&] { return updated.load(); }); };
  job.OnUpdate = [&](TJobThread& sender, auto&, void*&, int) {
    updateLocked = LockedElsewhere(sender);
    updated = true;
  };
  job.OnTerminate = [&](TJobThread& sender, auto&, void*&) { terminateLocked = LockedElsewhere(sender); };
  ASSERT_TRUE(RunToEnd());
  EXPECT_TRUE(startLocked);
  EXPECT_TRUE(updateLocked);
  EXPECT_TRUE(terminateLocked);
  EXPECT_FALSE(LockedElsewhere(job));
}

// The destroyed component is a separate one: the fixture's job stays idle.
TEST_F(JobThreadTest, DestroyingWaitsForRunWithoutTerminateOrSynchronize) {
  auto owner = std::make_unique<TJobThread>();
  std::atomic<bool> started{false}, sawTerminated{false}, executeDone{false}, ran{false};
  bool terminated = false;
  owner->OnStart = Tracked();
  owner->OnExecute = [&](TJobThread& sender, TJobExecuteThread& thread, void*&) {
    started = true;
    sender.Synchronize(thread, [&](auto&, auto&) { ran = true; });  // queued before destruction
    sawTerminated = SpinUntil([&] { return thread.Terminated(); });
    sender.Synchronize(thread, [&](auto&, auto&) { ran = true; });  // called during destruction
    executeDone = true;
  };
  owner->OnTerminate = [&](auto&, auto&, void*&) { terminated = true; };
  owner->Start();
  // No events are processed here, so the first call is still queued when destruction begins.
  ASSERT_TRUE(SpinUntil([&] { return started.load(); }));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  owner.reset();
  EXPECT_TRUE(sawTerminated);
  EXPECT_TRUE(executeDone);
  EXPECT_FALSE(ran);
  EXPECT_FALSE(terminated);
  EXPECT_TRUE(workers.at(0).isNull());
}

}  // namespace
}  // namespace corvane
