#include "extract/warc_reader.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <new>

#include "extract/byte_file.h"

namespace corvane {

namespace {

bool EndsWithNoCase(std::string_view text, std::string_view end) {
  if (text.size() < end.size()) return false;
  for (std::size_t k = 0; k < end.size(); ++k) {
    char c = text[text.size() - end.size() + k];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != end[k]) return false;
  }
  return true;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t k = 0; k < a.size(); ++k)
    if (Lower(a[k]) != Lower(b[k])) return false;
  return true;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

// The value of the header field name in the header lines of text (up to its blank line); empty when
// there is none.
std::string_view HeaderField(std::string_view text, std::string_view name) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    if (EqualNoCase(Trimmed(line.substr(0, colon)), name)) return Trimmed(line.substr(colon + 1));
  }
  return {};
}

// The end of the header block of text (after its blank line, CR LF CR LF or LF LF); npos when not there.
std::size_t HeaderEnd(std::string_view text, std::size_t from = 0) {
  for (std::size_t pos = text.find('\n', from); pos != std::string_view::npos; pos = text.find('\n', pos + 1)) {
    if (pos + 1 < text.size() && text[pos + 1] == '\n') return pos + 2;
    if (pos + 2 < text.size() && text[pos + 1] == '\r' && text[pos + 2] == '\n') return pos + 3;
  }
  return std::string_view::npos;
}

constexpr std::size_t kChunk = std::size_t{1} << 20;

// An archive read as it is.
class TPlainBytes final : public TArchiveBytes {
 public:
  explicit TPlainBytes(TInputFile& file) : m_file(file) {}
  std::size_t ReadInto(char* buffer, std::size_t room) override { return m_file.Read(buffer, std::min(room, kChunk)); }
  std::size_t PreferredRoom() const override { return std::size_t{1} << 16; }

 private:
  TInputFile& m_file;
};

// An archive of gzip members. A member is decompressed whole at once when it and its output fit the
// buffers (the usual member holding one record), straight into the reader's window when that has room
// for the largest member met so far; a larger one, or one that does not decompress at once, is inflated
// as a stream, which also tells where a damaged member ends the data it gives.
class TGzipBytes final : public TArchiveBytes {
 public:
  TGzipBytes(TInputFile& file, std::function<void(const std::string&)> problem)
      : m_file(file),
        m_problem(std::move(problem)),
        // A small archive needs no more than its size.
        m_inCapacity(static_cast<std::size_t>(std::clamp<std::uint64_t>(file.Size(), kChunk / 16, kInput))),
        m_in(new char[m_inCapacity]),
        m_outCapacity(kChunk) {
    m_decompressor = libdeflate_alloc_decompressor();
    if (!m_decompressor) throw std::bad_alloc();
  }
  ~TGzipBytes() override {
    libdeflate_free_decompressor(m_decompressor);
    if (m_streaming) inflateEnd(&m_stream);
  }

  std::size_t ReadInto(char* buffer, std::size_t room) override {
    while (m_outStart == m_outEnd) {
      if (m_streaming) {
        Inflate();
        continue;
      }
      // A member decompressed in place is the caller's at once.
      const std::size_t made = StartMember(room >= m_outCapacity ? buffer : nullptr, room);
      if (made == kEnd) return 0;
      if (made > 0) return made;
    }
    const std::size_t count = std::min(room, m_outEnd - m_outStart);
    std::memcpy(buffer, m_out.get() + m_outStart, count);
    m_outStart += count;
    return count;
  }
  std::size_t PreferredRoom() const override { return m_outCapacity; }

 private:
  static constexpr std::size_t kInput = std::size_t{4} << 20;
  static constexpr std::size_t kLargestOutput = std::size_t{16} << 20;

  // Fills the input buffer as far as it goes, keeping its unread bytes.
  void FillInput() {
    if (m_inStart > 0) {
      std::memmove(m_in.get(), m_in.get() + m_inStart, m_inEnd - m_inStart);
      m_inEnd -= m_inStart;
      m_inConsumed += m_inStart;
      m_inStart = 0;
    }
    while (!m_inputEnded && m_inEnd < m_inCapacity) {
      const std::size_t got = m_file.Read(m_in.get() + m_inEnd, m_inCapacity - m_inEnd);
      if (got == 0) m_inputEnded = true;
      m_inEnd += got;
    }
  }
  std::uint64_t Position() const { return m_inConsumed + m_inStart; }

