#include "extract/background_writer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
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

}  // namespace
}  // namespace corvane
