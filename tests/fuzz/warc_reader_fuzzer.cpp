// Feeds arbitrary bytes to the web archive reader as a file: plain, made into gzip members (one per
// record, as crawlers write them, or one for the whole), with a member damaged or the archive cut short,
// and read whole or as two byte ranges that meet. Every page's text is read to its last byte and cut
// into tables where it lies. Besides crashes and reads out of bounds it traps when
// - the counts disagree: more pages than records, pages given and pages counted, problems told and
//   damaged records counted.
// The first byte chooses how the rest is made into a file, the second and third where a member is
// damaged, where the archive is cut or where the first range ends.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "extract/byte_file.h"
#include "extract/table_fragment_scanner.h"
#include "extract/warc_reader.h"
#include "extract/warc_test_writer.h"

namespace {

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "%s\n", what);
    __builtin_trap();
  }
}

std::string Gzipped(std::string_view bytes) { return corvane::test::Deflated(bytes); }

// One gzip member per record: the text is cut before each "WARC/1." after its start.
std::string GzippedPerRecord(std::string_view text) {
  std::string out;
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t end = text.find("WARC/1.", begin + 1);
    if (end == std::string_view::npos) end = text.size();
    out += Gzipped(text.substr(begin, end - begin));
    begin = end;
  }
  return out;
}

const std::string& FilePath() {
  static const std::string path = [] {
    const char* folder = std::getenv("TMPDIR");
    return std::string(folder && *folder ? folder : "/tmp") + "/warc_reader_fuzzer-" + std::to_string(getpid()) + ".warc";
  }();
  return path;
}

void WriteFile(const std::string& bytes) {
  std::FILE* file = std::fopen(FilePath().c_str(), "wb");
  Check(file != nullptr, "cannot write the archive file");
  if (!bytes.empty()) Check(std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size(), "short write");
  std::fclose(file);
}

struct TCounts {
  std::size_t records = 0;
  std::size_t pages = 0;
};

TCounts ReadAll(std::uint64_t start, std::uint64_t end) {
  corvane::TInputFile file(FilePath());
  corvane::TWarcReader reader(file, start, end);
  std::size_t problems = 0;
  reader.Problem = [&problems](const std::string& line) {
    Check(!line.empty(), "an empty problem line");
    ++problems;
  };
  corvane::TArchivePage page;
  std::size_t pages = 0;
  volatile unsigned sum = 0;
  while (reader.NextPage(page)) {
    ++pages;
    // Every byte of every view is read: the sanitizer sees a view that outlives its bytes.
    for (std::string_view view : {page.Url, page.Record, page.Date, page.Html})
      for (char c : view) sum = sum + static_cast<unsigned char>(c);
    corvane::TTableFragmentScanner scanner;
    scanner.SetLineBreaks(corvane::TLineBreaks::Kept);
    scanner.Feed(page.Html.data(), page.Html.size(), true);
    scanner.Finish();
  }
  Check(pages == reader.Pages(), "the reader's page count differs from the pages it gave");
  Check(reader.Pages() <= reader.Records(), "more pages than records");
  Check(problems == reader.Damaged(), "the damage count differs from the problems told");
  return {reader.Records(), reader.Pages()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const unsigned mode = data[0];
  const std::size_t where = static_cast<std::size_t>(data[1]) | static_cast<std::size_t>(data[2]) << 8;
  const std::string_view text(reinterpret_cast<const char*>(data) + 3, size - 3);
  std::string bytes;
  switch (mode & 3) {
    case 0: bytes.assign(text); break;
    case 1: bytes = GzippedPerRecord(text); break;
    case 2: bytes = Gzipped(text); break;
    case 3: bytes.assign(text); break;
  }
  // A damaged byte, or an archive cut short.
  if ((mode & 4) && !bytes.empty()) bytes[where % bytes.size()] = static_cast<char>(bytes[where % bytes.size()] ^ (mode | 1));
  if ((mode & 8) && !bytes.empty()) bytes.resize(bytes.size() - 1 - where % bytes.size());
  WriteFile(bytes);
  try {
    ReadAll(0, corvane::TWarcReader::kArchiveEnd);
    if ((mode & 3) == 3 && !bytes.empty() && !(static_cast<unsigned char>(bytes[0]) == 0x1F)) {
      const std::uint64_t split = where % bytes.size() + 1;
      const TCounts first = ReadAll(0, split);
      const TCounts second = ReadAll(split, corvane::TWarcReader::kArchiveEnd);
      Check(first.pages <= first.records && second.pages <= second.records, "a range gave more pages than records");
    }
  } catch (const corvane::TFileError&) {
    // A range of a gzipped archive is refused; nothing else is.
    Check((mode & 3) == 3, "a file error reading the archive");
  }
  return 0;
}