  // Skips to the next gzip member's first bytes after the one at the current position.
  void SkipToNextMember() {
    ++m_inStart;
    for (;;) {
      const char* begin = m_in.get() + m_inStart;
      const char* end = m_in.get() + m_inEnd;
      for (const char* p = begin; p + 2 < end; ++p) {
        p = static_cast<const char*>(std::memchr(p, 0x1F, static_cast<std::size_t>(end - p)));
        if (!p || p + 2 >= end) break;
        if (static_cast<unsigned char>(p[1]) == 0x8B && p[2] == 8) {
          m_inStart = static_cast<std::size_t>(p - m_in.get());
          return;
        }
      }
      // Keep the last two bytes: they may begin a member.
      m_inStart = std::max(m_inStart, m_inEnd >= 2 ? m_inEnd - 2 : 0);
      if (m_inputEnded) {
        m_inStart = m_inEnd;
        return;
      }
      FillInput();
    }
  }

  static constexpr std::size_t kEnd = ~std::size_t{0};

  // Decompresses the next member, into target (of size room) when given and the member fits there,
  // into the buffer of its own otherwise. Returns the bytes written to target, or 0 (the bytes, if
  // any, wait in the own buffer or the stream), or kEnd at the end of the archive.
  std::size_t StartMember(char* target, std::size_t room) {
    // Once the file has been read whole, moving what is left would gain nothing, and would move up to
    // half the buffer for every member of the archive's last megabytes.
    if (!m_inputEnded && m_inEnd - m_inStart < m_inCapacity / 2) FillInput();
    if (m_inStart == m_inEnd) return kEnd;
    const auto* in = reinterpret_cast<const unsigned char*>(m_in.get() + m_inStart);
    const std::size_t available = m_inEnd - m_inStart;
    if (available < 3 || in[0] != 0x1F || in[1] != 0x8B || in[2] != 8) {
      m_problem("bytes that are not gzip data at byte " + std::to_string(Position()) + ", skipped");
      SkipToNextMember();
      return 0;
    }
    for (;;) {
      if (!target && !m_out) m_out.reset(new char[m_outCapacity]);
      std::size_t used = 0;
      std::size_t made = 0;
      const libdeflate_result result = libdeflate_gzip_decompress_ex(
          m_decompressor, in, available, target ? target : m_out.get(), target ? room : m_outCapacity, &used, &made);
      if (result == LIBDEFLATE_SUCCESS) {
        m_inStart += used;
        if (target) return made;
        m_outStart = 0;
        m_outEnd = made;
        return 0;
      }
      if (result == LIBDEFLATE_INSUFFICIENT_SPACE && (target || m_outCapacity < kLargestOutput)) {
        // Larger than the room: the own buffer, grown past the room, takes it; the caller offers more
        // room from then on.
        if (!target || m_outCapacity <= room) {
          m_outCapacity = std::min(std::max(m_outCapacity, room) * 4, kLargestOutput);
          m_out.reset();
        }
        // No larger buffer to try: the stream takes it.
        if (target && m_outCapacity <= room) break;
        target = nullptr;
        continue;
      }
      break;
    }
    if (!m_out) m_out.reset(new char[m_outCapacity]);
    // Too large for the buffers, or damaged: the stream says which, and where.
    std::memset(&m_stream, 0, sizeof m_stream);
    if (inflateInit2(&m_stream, 16 + MAX_WBITS) != Z_OK) throw std::bad_alloc();
    m_streaming = true;
    m_memberStart = Position();
    return 0;
  }

  void EndStreaming() {
    inflateEnd(&m_stream);
    m_streaming = false;
  }

