#include "extract/background_writer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace corvane {
namespace {

TEST(BackgroundWriter, WritesInOrderWithBoundedQueue) {
  std::vector<std::string> written;
  std::atomic<std::size_t> mostWaiting{0};
  std::atomic<std::size_t> pushed{0};
  {
    TBackgroundWriter writer(
        [&](const std::string& text) {
          // Slower than the producer, so that the queue fills up.
          std::this_thread::sleep_for(std::chrono::microseconds(200));
          written.push_back(text);
          const std::size_t waiting = pushed - written.size();
          if (waiting > mostWaiting) mostWaiting = waiting;
        },
        3 * 10);
    for (int i = 0; i < 200; ++i) {
      ++pushed;  // before the text can be written
      writer.Push(std::string(10, static_cast<char>('a' + i % 26)));
    }
    writer.Finish();
    EXPECT_EQ(written.size(), 200u);
  }
  for (int i = 0; i < 200; ++i) EXPECT_EQ(written[static_cast<std::size_t>(i)], std::string(10, static_cast<char>('a' + i % 26)));
  // Three texts of ten bytes fill the queue; with the one being written and the one being handed in.
  EXPECT_LE(mostWaiting.load(), 5u);
}

TEST(BackgroundWriter, AFailureReachesTheCallerAndStopsTheWriting) {
  struct Case {
    int failAt;
    int pushes;
  };
  for (const Case c : {Case{0, 1}, Case{3, 50}, Case{49, 50}}) {
    int calls = 0;
    bool thrown = false;
    try {
      TBackgroundWriter writer(
          [&](const std::string&) {
            if (calls++ == c.failAt) throw std::runtime_error("disk full");
          },
          1);
      for (int i = 0; i < c.pushes; ++i) writer.Push("x");
      writer.Finish();
    } catch (const std::runtime_error& error) {
      thrown = true;
      EXPECT_STREQ(error.what(), "disk full");
    }
    EXPECT_TRUE(thrown) << c.failAt;
    EXPECT_EQ(calls, c.failAt + 1) << "nothing is written after the failure";
  }
}

TEST(BackgroundWriter, GoingAwayDropsWhatWaits) {
  std::atomic<int> calls{0};
  {
    TBackgroundWriter writer(
        [&](const std::string&) {
          ++calls;
          std::this_thread::sleep_for(std::chrono::milliseconds(20));
        },
        1000);
    for (int i = 0; i < 10; ++i) writer.Push("x");
  }
  EXPECT_LT(calls.load(), 10);
}


// Texts pushed as prepared go to their own function, in one order with the others; Backlogged says
// whether texts not prepared wait besides the one being written.
TEST(BackgroundWriter, PreparedTextsKeepTheirPlaceAndTheBacklogIsSeen) {
  std::vector<std::string> written;
  std::mutex gateMutex;
  std::condition_variable gateChanged;
  bool writing = false;
  bool open = false;
  {
    TBackgroundWriter writer(
        [&](const std::string& text) {
          std::unique_lock lock(gateMutex);
          writing = true;
          gateChanged.notify_all();
          gateChanged.wait(lock, [&] { return open; });
          written.push_back("raw " + text);
        },
        1000,
        [&](const std::string& text) { written.push_back("prepared " + text); });
    EXPECT_FALSE(writer.Backlogged());
    writer.Push("a");
    {
      // "a" is being written, held at the gate.
      std::unique_lock lock(gateMutex);
      gateChanged.wait(lock, [&] { return writing; });
    }
    EXPECT_FALSE(writer.Backlogged());
    writer.Push("b", true);
    EXPECT_FALSE(writer.Backlogged()) << "a prepared text is no backlog";
    writer.Push("c");
    EXPECT_TRUE(writer.Backlogged());
    {
      const std::lock_guard lock(gateMutex);
      open = true;
    }
    gateChanged.notify_all();
    writer.Push("d", true);
    writer.Finish();
    EXPECT_FALSE(writer.Backlogged());
  }
  EXPECT_EQ(written, (std::vector<std::string>{"raw a", "prepared b", "raw c", "prepared d"}));
}

}  // namespace
}  // namespace corvane
