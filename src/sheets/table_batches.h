#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "extract/table_writer.h"
#include "sheets/sheet_table.h"

// What the CSV, JSON Lines and XLSX table writers and the page-table reader share: tables read in
// batches on two threads, and what a table lost told to the writer's Notice.
namespace corvane {

// A chosen table waiting to be read.
struct TPendingTable {
  std::string Fragment;
  std::size_t Number = 0;
  TSheetReading Reading;
  // What the writer puts before the table's rows (a JSON line's start) or each of its rows (the CSV
  // fields naming an archive's page).
  std::string Lead;
};

// A table read and converted, with what it lost on the way. A table whose converted form would be too
// large to hold is not converted: Source then names it, until the result is taken, to be written as it
// is read.
template <class TResult>
struct TConverted {
  TResult Value;
  std::size_t Number = 0;
  TSheetCuts Cuts;
  std::string Lead;
  const TPendingTable* Source = nullptr;
};

// Reading a table as a browser does costs far more than writing it, so tables are gathered into batches
// of about kBatchBytes and a batch is read by two threads, each converting its own share; the results
// come back in the tables' order. The owner's thread count (a writer's Threads) bounds that: 1 reads
// every batch on the calling thread alone.
template <class TResult>
class TTableBatches {
 public:
  // False when the table's converted form would be too large to hold.
  // The table may be taken apart: it is not used again.
  using TConvert = std::function<bool(TSheetTable&, const TPendingTable&, TResult&, TSheetCuts&)>;
  // threads: the most threads a batch is read on, read at each batch (0: two when the machine has a
  // second core); it outlives the batches.
  TTableBatches(TConvert convert, const int& threads) : m_convert(std::move(convert)), m_threads(threads) {}

  // Adds a table; take(result) gets the results of a full batch.
  template <class TTake>
  void Add(std::string_view fragment, std::size_t number, const TSheetReading& reading, TTake&& take,
           std::string lead = {}) {
    m_batch.push_back({std::string(fragment), number, reading, std::move(lead)});
    m_bytes += fragment.size();
    if (m_bytes >= kBatchBytes) Flush(take);
  }
  template <class TTake>
  void Flush(TTake&& take) {
    std::vector<TConverted<TResult>> results = Convert();
    for (TConverted<TResult>& result : results) take(result);
    Clear();
  }
  void Clear() {
    m_batch.clear();
    m_bytes = 0;
  }

 private:
  static constexpr std::size_t kBatchBytes = std::size_t{2} << 20;

  std::vector<TConverted<TResult>> Convert() const {
    const std::size_t count = m_batch.size();
    std::vector<TConverted<TResult>> results(count);
    if (count == 0) return results;
    auto convert = [&](std::size_t from, std::size_t to) {
      for (std::size_t k = from; k < to; ++k) {
        TSheetTable table = ReadSheetTable(m_batch[k].Fragment, m_batch[k].Reading);
        results[k].Cuts = table.Cuts;
        results[k].Number = m_batch[k].Number;
        results[k].Lead = m_batch[k].Lead;
        if (!m_convert(table, m_batch[k], results[k].Value, results[k].Cuts)) results[k].Source = &m_batch[k];
      }
    };
    // The second half, by bytes, goes to a thread of its own when the machine has a second core to run it
    // and the owner allows a second thread.
    std::size_t half = count;
    if (count > 1 && m_threads != 1 && std::thread::hardware_concurrency() > 1) {
      std::size_t bytes = 0;
      for (half = 0; half < count && bytes < m_bytes / 2; ++half) bytes += m_batch[half].Fragment.size();
    }
    std::exception_ptr failure;
    std::thread helper;
    if (half < count) {
      helper = std::thread([&] {
        try {
          convert(half, count);
        } catch (...) {
          failure = std::current_exception();
        }
      });
    }
    try {
      convert(0, half);
    } catch (...) {
      if (helper.joinable()) helper.join();
      throw;
    }
    if (helper.joinable()) helper.join();
    if (failure) std::rethrow_exception(failure);
    return results;
  }

  TConvert m_convert;
  const int& m_threads;
  std::vector<TPendingTable> m_batch;
  std::size_t m_bytes = 0;
};

// A table this large is read a few cells at a time, on its own: its cells held whole would take many
// times its size.
inline bool IsLargeTable(std::string_view fragment) { return fragment.size() >= (std::size_t{8} << 20); }

// Tells the writer's Notice what a table lost.
inline void ReportCuts(const TTableWriter& writer, const TSheetCuts& cuts, const std::string& file, std::size_t number) {
  if (!writer.Notice) return;
  for (const std::string& line : DescribeCuts(cuts, file + ", table " + std::to_string(number))) writer.Notice(line);
}

}  // namespace corvane