  void Inflate() {
    if (m_inStart == m_inEnd) FillInput();
    m_stream.next_in = reinterpret_cast<Bytef*>(m_in.get() + m_inStart);
    m_stream.avail_in = static_cast<uInt>(m_inEnd - m_inStart);
    m_stream.next_out = reinterpret_cast<Bytef*>(m_out.get());
    m_stream.avail_out = static_cast<uInt>(std::min(m_outCapacity, kChunk));
    const int result = inflate(&m_stream, Z_NO_FLUSH);
    m_inStart = m_inEnd - m_stream.avail_in;
    m_outStart = 0;
    m_outEnd = reinterpret_cast<char*>(m_stream.next_out) - m_out.get();
    if (result == Z_STREAM_END) {
      EndStreaming();
    } else if (result == Z_DATA_ERROR || result == Z_NEED_DICT) {
      EndStreaming();
      m_problem("a gzip member that does not decompress at byte " + std::to_string(m_memberStart) + ", skipped");
      m_outEnd = 0;
      m_inStart = static_cast<std::size_t>(std::max<std::uint64_t>(m_memberStart, m_inConsumed) - m_inConsumed);
      SkipToNextMember();
    } else if (result == Z_MEM_ERROR) {
      throw std::bad_alloc();
    } else if (m_outEnd == 0 && m_inStart == m_inEnd && m_inputEnded) {
      // The archive ends inside the member: what it gave has been read.
      EndStreaming();
      m_problem("the archive ends inside a gzip member at byte " + std::to_string(m_memberStart));
    }
  }

  TInputFile& m_file;
  std::function<void(const std::string&)> m_problem;
  libdeflate_decompressor* m_decompressor = nullptr;
  const std::size_t m_inCapacity;
  std::unique_ptr<char[]> m_in;
  std::size_t m_inStart = 0;
  std::size_t m_inEnd = 0;
  std::uint64_t m_inConsumed = 0;  // the file's bytes moved out of the input buffer
  bool m_inputEnded = false;
  std::unique_ptr<char[]> m_out;
  std::size_t m_outCapacity = 0;
  std::size_t m_outStart = 0;
  std::size_t m_outEnd = 0;
  bool m_streaming = false;
  z_stream m_stream;
  std::uint64_t m_memberStart = 0;
};

// Undoes "Transfer-Encoding: chunked" in place; the decoded length, or npos when the chunks are broken.
std::size_t Dechunk(char* body, std::size_t size) {
  std::size_t read = 0;
  std::size_t written = 0;
  for (;;) {
    std::size_t lineEnd = read;
    while (lineEnd < size && body[lineEnd] != '\n') ++lineEnd;
    if (lineEnd >= size) return std::string_view::npos;
    std::size_t length = 0;
    const char* digits = body + read;
    const auto [stop, error] = std::from_chars(digits, body + lineEnd, length, 16);
    if (error != std::errc() || stop == digits) return std::string_view::npos;
    read = lineEnd + 1;
    if (length == 0) return written;  // trailer fields are not needed
    if (length > size - read) return std::string_view::npos;
    std::memmove(body + written, body + read, length);
    written += length;
    read += length;
    if (read < size && body[read] == '\r') ++read;
    if (read < size && body[read] == '\n') ++read;
  }
}

}  // namespace

bool IsArchiveFileName(std::string_view name) { return EndsWithNoCase(name, ".warc") || EndsWithNoCase(name, ".warc.gz"); }

bool InflateContent(std::string_view body, std::string& out, std::size_t limit) {
  out.clear();
  // gzip or zlib by their header; a bare deflate stream, as some servers send "deflate", otherwise.
  for (int windowBits : {32 + MAX_WBITS, -MAX_WBITS}) {
    z_stream stream;
    std::memset(&stream, 0, sizeof stream);
    if (inflateInit2(&stream, windowBits) != Z_OK) throw std::bad_alloc();
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(body.data()));
    stream.avail_in = static_cast<uInt>(body.size());
    int result = Z_OK;
    while (result == Z_OK) {
      if (out.size() >= limit) {
        result = Z_BUF_ERROR;  // larger than a page may be
        break;
      }
      const std::size_t before = out.size();
      const std::size_t room = std::min<std::size_t>(std::max<std::size_t>(body.size() * 4, 1 << 16), limit - before);
      out.resize(before + room);
      stream.next_out = reinterpret_cast<Bytef*>(out.data() + before);
      stream.avail_out = static_cast<uInt>(room);
      result = inflate(&stream, Z_NO_FLUSH);
      out.resize(out.size() - stream.avail_out);
    }
    inflateEnd(&stream);
    if (result == Z_STREAM_END) return true;
    if (result != Z_DATA_ERROR) return false;
  }
  return false;
}

struct TWarcReader::TRecordHeader {
  std::size_t size = 0;  // the header's bytes, its blank line included
  std::uint64_t length = 0;
  std::string_view type;
  std::uint64_t offset = 0;
};

