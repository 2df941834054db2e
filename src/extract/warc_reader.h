#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace corvane {

class TInputFile;

// True for the names of web archives: ".warc", and ".warc.gz" for one compressed as gzip members.
bool IsArchiveFileName(std::string_view name);

// One page of an archive: the payload of a "response" record whose HTTP Content-Type is HTML, with its
// transfer and content encodings undone. The views stay valid until the reader's next call.
struct TArchivePage {
  std::string_view Url;     // WARC-Target-URI
  std::string_view Record;  // WARC-Record-ID
  std::string_view Date;    // WARC-Date
  // The charset of the HTTP Content-Type, as a META element the page could have written
  // ("<meta charset=\"...\">"); empty when the header names none.
  std::string HttpCharset;
  std::string_view Html;
};

// The bytes of an archive, decompressed when they are gzip members, written where the reader holds them.
class TArchiveBytes {
 public:
  virtual ~TArchiveBytes() = default;
  // Writes up to room bytes to buffer and returns how many; 0 at the end.
  virtual std::size_t ReadInto(char* buffer, std::size_t room) = 0;
  // The room that lets the next call write its bytes in place, without a copy through a buffer of its own.
  virtual std::size_t PreferredRoom() const = 0;
};

// Reads the pages of a WARC archive (1.0 or 1.1, plain or as gzip members) a record at a time, holding
// one record at most: memory stays bounded whatever the archive's size. Records that are not pages
// (requests, metadata, images) are passed over without being held whole.
//
// Damage never ends the reading early unless the archive itself ends: a record whose header is not a
// WARC header or whose length does not meet the next record, a gzip member that does not decompress,
// a page whose encoding cannot be undone, are each skipped with a line to Problem, and the reading goes
// on at the next record it finds. An archive that ends inside a record is damaged too.
class TWarcReader {
 public:
  // Records held whole (a page and its HTTP header) are at most this large; a larger page is skipped.
  static constexpr std::size_t kLargestRecord = std::size_t{32} << 20;

  // A byte range [start, end) of a plain archive gives the records whose header starts in it: the
  // first is found after start (a record that start falls inside belongs to the range before), and the
  // last may run past end. Ranges that meet one another give every record once.
  explicit TWarcReader(TInputFile& file, std::uint64_t start = 0, std::uint64_t end = kArchiveEnd);
  static constexpr std::uint64_t kArchiveEnd = ~std::uint64_t{0};
  ~TWarcReader();
  TWarcReader(const TWarcReader&) = delete;
  TWarcReader& operator=(const TWarcReader&) = delete;

  // The next page; false at the end of the archive. Throws TFileError when the file cannot be read.
  bool NextPage(TArchivePage& page);

  // The records met so far (of every kind), the pages among them, and the damaged or skipped ones.
  std::size_t Records() const { return m_records; }
  std::size_t Pages() const { return m_pages; }
  std::size_t Damaged() const { return m_damaged; }

  // Told of each damaged or skipped record, in a line that says where and why.
  std::function<void(const std::string& line)> Problem;

 private:
  struct TRecordHeader;
  bool Ensure(std::size_t count);
  void Drop(std::size_t count);
  bool ReadHeader(TRecordHeader& header);
  // Drops from bytes, then those before the next "WARC/1."; false at the end, or once past limit.
  bool Resync(std::size_t from, std::uint64_t limit = kArchiveEnd);
  bool SkipBytes(std::uint64_t count);
  void Report(const std::string& what);
  bool DecodePage(TRecordHeader& header, std::string_view block, TArchivePage& page);
  bool FindFirstRecord();

  std::unique_ptr<TArchiveBytes> m_bytes;
  std::unique_ptr<char[]> m_window;
  std::size_t m_capacity = 0;
  std::size_t m_start = 0;  // the unread bytes are m_window[m_start, m_end)
  std::size_t m_end = 0;
  bool m_atEnd = false;
  std::uint64_t m_offset = 0;  // the position of m_start in the decompressed archive
  std::size_t m_records = 0;
  std::size_t m_pages = 0;
  std::size_t m_damaged = 0;
  std::string m_header;   // the current record's WARC header fields
  std::string m_payload;  // a page decompressed or de-chunked
  std::string m_path;
  std::uint64_t m_rangeEnd = kArchiveEnd;
  bool m_findFirst = false;  // a range that starts inside the archive: its first record is looked for
  int m_problemsSinceResync = 0;
};

// Undoes an HTTP Content-Encoding (gzip, x-gzip, deflate) of body into out, up to limit bytes. False when
// the body does not decompress or outgrows limit.
bool InflateContent(std::string_view body, std::string& out, std::size_t limit);

}  // namespace corvane
