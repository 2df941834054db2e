#include "extract/warc_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "extract/byte_file.h"
#include "extract/warc_test_writer.h"
#include "support/temp_dir.h"

namespace corvane {
namespace {

using test::HttpResponse;
using test::THttpSending;
using test::WarcArchive;
using test::WarcRecord;

struct TRead {
  std::vector<std::string> pages;  // "URL RECORD DATE CHARSET|HTML"
  std::vector<std::string> problems;
  std::size_t records = 0;
  std::size_t damaged = 0;
};

TRead ReadArchive(const test::TTempDir& temp, const std::string& name, const std::string& bytes) {
  const std::string path = temp.Write(name, bytes);
  TInputFile file(path);
  TWarcReader reader(file);
  TRead read;
  reader.Problem = [&](const std::string& line) { read.problems.push_back(line.substr(path.size() + 2)); };
  TArchivePage page;
  while (reader.NextPage(page))
    read.pages.push_back(std::string(page.Url) + " " + std::string(page.Record) + " " + std::string(page.Date) + " " +
                         page.HttpCharset + "|" + std::string(page.Html));
  read.records = reader.Records();
  read.damaged = reader.Damaged();
  EXPECT_EQ(read.damaged, read.problems.size());
  return read;
}

const std::string kPage = "<html><body><table><tr><td>a</td></tr></table></body></html>";

TEST(WarcReaderTest, PagesOfEveryEncodingPlainAndGzipped) {
  THttpSending latin;
  latin.ContentType = "text/html; charset=\"ISO-8859-1\"";
  THttpSending chunkedGzip;
  chunkedGzip.Chunked = true;
  chunkedGzip.Encoding = "gzip";
  THttpSending zlibDeflate;
  zlibDeflate.Encoding = "deflate";
  THttpSending rawDeflate;
  rawDeflate.ContentType = "application/xhtml+xml";
  rawDeflate.Encoding = "raw-deflate";
  THttpSending image;
  image.ContentType = "image/png";
  THttpSending oddCharset;
  oddCharset.ContentType = "TEXT/HTML;charset=x\"><script>";
  const std::vector<std::string> records = {
      WarcRecord("warcinfo", "", "software: test\r\n", 0),
      WarcRecord("request", "http://a.test/1", "GET /1 HTTP/1.1\r\n\r\n", 1),
      WarcRecord("response", "http://a.test/1", HttpResponse(kPage + "1", latin), 2),
      WarcRecord("response", "http://a.test/2", HttpResponse(kPage + "2", chunkedGzip), 3, -1, "WARC/1.0"),
      WarcRecord("response", "http://a.test/img", HttpResponse("\x89PNG", image), 4),
      WarcRecord("metadata", "http://a.test/2", "via: x\r\n", 5),
      WarcRecord("response", "http://a.test/3", HttpResponse(kPage + "3", zlibDeflate), 6),
      WarcRecord("response", "http://a.test/4", HttpResponse(kPage + "4", rawDeflate), 7),
      WarcRecord("response", "http://a.test/5", HttpResponse(kPage + "5", oddCharset), 8),
  };
  const std::vector<std::string> expected = {
      "http://a.test/1 <urn:uuid:2> 2024-05-03T10:00:00Z <meta charset=\"ISO-8859-1\">|" + kPage + "1",
      "http://a.test/2 <urn:uuid:3> 2024-05-04T10:00:00Z |" + kPage + "2",
      "http://a.test/3 <urn:uuid:6> 2024-05-07T10:00:00Z |" + kPage + "3",
      "http://a.test/4 <urn:uuid:7> 2024-05-08T10:00:00Z |" + kPage + "4",
      "http://a.test/5 <urn:uuid:8> 2024-05-09T10:00:00Z |" + kPage + "5",
  };
  test::TTempDir temp;
  std::string oneMember;
  for (const std::string& record : records) oneMember += record;
  for (const auto& [name, bytes] : std::vector<std::pair<std::string, std::string>>{
           {"a.warc", WarcArchive(records, false)},
           {"a.warc.gz", WarcArchive(records, true)},
           {"one-member.warc.gz", test::Deflated(oneMember)}}) {
    const TRead read = ReadArchive(temp, name, bytes);
    EXPECT_EQ(read.pages, expected) << name;
    EXPECT_EQ(read.records, records.size()) << name;
    EXPECT_EQ(read.problems, std::vector<std::string>()) << name;
  }
}

TEST(WarcReaderTest, LargePagesAndMembersAreReadWhole) {
  // Larger than a member is decompressed at once: the member is inflated as a stream.
  const std::string large = "<table><tr><td>" + std::string(std::size_t{17} << 20, 'x') + "</table>";
  const std::string medium = "<table><tr><td>" + std::string(std::size_t{5} << 20, 'y') + "</table>";
  const std::vector<std::string> records = {WarcRecord("response", "http://a.test/l", HttpResponse(large), 1),
                                            WarcRecord("response", "http://a.test/m", HttpResponse(medium), 2),
                                            WarcRecord("response", "http://a.test/s", HttpResponse(kPage), 3)};
  test::TTempDir temp;
  for (bool gzip : {false, true}) {
    const TRead read = ReadArchive(temp, gzip ? "l.warc.gz" : "l.warc", WarcArchive(records, gzip));
    ASSERT_EQ(read.pages.size(), 3u);
    EXPECT_TRUE(read.pages[0].ends_with("|" + large));
    EXPECT_TRUE(read.pages[1].ends_with("|" + medium));
    EXPECT_TRUE(read.pages[2].ends_with("|" + kPage));
    EXPECT_EQ(read.problems, std::vector<std::string>());
  }
  // A page larger than a record may be is skipped; so is a compressed one that grows past it.
  const std::string huge(TWarcReader::kLargestRecord + 10, 'h');
  THttpSending gzip;
  gzip.Encoding = "gzip";
  const std::vector<std::string> tooLarge = {WarcRecord("response", "http://a.test/h", HttpResponse(huge), 1),
                                             WarcRecord("response", "http://a.test/z", HttpResponse(huge, gzip), 2),
                                             WarcRecord("response", "http://a.test/s", HttpResponse(kPage), 3)};
  const TRead read = ReadArchive(temp, "h.warc.gz", WarcArchive(tooLarge, true));
  ASSERT_EQ(read.pages.size(), 1u);
  EXPECT_EQ(read.problems, (std::vector<std::string>{
                               "the page of the record at byte 0 is larger than 32 MB, skipped",
                               "the compressed page of the record at byte " +
                                   std::to_string(tooLarge[0].size()) + " does not decompress, skipped"}));
}

TEST(WarcReaderTest, MembersOfGrowingAndShrinkingSizesAreReadWhole) {
  // Members are decompressed in place while the window has room for the largest met so far, and
  // through a buffer of their own when one outgrows it: every order of sizes gives the same pages.
  const std::vector<std::vector<std::size_t>> orders = {
      {100, std::size_t{2} << 20, 100, std::size_t{6} << 20, 300 << 10, std::size_t{17} << 20, 100},
      {std::size_t{3} << 20, std::size_t{1} << 20, (std::size_t{1} << 20) - 60, 70, std::size_t{5} << 20},
      {0, 0, 1, std::size_t{1} << 20, 0},
  };
  test::TTempDir temp;
  for (const std::vector<std::size_t>& sizes : orders) {
    std::vector<std::string> records;
    std::vector<std::string> pages;
    for (std::size_t k = 0; k < sizes.size(); ++k) {
      pages.push_back("<table><tr><td>" + std::string(sizes[k], static_cast<char>('a' + k)) + "</table>");
      records.push_back(WarcRecord("response", "http://a.test/" + std::to_string(k), HttpResponse(pages.back()),
                                   static_cast<int>(k)));
    }
    const TRead read = ReadArchive(temp, "sizes.warc.gz", WarcArchive(records, true));
    ASSERT_EQ(read.pages.size(), pages.size());
    for (std::size_t k = 0; k < pages.size(); ++k)
      EXPECT_TRUE(read.pages[k].ends_with("|" + pages[k])) << "page " << k << " of " << sizes.size();
    EXPECT_EQ(read.problems, std::vector<std::string>());
  }
}

TEST(WarcReaderTest, DamagedRecordsAreSkippedAndTheRestRead) {
  const auto page = [](int n) {
    return WarcRecord("response", "http://a.test/" + std::to_string(n), HttpResponse(kPage + std::to_string(n)), n);
  };
  const auto urls = [](const TRead& read) {
    std::string list;
    for (const std::string& text : read.pages) list += text.substr(14, text.find(' ') - 14) + " ";
    return list;
  };
  const std::string p1 = page(1);
  const std::string block3 = HttpResponse(kPage + "3");
  THttpSending brotli;
  brotli.Encoding = "br";
  THttpSending badGzip;
  badGzip.Encoding = "gzip";
  std::string brokenGzip = WarcRecord("response", "http://a.test/5", HttpResponse(kPage, badGzip), 5);
  brokenGzip[brokenGzip.size() - 20] ^= 0x55;
  std::string brokenChunks = WarcRecord("response", "http://a.test/6", "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n"
                                        "Transfer-Encoding: chunked\r\n\r\nzz\r\nabc\r\n0\r\n\r\n", 6);
  struct TCase {
    std::string name;
    std::vector<std::string> records;
    std::string pages;
    std::vector<std::string> problems;
  };
  const std::size_t p1Size = p1.size();
  const std::vector<TCase> cases = {
      {"length too short", {p1, WarcRecord("response", "http://a.test/3", block3, 3, block3.size() - 9), page(4)}, "1 4 ",
       {"the record at byte " + std::to_string(p1Size) + " does not end where its length says, skipped"}},
      {"length too long", {p1, WarcRecord("response", "http://a.test/3", block3, 3, block3.size() + 40), page(4)}, "1 4 ",
       {"the record at byte " + std::to_string(p1Size) + " does not end where its length says, skipped"}},
      {"request length too long", {p1, WarcRecord("request", "http://a.test/3", "GET / HTTP/1.1\r\n\r\n", 3, 60), page(4)}, "1 4 ",
       {"the record at byte " + std::to_string(p1Size) + " does not end where its length says, skipped"}},
      {"length past the archive's end", {p1, WarcRecord("response", "http://a.test/3", block3, 3, 100000), page(4)}, "1 4 ",
       {"the archive ends inside the record at byte " + std::to_string(p1Size)}},
      {"length not a number", {p1, WarcRecord("response", "http://a.test/3", block3, 3, -1).replace(p1.find("Content-Length: ") + 16, 1, "x"), page(4)},
       "1 4 ", {"the record at byte " + std::to_string(p1Size) + " has no valid Content-Length, skipped"}},
      {"garbage between records", {p1, "garbage\r\nmore garbage\r\n", page(4)}, "1 4 ",
       {"bytes that are not a WARC record at byte " + std::to_string(p1Size) + ", skipped"}},
      {"unread encoding", {p1, WarcRecord("response", "http://a.test/3", HttpResponse(kPage, brotli), 3), page(4)}, "1 4 ",
       {"the page of the record at byte " + std::to_string(p1Size) + " has Content-Encoding br, which is not read, skipped"}},
      {"broken compressed page", {p1, brokenGzip, page(4)}, "1 4 ",
       {"the compressed page of the record at byte " + std::to_string(p1Size) + " does not decompress, skipped"}},
      {"broken chunks", {p1, brokenChunks, page(4)}, "1 4 ",
       {"the chunked page of the record at byte " + std::to_string(p1Size) + " is broken, skipped"}},
  };
  test::TTempDir temp;
  for (const TCase& c : cases) {
    for (bool gzip : {false, true}) {
      const TRead read = ReadArchive(temp, gzip ? "d.warc.gz" : "d.warc", WarcArchive(c.records, gzip));
      EXPECT_EQ(urls(read), c.pages) << c.name << (gzip ? " gzip" : "");
      EXPECT_EQ(read.problems, c.problems) << c.name << (gzip ? " gzip" : "");
    }
  }

  // Damage to the archive's own compression: a member that does not decompress, bytes between members.
  std::string members = WarcArchive({p1, page(2), page(3)}, true);
  const std::size_t second = test::Deflated(p1).size();
  members[second + 30] ^= 0x5A;
  TRead read = ReadArchive(temp, "m.warc.gz", members);
  EXPECT_EQ(urls(read), "1 3 ");
  ASSERT_FALSE(read.problems.empty());
  EXPECT_EQ(read.problems[0], "a gzip member that does not decompress at byte " + std::to_string(second) + ", skipped");
  read = ReadArchive(temp, "g.warc.gz", test::Deflated(p1) + "junk" + test::Deflated(page(2)));
  EXPECT_EQ(urls(read), "1 2 ");
  EXPECT_EQ(read.problems, std::vector<std::string>{"bytes that are not gzip data at byte " + std::to_string(second) + ", skipped"});

  // A truncated archive: what came before the cut is read, and the cut is told.
  const std::string plain = WarcArchive({p1, page(2)}, false);
  const std::string gzipped = WarcArchive({p1, page(2)}, true);
  for (std::size_t cut : {p1Size + 10, p1Size + 200, plain.size() - 5}) {
    read = ReadArchive(temp, "t.warc", plain.substr(0, cut));
    EXPECT_EQ(urls(read), "1 ") << cut;
    EXPECT_EQ(read.problems.size(), 1u) << cut;
  }
  read = ReadArchive(temp, "t.warc", plain.substr(0, p1Size + 10));
  EXPECT_EQ(read.problems, std::vector<std::string>{"the archive ends inside the header of the record at byte " + std::to_string(p1Size)});
  read = ReadArchive(temp, "t.warc", plain.substr(0, p1Size + 300));
  EXPECT_EQ(read.problems, std::vector<std::string>{"the archive ends inside the record at byte " + std::to_string(p1Size)});
  read = ReadArchive(temp, "t.warc.gz", gzipped.substr(0, gzipped.size() - 4));
  EXPECT_EQ(urls(read), "1 2 ") << "the record is whole; only the member's size is cut";
  EXPECT_EQ(read.problems, std::vector<std::string>{"the archive ends inside a gzip member at byte " + std::to_string(second)});
  read = ReadArchive(temp, "t.warc.gz", gzipped.substr(0, gzipped.size() - 60));
  EXPECT_EQ(urls(read), "1 ");
  EXPECT_FALSE(read.problems.empty());
}

TEST(WarcReaderTest, ByteRangesThatMeetGiveEveryRecordOnce) {
  // Pages that quote WARC headers, and a record with a line end inside, are no records of their own.
  const std::string quoted = "<table><tr><td>\r\n\r\nWARC/1.0\r\nWARC-Type: response\r\nContent-Length: 5\r\n\r\n</table>";
  std::vector<std::string> records;
  for (int n = 1; n <= 6; ++n)
    records.push_back(WarcRecord(n == 3 ? "request" : "response", "http://a.test/" + std::to_string(n),
                                 HttpResponse(n % 2 ? quoted : kPage + std::to_string(n)), n));
  const std::string archive = WarcArchive(records, false);
  test::TTempDir temp;
  const std::string path = temp.Write("r.warc", archive);
  const auto read = [&](std::uint64_t start, std::uint64_t end, std::vector<std::string>& pages) {
    TInputFile file(path);
    TWarcReader reader(file, start, end);
    TArchivePage page;
    while (reader.NextPage(page)) pages.push_back(std::string(page.Record) + std::string(page.Html));
    EXPECT_EQ(reader.Damaged(), 0u) << start << "-" << end;
  };
  std::vector<std::string> whole;
  read(0, TWarcReader::kArchiveEnd, whole);
  ASSERT_EQ(whole.size(), 5u);
  for (std::uint64_t cut = 1; cut < archive.size(); cut += 13) {
    std::vector<std::string> parts;
    read(0, cut, parts);
    read(cut, cut + 150, parts);
    read(cut + 150, archive.size() + 10, parts);
    EXPECT_EQ(parts, whole) << cut;
  }
  // A gzipped archive cannot be entered in the middle.
  const std::string gzipped = temp.Write("r.warc.gz", WarcArchive(records, true));
  TInputFile file(gzipped);
  EXPECT_THROW(TWarcReader(file, 10, 20), TFileError);
}

TEST(WarcReaderTest, ArchiveNames) {
  for (const auto& [name, archive] : std::vector<std::pair<std::string, bool>>{
           {"a.warc", true}, {"a.WARC.GZ", true}, {"x/a.warc.gz", true}, {"a.warc.gz.html", false}, {"a.gz", false},
           {"warc", false}, {"a.html", false}})
    EXPECT_EQ(IsArchiveFileName(name), archive) << name;
}

}  // namespace
}  // namespace corvane