TWarcReader::TWarcReader(TInputFile& file, std::uint64_t start, std::uint64_t end)
    : m_path(file.Path()), m_rangeEnd(end) {
  char magic[2] = {0, 0};
  std::size_t got = 0;
  for (std::size_t n; got < 2 && (n = file.Read(magic + got, 2 - got)) != 0;) got += n;
  file.Rewind();
  const bool gzip =
      got == 2 && static_cast<unsigned char>(magic[0]) == 0x1F && static_cast<unsigned char>(magic[1]) == 0x8B;
  if (start > 0) {
    // Only a plain archive can be entered in the middle: its offsets are the file's.
    if (gzip) throw TFileError("Cannot read a byte range of " + m_path + ": it is gzipped");
    file.Seek(start);
    m_bytes = std::make_unique<TPlainBytes>(file);
    m_offset = start;
    m_findFirst = true;
    return;
  }
  auto problem = [this](const std::string& what) { Report(what); };
  if (gzip)
    m_bytes = std::make_unique<TGzipBytes>(file, problem);
  else
    m_bytes = std::make_unique<TPlainBytes>(file);
}

TWarcReader::~TWarcReader() = default;

void TWarcReader::Report(const std::string& what) {
  ++m_damaged;
  if (Problem) Problem(m_path + ": " + what);
}

bool TWarcReader::Ensure(std::size_t count) {
  while (m_end - m_start < count) {
    if (m_atEnd) return false;
    // Room for what is missing, and for the next member to be decompressed in place.
    const std::size_t want = std::max(count - (m_end - m_start), m_bytes->PreferredRoom());
    if (m_capacity - m_end < want) {
      if (m_start > 0) {
        std::memmove(m_window.get(), m_window.get() + m_start, m_end - m_start);
        m_end -= m_start;
        m_start = 0;
      }
      if (m_capacity - m_end < want) {
        const std::size_t capacity = std::max(m_end + want, m_capacity * 2);
        std::unique_ptr<char[]> window(new char[capacity]);
        if (m_end > 0) std::memcpy(window.get(), m_window.get(), m_end);
        m_window = std::move(window);
        m_capacity = capacity;
      }
    }
    const std::size_t got = m_bytes->ReadInto(m_window.get() + m_end, m_capacity - m_end);
    if (got == 0) {
      m_atEnd = true;
      return false;
    }
    m_end += got;
  }
  return true;
}

void TWarcReader::Drop(std::size_t count) {
  m_start += count;
  m_offset += count;
}

bool TWarcReader::SkipBytes(std::uint64_t count) {
  while (count > 0) {
    if (m_start == m_end && !Ensure(1)) return false;
    const std::size_t step = static_cast<std::size_t>(std::min<std::uint64_t>(count, m_end - m_start));
    Drop(step);
    count -= step;
  }
  return true;
}

bool TWarcReader::Resync(std::size_t from, std::uint64_t limit) {
  constexpr std::string_view kMark = "WARC/1.";
  Drop(std::min(from, m_end - m_start));
  for (;;) {
    if (m_offset >= limit) return false;
    const std::string_view text(m_window.get() + m_start, m_end - m_start);
    const std::size_t found = text.find(kMark);
    if (found != std::string_view::npos) {
      Drop(found);
      return true;
    }
    if (text.size() >= kMark.size()) Drop(text.size() - (kMark.size() - 1));
    if (!Ensure(m_end - m_start + 1)) {
      Drop(m_end - m_start);
      return false;
    }
  }
}

bool TWarcReader::FindFirstRecord() {
  // "WARC/1." inside a record's payload is no record: a candidate counts when a whole WARC header with
  // a type and a length follows it.
  constexpr std::size_t kLook = std::size_t{64} << 10;
  while (Resync(0, m_rangeEnd)) {
    Ensure(kLook);
    const std::string_view text(m_window.get() + m_start, std::min(m_end - m_start, kLook));
    const std::size_t end = HeaderEnd(text);
    if (end != std::string_view::npos && (text.starts_with("WARC/1.0\r\n") || text.starts_with("WARC/1.1\r\n"))) {
      const std::string_view fields = text.substr(0, end);
      const std::string_view length = HeaderField(fields, "Content-Length");
      std::uint64_t value = 0;
      const auto [stop, error] = std::from_chars(length.data(), length.data() + length.size(), value);
      if (!length.empty() && error == std::errc() && stop == length.data() + length.size() &&
          !HeaderField(fields, "WARC-Type").empty() && !HeaderField(fields, "WARC-Record-ID").empty())
        return true;
    }
    Drop(1);
  }
  return false;
}

