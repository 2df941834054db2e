#include "sheets/page_tables.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "extract/page_charset.h"
#include "extract/table_fragment_scanner.h"
#include "sheets/table_batches.h"

namespace corvane {

namespace {

// Gathers the chosen tables of a scan into batches and hands them on read.
class TPageTableSink final : public TFragmentSink {
 public:
  TPageTableSink(const TPageTablesReading& choice, TSheetReading reading, const TTakeSheetTable& take)
      : m_choice(choice), m_reading(std::move(reading)), m_take(take) {}

  bool WantsText(std::size_t index) override {
    return m_choice.Tables.empty() || std::binary_search(m_choice.Tables.begin(), m_choice.Tables.end(), index + 1);
  }
  bool Take(std::size_t index, std::string& text) override {
    if (WantsText(index)) {
      if (m_choice.Threads == 1) {
        // Each table read as it comes: batches only pay for sharing the work out between threads.
        TSheetTable table = ReadSheetTable(text, m_reading);
        m_take(index + 1, table);
      } else {
        m_tables.Add(text, index + 1, m_reading, Taker());
      }
    }
    // Past the last table wanted, the rest of the page is not read.
    return m_choice.Tables.empty() || index + 1 < m_choice.Tables.back();
  }
  void Finish() { m_tables.Flush(Taker()); }

 private:
  std::function<void(TConverted<TSheetTable>&)> Taker() {
    return [this](TConverted<TSheetTable>& table) { m_take(table.Number, table.Value); };
  }

  const TPageTablesReading& m_choice;
  TSheetReading m_reading;
  const TTakeSheetTable& m_take;
  // With two threads, the caller's and the one scanning: that one reads each batch alone.
  const int m_batchThreads = m_choice.Threads == 2 ? 1 : 0;
  TTableBatches<TSheetTable> m_tables{[](TSheetTable& table, const TPendingTable&, TSheetTable& result, TSheetCuts&) {
                                        result = std::move(table);
                                        return true;
                                      },
                                      m_batchThreads};
};

// The tables read on one thread, handed to another in their order. The queue holds about kHeldCells
// cells at most (a larger table alone), so that a slow taker bounds the memory.
class TTableHandOver {
 public:
  // The reading thread: false once the taker has given up.
  bool Push(std::size_t number, TSheetTable& table) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_abandoned || m_tables.empty() || m_cells < kHeldCells; });
    if (m_abandoned) return false;
    m_cells += table.Cells.size() + 1;
    m_tables.emplace_back(number, std::move(table));
    m_changed.notify_all();
    return true;
  }
  // The reading thread: no more tables come.
  void End() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_ended = true;
    m_changed.notify_all();
  }
  // The taking thread: the next table; false once they have all been taken.
  bool Pop(std::size_t& number, TSheetTable& table) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_ended || !m_tables.empty(); });
    if (m_tables.empty()) return false;
    number = m_tables.front().first;
    table = std::move(m_tables.front().second);
    m_tables.pop_front();
    m_cells -= table.Cells.size() + 1;
    m_changed.notify_all();
    return true;
  }
  // The taking thread: no more tables are wanted.
  void Abandon() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_abandoned = true;
    m_tables.clear();
    m_changed.notify_all();
  }

 private:
  static constexpr std::size_t kHeldCells = std::size_t{1} << 18;

  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::deque<std::pair<std::size_t, TSheetTable>> m_tables;
  std::size_t m_cells = 0;
  bool m_ended = false;
  bool m_abandoned = false;
};

// Scans a page whose first bytes are head: scan(scanner) feeds the scanner the whole page. The scan and
// the reading of the tables run on a thread of their own, beside the caller taking what they give; with
// Threads 1, on the caller's, each table read and taken as the scan finds it.
template <class TScan>
void ScanPageTables(const std::string& path, std::string_view head, const TPageTablesReading& choice,
                    const TTakeSheetTable& take, TScan&& scan) {
  TSheetReading reading;
  reading.PageCharset = choice.Charset.empty() ? PageCharsetDeclaration(head) : choice.Charset;
  reading.Trim = choice.Trim;
  if (choice.Links) reading.BaseAddress = PageBaseAddress(path, head);
  const auto scanAll = [&](const TTakeSheetTable& give) {
    TPageTableSink sink(choice, std::move(reading), give);
    TTableFragmentScanner scanner;
    scanner.SetSink(&sink);
    // As a job writing another format than the ".xls" text cuts them.
    scanner.SetLineBreaks(TLineBreaks::Kept);
    scan(scanner);
    sink.Finish();
  };
  if (choice.Threads == 1) {
    scanAll(take);
    return;
  }
  TTableHandOver handOver;
  std::exception_ptr failure;
  struct TAbandoned {};
  std::thread reader([&] {
    try {
      scanAll([&handOver](std::size_t number, TSheetTable& table) {
        if (!handOver.Push(number, table)) throw TAbandoned{};
      });
    } catch (const TAbandoned&) {
    } catch (...) {
      failure = std::current_exception();
    }
    handOver.End();
  });
  try {
    std::size_t number = 0;
    TSheetTable table;
    while (handOver.Pop(number, table)) take(number, table);
  } catch (...) {
    handOver.Abandon();
    reader.join();
    throw;
  }
  reader.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace

void ReadPageTables(const std::string& path, std::string_view page, const TPageTablesReading& reading,
                    const TTakeSheetTable& take) {
  ScanPageTables(path, page.substr(0, kPageCharsetScanLimit), reading, take, [page](TTableFragmentScanner& scanner) {
    scanner.Feed(page.data(), page.size(), true);
    scanner.Finish();
  });
}

void ReadPageTables(const std::string& path, const std::function<std::size_t(char*, std::size_t)>& read,
                    const TPageTablesReading& reading, const TTakeSheetTable& take) {
  // The head is read first, for the page's character set and BASE, then scanned with the rest.
  std::string head(kPageCharsetScanLimit, '\0');
  std::size_t held = 0;
  while (held < head.size()) {
    const std::size_t got = read(head.data() + held, head.size() - held);
    if (got == 0) break;
    held += got;
  }
  head.resize(held);
  ScanPageTables(path, head, reading, take, [&](TTableFragmentScanner& scanner) {
    std::size_t served = 0;
    scanner.ScanAll([&](char* buffer, std::size_t size) {
      if (served < head.size()) {
        const std::size_t count = std::min(size, head.size() - served);
        std::copy_n(head.data() + served, count, buffer);
        served += count;
        return count;
      }
      return read(buffer, size);
    });
  });
}

}  // namespace corvane
