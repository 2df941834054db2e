#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "sheets/sheet_table.h"

namespace corvane {

// How ReadPageTables reads a page's tables.
struct TPageTablesReading {
  // Trims no-break spaces and control characters around each cell's text too (--trim).
  bool Trim = false;
  // The tables wanted, by their numbers counted from 1 in page order, ascending; empty: every table.
  std::vector<std::size_t> Tables;
  // Resolves the address of each cell that is one link (TSheetCell::Link); without, cells have none.
  bool Links = true;
  // A character-set declaration (such as <meta charset="windows-1252">) the tables are read in instead
  // of the page's own; empty: the page's.
  std::string Charset;
  // The most threads the reading uses, the caller's included. 0 (or 3 and more): three (the scan and
  // the tables read on a thread beside the caller, a batch of tables shared with a second one); 1: the
  // calling thread alone, the scan, the tables and take one after another, for callers that run several
  // readings at once and would otherwise have three threads each compete for the cores; 2: the scan and
  // the tables on one thread beside the caller. The tables are the same whatever the number.
  int Threads = 0;
};

// The tables of a page read as the CSV, JSON Lines and XLSX outputs of a job read them: cut out of the
// page as the job cuts them, numbered from 1 in page order, each read as a browser shows it in the
// page's character set, a cell's link resolved against the page's BASE, else against path (the page's
// file; a page in memory may give any name, relative to the current folder). The page is scanned and
// its tables read (a batch at a time on two threads) beside the caller: take gets each chosen one in
// page order, on the calling thread, and may throw to end the reading. With Threads 1, all of it runs on
// the calling thread.
using TTakeSheetTable = std::function<void(std::size_t number, TSheetTable& table)>;
// The page held in memory.
void ReadPageTables(const std::string& path, std::string_view page, const TPageTablesReading& reading,
                    const TTakeSheetTable& take);
// The page read as it is scanned: read(buffer, size) fills buffer with up to size of the page's next
// bytes and returns how many, 0 at its end; it is called on the caller's thread, then on the scan's (the
// caller's too with Threads 1).
void ReadPageTables(const std::string& path, const std::function<std::size_t(char*, std::size_t)>& read,
                    const TPageTablesReading& reading, const TTakeSheetTable& take);

}  // namespace corvane