bool TWarcReader::ReadHeader(TRecordHeader& header) {
  constexpr std::size_t kLargestHeader = std::size_t{1} << 20;
  if (m_findFirst) {
    m_findFirst = false;
    if (!FindFirstRecord()) return false;
  }
  for (;;) {
    // Line ends between records.
    while (Ensure(1) && (m_window[m_start] == '\r' || m_window[m_start] == '\n')) Drop(1);
    if (m_start == m_end) return false;
    header.offset = m_offset;
    // The range's last record is the last to start before its end.
    if (m_offset >= m_rangeEnd) return false;
    // The header ends at its blank line.
    std::size_t end = std::string_view::npos;
    std::size_t searched = 0;
    while (end == std::string_view::npos) {
      const std::string_view text(m_window.get() + m_start, m_end - m_start);
      if (text.size() >= 8 && !text.starts_with("WARC/1.")) break;
      end = HeaderEnd(text, searched);
      if (end != std::string_view::npos || text.size() > kLargestHeader) break;
      searched = text.size() >= 2 ? text.size() - 2 : 0;
      if (!Ensure(text.size() + 1)) break;
    }
    const std::string_view text(m_window.get() + m_start, m_end - m_start);
    const std::string_view mark = std::string_view("WARC/1.").substr(0, std::min<std::size_t>(text.size(), 7));
    if (end == std::string_view::npos && m_atEnd && text.starts_with(mark)) {
      Report("the archive ends inside the header of the record at byte " + std::to_string(header.offset));
      Drop(text.size());
      return false;
    }
    std::string_view length;
    if (end != std::string_view::npos && (text.starts_with("WARC/1.0") || text.starts_with("WARC/1.1"))) {
      const std::string_view fields = text.substr(0, end);
      length = HeaderField(fields, "Content-Length");
      std::uint64_t value = 0;
      const auto [stop, error] = std::from_chars(length.data(), length.data() + length.size(), value);
      // No archive holds a record of a petabyte: a length beyond that is damage, never a sum that wraps.
      constexpr std::uint64_t kLongest = std::uint64_t{1} << 50;
      if (!length.empty() && error == std::errc() && stop == length.data() + length.size() && value < kLongest) {
        m_header.assign(fields);
        header.size = end;
        header.length = value;
        header.type = HeaderField(m_header, "WARC-Type");
        ++m_records;
        m_problemsSinceResync = 0;
        return true;
      }
      Report("the record at byte " + std::to_string(header.offset) + " has no valid Content-Length, skipped");
    } else if (m_problemsSinceResync == 0) {
      Report("bytes that are not a WARC record at byte " + std::to_string(header.offset) + ", skipped");
    }
    ++m_problemsSinceResync;
    if (!Resync(1)) return false;
  }
}

bool TWarcReader::NextPage(TArchivePage& page) {
  TRecordHeader header;
  while (ReadHeader(header)) {
    const std::uint64_t total = header.size + header.length;
    bool response = EqualNoCase(header.type, "response");
    if (response) {
      // The HTTP header says whether the record is a page; a page too large to hold is skipped.
      const std::size_t peek = static_cast<std::size_t>(std::min<std::uint64_t>(total, header.size + (64 << 10)));
      Ensure(peek);
      const std::string_view http(m_window.get() + m_start + header.size, std::min(peek, m_end - m_start) - header.size);
      const std::size_t httpEnd = HeaderEnd(http);
      const std::string_view httpHeader = http.substr(0, httpEnd == std::string_view::npos ? http.size() : httpEnd);
      std::string_view type = HeaderField(httpHeader, "Content-Type");
      type = Trimmed(type.substr(0, type.find(';')));
      response = http.starts_with("HTTP/") && (EqualNoCase(type, "text/html") || EqualNoCase(type, "application/xhtml+xml"));
      if (response && total + 4 > kLargestRecord) {
        Report("the page of the record at byte " + std::to_string(header.offset) + " is larger than " +
               std::to_string(kLargestRecord >> 20) + " MB, skipped");
        response = false;
      }
    }
    // Other records are passed over; a small one is held like a page, so that a wrong length is
    // found and the records after it are read.
    constexpr std::uint64_t kHeldToSkip = std::uint64_t{1} << 20;
    if (!response && total > kHeldToSkip) {
      // Passed over without being held; its end is checked as far as the window holds it.
      if (!SkipBytes(total)) {
        Report("the archive ends inside the record at byte " + std::to_string(header.offset));
        return false;
      }
      if (Ensure(2) && !(m_window[m_start] == '\r' || m_window[m_start] == '\n')) {
        Report("the record at byte " + std::to_string(header.offset) + " does not end where its length says, skipped");
        Resync(0);
      }
      continue;
    }
    const std::size_t size = static_cast<std::size_t>(total);
    if (!Ensure(size)) {
      // Cut short, or a length too large: a record after it is still looked for.
      Report("the archive ends inside the record at byte " + std::to_string(header.offset));
      if (!Resync(1)) return false;
      continue;
    }
    // A record ends with CR LF CR LF; one that does not was given a wrong length: the next record is
    // looked for after its start.
    Ensure(size + 4);
    const std::string_view after(m_window.get() + m_start + size, std::min<std::size_t>(m_end - m_start - size, 4));
    const bool ends = after == "\r\n\r\n" || (m_atEnd && std::string_view("\r\n\r\n").starts_with(after)) ||
                      after.starts_with("\n\n") || after.starts_with("\r\n\n");
    if (!ends) {
      Report("the record at byte " + std::to_string(header.offset) + " does not end where its length says, skipped");
      Resync(1);
      continue;
    }
    std::string_view block(m_window.get() + m_start + header.size, static_cast<std::size_t>(header.length));
    Drop(size);
    if (response && DecodePage(header, block, page)) return true;
  }
  return false;
}

