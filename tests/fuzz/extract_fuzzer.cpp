// Feeds arbitrary bytes through the extraction core: the table scan (fed in pieces of varying sizes, all
// at once, through ScanAll and with a sink that keeps only some fragments), the row walk and the row
// lines in both cell trimming modes. Besides crashes it traps when
// - the scanner's fragments differ from those of the plain version below, which follows the scanner's
//   documented rules byte by byte on the whole text;
// - the rows or a row line differ from plain versions that take cells as RowLine's comment describes
//   and clean the line by the tag-by-tag removals (CleanRowTextTagByTag), or a table's lines differ
//   from those row lines with their line ends;
// - CleanRowText differs from CleanRowTextTagByTag on any row line, row text or line of the input.
// The first two bytes choose the sizes of the pieces; the rest is the file.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "extract/row_cleaner.h"
#include "extract/row_extraction.h"
#include "extract/table_fragment_scanner.h"

namespace {

using corvane::TCellTrimming;

void Fail(const char* what, std::string_view text, std::string_view got, std::string_view expected) {
  std::fprintf(stderr, "%s\ntext:     [%.*s]\ngot:      [%.*s]\nexpected: [%.*s]\n", what,
               static_cast<int>(text.size()), text.data(), static_cast<int>(got.size()), got.data(),
               static_cast<int>(expected.size()), expected.data());
  __builtin_trap();
}

void Check(bool condition, const char* what) {
  if (!condition) Fail(what, {}, {}, {});
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Where text holds pattern at pos, letters in any case.
bool At(std::string_view text, std::size_t pos, std::string_view pattern) {
  if (pos > text.size() || text.size() - pos < pattern.size()) return false;
  for (std::size_t i = 0; i < pattern.size(); ++i)
    if (Upper(text[pos + i]) != Upper(pattern[i])) return false;
  return true;
}

std::size_t Find(std::string_view text, std::size_t from, std::string_view pattern) {
  for (std::size_t pos = from; pos < text.size(); ++pos)
    if (At(text, pos, pattern)) return pos;
  return std::string_view::npos;
}

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// The scanner's rules, plainly: the text up to a byte of code 26, cut into lines at CR and LF; blank
// lines skipped; on each line the earliest table tag in turn.
std::vector<std::string> PlainFragments(std::string_view file) {
  const std::size_t mark = file.find('\x1a');
  if (mark != std::string_view::npos) file = file.substr(0, mark);
  std::vector<std::string> fragments;
  std::string candidate;  // the fragment being cut, when inCandidate
  bool inCandidate = false;
  std::size_t depth = 0;
  std::size_t lineStart = 0;
  while (lineStart <= file.size()) {
    std::size_t lineEnd = lineStart;
    while (lineEnd < file.size() && file[lineEnd] != '\r' && file[lineEnd] != '\n') ++lineEnd;
    const std::string_view line = file.substr(lineStart, lineEnd - lineStart);
    lineStart = lineEnd + 1;
    if (Trim(line).empty()) continue;
    std::size_t cut = 0;  // the text of this line since the last cut is line[cut, ...)
    std::size_t pos = 0;
    bool dropRest = false;
    std::size_t open = Find(line, 0, "<TABLE");
    std::size_t close = Find(line, 0, "</TABLE>");
    for (;;) {
      // (Each search again only once passed, or long lines of tags would take long.)
      if (open != std::string_view::npos && open < pos) open = Find(line, pos, "<TABLE");
      if (close != std::string_view::npos && close < pos) close = Find(line, pos, "</TABLE>");
      if (open == std::string_view::npos && close == std::string_view::npos) break;
      if (open < close) {
        ++depth;
        const std::size_t end = std::min(open + 7, line.size());  // the tag and one byte more
        candidate.assign(line.substr(cut, end - cut));
        inCandidate = true;
        cut = pos = end;
      } else if (depth == 0) {
        dropRest = true;
        break;
      } else {
        const std::size_t end = close + 8;
        if (inCandidate) {
          candidate.append(line.substr(cut, end - cut));
          fragments.push_back(candidate);
          inCandidate = false;
        }
        --depth;
        cut = pos = end;
      }
    }
    if (!dropRest && inCandidate) candidate.append(line.substr(cut));
  }
  return fragments;
}

// The scanner fed in pieces whose sizes come from seed, handing back what it did not consume, as
// ScanAll does.
std::vector<std::string> FragmentsFedInPieces(std::string_view file, std::uint32_t seed) {
  corvane::TTableFragmentScanner scanner;
  std::string held;
  std::size_t next = 0;
  for (;;) {
    seed = seed * 1103515245u + 12345u;
    const std::size_t want = (seed >> 16) % 4 == 0 ? (seed >> 8) % 300 : (seed >> 8) % 12;
    const std::size_t take = std::min(want, file.size() - next);
    held.append(file.substr(next, take));
    next += take;
    const bool atEnd = next == file.size();
    const std::size_t used = scanner.Feed(held.data(), held.size(), atEnd);
    Check(used <= held.size(), "Feed consumed more than it was given");
    Check(atEnd || scanner.EndOfFileMarkSeen() || held.size() - used <= 7, "Feed held back more than seven bytes");
    if (atEnd || scanner.EndOfFileMarkSeen()) break;
    held.erase(0, used);
  }
  scanner.Finish();
  return scanner.TakeFragments();
}

// Keeps the text of every other fragment only.
class TOddSink : public corvane::TFragmentSink {
 public:
  bool WantsText(std::size_t index) override { return index % 2 == 1; }
  bool Take(std::size_t index, std::string& text) override {
    Check(index == texts.size(), "the sink was given fragments out of order");
    Check(index % 2 == 1 || text.empty(), "the sink was given the text of a fragment it did not want");
    texts.push_back(std::move(text));
    return true;
  }
  std::vector<std::string> texts;
};

void CheckFragments(std::string_view file, std::uint32_t seed, const std::vector<std::string>& expected) {
  if (corvane::CutTableFragments(file) != expected) Fail("CutTableFragments differs", file, {}, {});
  if (FragmentsFedInPieces(file, seed) != expected) Fail("the scan in pieces differs", file, {}, {});

  corvane::TTableFragmentScanner whole;
  std::size_t read = 0;
  whole.ScanAll(
      [&file, &read](char* buffer, std::size_t size) {
        const std::size_t take = std::min(size, file.size() - read);
        std::memcpy(buffer, file.data() + read, take);
        read += take;
        return take;
      },
      16 + seed % 64);
  if (whole.Fragments() != expected) Fail("ScanAll differs", file, {}, {});

  TOddSink sink;
  corvane::TTableFragmentScanner sunk;
  sunk.SetSink(&sink);
  sunk.Feed(file.data(), file.size(), true);
  sunk.Finish();
  Check(sink.texts.size() == expected.size() && sunk.FragmentCount() == expected.size(),
        "the scan with a sink counts other fragments");
  for (std::size_t k = 1; k < expected.size(); k += 2)
    if (sink.texts[k] != expected[k]) Fail("the scan with a sink differs", file, sink.texts[k], expected[k]);
}

// The rows of a fragment, plainly.
std::vector<std::string_view> PlainRows(std::string_view fragment) {
  std::vector<std::string_view> rows;
  std::size_t pos = 0;
  for (;;) {
    const std::size_t tag = Find(fragment, pos, "<TR");
    if (tag == std::string_view::npos) break;
    const std::size_t gt = fragment.find('>', tag + 3);
    if (gt == std::string_view::npos) break;
    const std::size_t end = Find(fragment, gt + 1, "</TR");
    if (end == std::string_view::npos) break;
    rows.push_back(fragment.substr(gt + 1, end - gt - 1));
    pos = end + 5;
  }
  return rows;
}

// The cells of a row joined as they stand.
std::string PlainCells(std::string_view row, std::string_view openTag, std::string_view closeTag, bool trim) {
  std::string line;
  bool first = true;
  std::size_t pos = 0;
  for (;;) {
    const std::size_t tag = Find(row, pos, openTag);
    if (tag == std::string_view::npos) break;
    const std::size_t gt = row.find('>', tag + 3);
    if (gt == std::string_view::npos) break;
    const std::size_t end = Find(row, gt + 1, closeTag);
    if (end == std::string_view::npos) break;
    std::string_view cell = row.substr(gt + 1, end - gt - 1);
    if (trim) cell = Trim(cell);
    if (!first) line += '\t';
    line += '"';
    line.append(cell);
    line += '"';
    first = false;
    pos = end + 5;
  }
  return line;
}

void CheckCleaning(std::string_view line) {
  const std::string exact = corvane::CleanRowTextTagByTag(line);
  const std::string fast = corvane::CleanRowText(line);
  if (fast != exact) Fail("CleanRowText differs from the tag-by-tag removals", line, fast, exact);
}

void CheckRows(std::string_view fragment) {
  const std::vector<std::string_view> expected = PlainRows(fragment);
  corvane::TTableRowWalker walker(fragment);
  std::string_view row;
  std::size_t count = 0;
  std::string appended = "x";  // AppendRowLine appends: what is there stays
  std::string tableLines[2];     // the plain lines of the table and their line ends, untrimmed and trimmed
  while (walker.Next(row)) {
    Check(count < expected.size(), "the walk gives more rows");
    if (row != expected[count]) Fail("a row differs", fragment, row, expected[count]);
    ++count;
    CheckCleaning(row);
    for (const bool trim : {false, true}) {
      const TCellTrimming trimming = trim ? TCellTrimming::Trim : TCellTrimming::Keep;
      std::string raw = PlainCells(row, "<td", "</td>", trim);
      if (raw.empty()) raw = PlainCells(row, "<th", "</th>", trim);
      CheckCleaning(raw);
      const std::string line = corvane::CleanRowTextTagByTag(raw);
      const std::string got = corvane::RowLine(row, trimming);
      if (got != line) Fail("RowLine differs", row, got, line);
      tableLines[trim] += line + "\r\n";
      const std::size_t before = appended.size();
      corvane::AppendRowLine(row, trimming, appended);
      if (std::string_view(appended).substr(before) != line)
        Fail("AppendRowLine differs", row, std::string_view(appended).substr(before), line);
      const std::string cells = corvane::ExtractCells(row, "<td", "</td>", trimming);
      const std::string cellsExpected = corvane::CleanRowTextTagByTag(PlainCells(row, "<td", "</td>", trim));
      if (cells != cellsExpected) Fail("ExtractCells differs", row, cells, cellsExpected);
    }
  }
  Check(count == expected.size(), "the walk gives fewer rows");
  Check(appended.compare(0, 1, "x") == 0, "AppendRowLine changed what was in the buffer");
  for (const bool trim : {false, true}) {
    std::string lines = "y";  // AppendTableLines appends too
    corvane::AppendTableLines(fragment, trim ? TCellTrimming::Trim : TCellTrimming::Keep, lines);
    if (std::string_view(lines).substr(1) != tableLines[trim] || lines[0] != 'y')
      Fail("AppendTableLines differs", fragment, lines, tableLines[trim]);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::uint32_t seed = data[0] | std::uint32_t{data[1]} << 8;
  const std::string_view file(reinterpret_cast<const char*>(data) + 2, size - 2);

  const std::vector<std::string> fragments = PlainFragments(file);
  CheckFragments(file, seed, fragments);

  // The rows of the fragments, and of the whole file as one fragment: arbitrary bytes between tags.
  for (const std::string& fragment : fragments) CheckRows(fragment);
  CheckRows(file);

  // Each line of the file, as a row line of its own.
  std::size_t start = 0;
  while (start <= file.size()) {
    std::size_t end = file.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = file.size();
    CheckCleaning(file.substr(start, end - start));
    start = end + 1;
  }
  return 0;
}