bool TWarcReader::DecodePage(TRecordHeader& header, std::string_view block, TArchivePage& page) {
  const std::size_t httpEnd = HeaderEnd(block);
  if (httpEnd == std::string_view::npos) {
    Report("the HTTP header of the record at byte " + std::to_string(header.offset) + " has no end, skipped");
    return false;
  }
  const std::string_view http = block.substr(0, httpEnd);
  char* body = const_cast<char*>(block.data()) + httpEnd;
  std::size_t bodySize = block.size() - httpEnd;
  if (HeaderField(http, "Transfer-Encoding").find("chunked") != std::string_view::npos ||
      HeaderField(http, "Transfer-Encoding").find("Chunked") != std::string_view::npos) {
    bodySize = Dechunk(body, bodySize);
    if (bodySize == std::string_view::npos) {
      Report("the chunked page of the record at byte " + std::to_string(header.offset) + " is broken, skipped");
      return false;
    }
  }
  std::string_view html(body, bodySize);
  const std::string_view encoding = HeaderField(http, "Content-Encoding");
  if (!encoding.empty() && !EqualNoCase(encoding, "identity")) {
    if (!EqualNoCase(encoding, "gzip") && !EqualNoCase(encoding, "x-gzip") && !EqualNoCase(encoding, "deflate")) {
      Report("the page of the record at byte " + std::to_string(header.offset) + " has Content-Encoding " +
             std::string(encoding) + ", which is not read, skipped");
      return false;
    }
    if (!InflateContent(html, m_payload, kLargestRecord)) {
      Report("the compressed page of the record at byte " + std::to_string(header.offset) +
             " does not decompress, skipped");
      return false;
    }
    html = m_payload;
  }
  // The header's charset is the page's declaration.
  page.HttpCharset.clear();
  std::string_view type = HeaderField(http, "Content-Type");
  for (std::size_t semicolon = type.find(';'); semicolon != std::string_view::npos; semicolon = type.find(';')) {
    type.remove_prefix(semicolon + 1);
    const std::string_view parameter = Trimmed(type.substr(0, type.find(';')));
    if (parameter.size() > 8 && EqualNoCase(parameter.substr(0, 8), "charset=")) {
      std::string_view name = Trimmed(parameter.substr(8));
      if (name.size() >= 2 && (name.front() == '"' || name.front() == '\'')) name = name.substr(1, name.size() - 2);
      // Only the letters of a charset name can stand in the element.
      if (!name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
                   c == '.' || c == ':';
          }))
        page.HttpCharset = "<meta charset=\"" + std::string(name) + "\">";
      break;
    }
  }
  page.Url = HeaderField(m_header, "WARC-Target-URI");
  page.Record = HeaderField(m_header, "WARC-Record-ID");
  page.Date = HeaderField(m_header, "WARC-Date");
  page.Html = html;
  ++m_pages;
  return true;
}

}  // namespace corvane
