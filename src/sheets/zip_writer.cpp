#include "sheets/zip_writer.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <ctime>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>

namespace corvane {

namespace {

// Members smaller than this get a small window and hash table: setting up the large ones costs more
// than compressing a small member.
constexpr std::size_t kSmallMember = std::size_t{16} << 10;
constexpr std::uint32_t kMax32 = 0xFFFFFFFFu;
constexpr std::uint16_t kVersion = 20;    // 2.0: deflate
constexpr std::uint16_t kVersion64 = 45;  // 4.5: ZIP64
constexpr std::uint16_t kUtf8Names = 0x0800;

void Put16(std::string& out, std::uint16_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>(value >> 8));
}

void Put32(std::string& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

void Put64(std::string& out, std::uint64_t value) {
  for (int shift = 0; shift < 64; shift += 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

std::uint32_t Clamp32(std::uint64_t value) { return value >= kMax32 ? kMax32 : static_cast<std::uint32_t>(value); }

// The CRC-32 of a ZIP member, continued over bytes.
std::uint32_t Crc32(std::uint32_t crc, std::string_view bytes) {
  return libdeflate_crc32(crc, bytes.data(), bytes.size());
}

// What a thread deflates whole members with: the compressor, set up once, and room for its output,
// which a member's string then takes at its exact size.
class TWholeDeflater {
 public:
  ~TWholeDeflater() {
    if (m_compressor) libdeflate_free_compressor(m_compressor);
  }
  TZipMember Deflate(std::string_view content) {
    // Level 1 takes a sheet's XML to about a sixth, faster than any other.
    if (!m_compressor && !(m_compressor = libdeflate_alloc_compressor(1))) throw std::bad_alloc();
    const std::size_t bound = libdeflate_deflate_compress_bound(m_compressor, content.size());
    if (bound > m_room) {
      m_output.reset();
      m_output = std::make_unique_for_overwrite<char[]>(bound);
      m_room = bound;
    }
    const std::size_t size = libdeflate_deflate_compress(m_compressor, content.data(), content.size(), m_output.get(), bound);
    if (size == 0) throw std::runtime_error("deflate failed");
    TZipMember member;
    member.Deflated.assign(m_output.get(), size);
    member.Crc = Crc32(0, content);
    member.Size = content.size();
    // Room for a large member is not kept for the thread's next ones.
    if (m_room > kKeptRoom) {
      m_output.reset();
      m_room = 0;
    }
    return member;
  }

 private:
  static constexpr std::size_t kKeptRoom = std::size_t{2} << 20;
  libdeflate_compressor* m_compressor = nullptr;
  std::unique_ptr<char[]> m_output;
  std::size_t m_room = 0;
};

thread_local TWholeDeflater t_wholeDeflater;

}  // namespace

TZipMember DeflateWhole(std::string_view content) { return t_wholeDeflater.Deflate(content); }

struct TZipCompressor::TStream {
  z_stream Z{};
  bool Small = false;
};

namespace {

// Compression states kept from member to member on each thread: setting one up costs far more than
// compressing a member of a small table, and resetting one costs little.
class TStreamPool {
 public:
  ~TStreamPool() {
    for (auto* stream : m_free) {
      deflateEnd(&stream->Z);
      delete stream;
    }
  }
  TZipCompressor::TStream* Take(bool small) {
    for (std::size_t k = m_free.size(); k-- > 0;) {
      if (m_free[k]->Small != small) continue;
      TZipCompressor::TStream* stream = m_free[k];
      m_free.erase(m_free.begin() + static_cast<std::ptrdiff_t>(k));
      return stream;
    }
    auto* stream = new TZipCompressor::TStream;
    stream->Small = small;
    // Level 1: a sheet's XML repeats itself so much that the fastest level already takes it to a fifth.
    if (deflateInit2(&stream->Z, 1, Z_DEFLATED, small ? -12 : -15, small ? 4 : 8, Z_DEFAULT_STRATEGY) != Z_OK) {
      delete stream;
      throw std::bad_alloc();
    }
    return stream;
  }
  void Give(TZipCompressor::TStream* stream) {
    if (m_free.size() >= 4 || deflateReset(&stream->Z) != Z_OK) {
      deflateEnd(&stream->Z);
      delete stream;
      return;
    }
    m_free.push_back(stream);
  }

 private:
  std::vector<TZipCompressor::TStream*> m_free;
};

thread_local TStreamPool t_streams;

}  // namespace

TZipCompressor::TZipCompressor(std::size_t sizeHint) : m_stream(t_streams.Take(sizeHint < kSmallMember)) {}

TZipCompressor::~TZipCompressor() { t_streams.Give(m_stream); }

void TZipCompressor::Deflate(std::string_view bytes, int flush) {
  z_stream& z = m_stream->Z;
  std::string& out = m_member.Deflated;
  // zlib takes at most 4 GB at a time.
  do {
    const std::size_t piece = std::min<std::size_t>(bytes.size(), std::numeric_limits<uInt>::max());
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(piece);
    const bool last = flush != Z_NO_FLUSH && piece == bytes.size();
    int result;
    do {
      const std::size_t used = out.size();
      const std::size_t room = std::max<std::size_t>(deflateBound(&z, z.avail_in) + 64, 4096);
      out.resize(used + room);
      z.next_out = reinterpret_cast<Bytef*>(out.data() + used);
      z.avail_out = static_cast<uInt>(room);
      result = deflate(&z, last ? flush : Z_NO_FLUSH);
      const bool full = z.avail_out == 0;
      out.resize(used + room - z.avail_out);
      if (result == Z_STREAM_ERROR) throw std::runtime_error("deflate failed");
      // A flush is done when it leaves room; a finish when the stream has ended.
      if (last && flush != Z_FINISH && !full && z.avail_in == 0) break;
    } while (z.avail_in > 0 || (last && result != Z_STREAM_END));
    bytes.remove_prefix(piece);
  } while (!bytes.empty());
}

void TZipCompressor::Add(std::string_view bytes) {
  if (bytes.empty()) return;
  m_member.Size += bytes.size();
  m_member.Crc = Crc32(m_member.Crc, bytes);
  Deflate(bytes, Z_NO_FLUSH);
}

TZipMember TZipCompressor::FinishOpen() {
  Deflate({}, Z_SYNC_FLUSH);
  TZipMember member = std::move(m_member);
  m_member = {};
  return member;
}

TZipMember TZipCompressor::Finish() {
  Deflate({}, Z_FINISH);
  m_member.Deflated.shrink_to_fit();
  TZipMember member = std::move(m_member);
  m_member = {};
  return member;
}

void PrependToMember(TZipMember& member, std::string_view head) {
  TZipCompressor compressor(head.size());
  compressor.Add(head);
  TZipMember first = compressor.FinishOpen();
  // Data ended by a sync flush ends on a byte boundary without a last block: the member's own stream
  // goes on from there as a stream of its own would.
  member.DeflatedHead = std::move(first.Deflated) + member.DeflatedHead;
  member.Crc = static_cast<std::uint32_t>(crc32_combine(first.Crc, member.Crc, static_cast<z_off_t>(member.Size)));
  member.Size += first.Size;
}

namespace {

// Deflate's fixed codes. A code is written from its first bit on while the stream takes bits from the
// lowest up, so the codes are kept reversed; a length's extra bits follow its code in the same value.
struct TFixedCode {
  std::uint32_t Bits = 0;
  int Count = 0;
};

std::uint32_t Reversed(std::uint32_t code, int count) {
  std::uint32_t reversed = 0;
  for (int k = 0; k < count; ++k) reversed |= ((code >> k) & 1u) << (count - 1 - k);
  return reversed;
}

struct TFixedCodes {
  TFixedCode Literal[256];
  TFixedCode Length[259];  // by match length, 3 to 258: the length's code and its extra bits
  TFixedCode EndOfBlock;
  TFixedCodes() {
    auto symbol = [](int value) {
      if (value < 144) return TFixedCode{Reversed(0x30u + static_cast<std::uint32_t>(value), 8), 8};
      if (value < 256) return TFixedCode{Reversed(0x190u + static_cast<std::uint32_t>(value - 144), 9), 9};
      if (value < 280) return TFixedCode{Reversed(static_cast<std::uint32_t>(value - 256), 7), 7};
      return TFixedCode{Reversed(0xC0u + static_cast<std::uint32_t>(value - 280), 8), 8};
    };
    for (int value = 0; value < 256; ++value) Literal[value] = symbol(value);
    EndOfBlock = symbol(256);
    static constexpr int kBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static constexpr int kExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    for (int code = 0; code < 29; ++code) {
      const TFixedCode length = symbol(257 + code);
      const int last = code == 28 ? 258 : kBase[code] + (1 << kExtra[code]) - 1;
      for (int value = kBase[code]; value <= last; ++value)
        Length[value] = {length.Bits | (static_cast<std::uint32_t>(value - kBase[code]) << length.Count), length.Count + kExtra[code]};
    }
  }
};

const TFixedCodes kFixed;

// How many bytes a and b begin with alike, compared eight at a time.
std::size_t SharedBeginning(std::string_view a, std::string_view b) {
  const std::size_t most = std::min(a.size(), b.size());
  std::size_t same = 0;
  for (; same + 8 <= most; same += 8) {
    std::uint64_t x;
    std::uint64_t y;
    std::memcpy(&x, a.data() + same, 8);
    std::memcpy(&y, b.data() + same, 8);
    if (x != y) {
      // The lowest byte is the first in memory.
      static_assert(std::endian::native == std::endian::little);
      return same + static_cast<std::size_t>(__builtin_ctzll(x ^ y) / 8);
    }
  }
  while (same < most && a[same] == b[same]) ++same;
  return same;
}

}  // namespace

namespace {

// The fields a thread's record deflaters kept, given back for its next ones.
thread_local std::vector<std::unique_ptr<TRecordDeflater::TKept>> t_kept;

}  // namespace

TRecordDeflater::TRecordDeflater() {
  if (t_kept.empty()) {
    m_kept = std::make_unique<TKept>();
  } else {
    m_kept = std::move(t_kept.back());
    t_kept.pop_back();
  }
  m_member.Deflated.reserve(2048);
  // One block to the end, with the fixed codes: the last block (1), of type 1 (1, 0).
  Put(0b011, 3);
}

TRecordDeflater::~TRecordDeflater() {
  if (t_kept.size() >= 4) return;
  for (auto& field : *m_kept)
    for (TOccurrence& kept : field) kept.Bytes.clear();
  t_kept.push_back(std::move(m_kept));
}

void TRecordDeflater::Put(std::uint32_t bits, int count) {
  m_bits |= static_cast<std::uint64_t>(bits) << m_bitCount;
  m_bitCount += count;
  if (m_bitCount < 32) return;
  const char bytes[4] = {static_cast<char>(m_bits & 0xFF), static_cast<char>((m_bits >> 8) & 0xFF),
                         static_cast<char>((m_bits >> 16) & 0xFF), static_cast<char>((m_bits >> 24) & 0xFF)};
  m_member.Deflated.append(bytes, 4);
  m_bits >>= 32;
  m_bitCount -= 32;
}

void TRecordDeflater::PutLiterals(std::string_view bytes) {
  for (const char c : bytes) {
    const TFixedCode& code = kFixed.Literal[static_cast<unsigned char>(c)];
    Put(code.Bits, code.Count);
  }
}

void TRecordDeflater::PutMatch(std::size_t length, std::size_t distance) {
  const TFixedCode& code = kFixed.Length[length];
  Put(code.Bits, code.Count);
  // Distances 1 to 4 have a code each; then each power of two is split in two codes, told apart by
  // the bit below the highest, with the bits below that as extra bits.
  const auto d = static_cast<std::uint32_t>(distance - 1);
  std::uint32_t symbol = d;
  int extra = 0;
  if (d >= 4) {
    const int high = 31 - __builtin_clz(d);
    extra = high - 1;
    symbol = 2 * static_cast<std::uint32_t>(high) + ((d >> extra) & 1u);
  }
  Put(Reversed(symbol, 5), 5);
  if (extra > 0) Put(d & ((1u << extra) - 1), extra);
}

void TRecordDeflater::Add(std::string_view bytes, int field) {
  const std::uint64_t at = m_member.Size;
  m_member.Size += bytes.size();
  m_member.Crc = Crc32(m_member.Crc, bytes);
  if (field < 0) {
    PutLiterals(bytes);
    return;
  }
  // The longest beginning shared with a kept occurrence of the field, within deflate's reach.
  std::size_t best = 0;
  std::size_t distance = 0;
  for (int k = 1; k <= kKept && best < bytes.size(); ++k) {
    // The latest first: the others count only if they go further.
    const TOccurrence& kept = (*m_kept)[field][(m_next[field] + kKept - k) % kKept];
    if (kept.Bytes.size() <= best || at - kept.At > 32768 || (best > 0 && kept.Bytes[best] != bytes[best])) continue;
    const std::size_t same = SharedBeginning(kept.Bytes, bytes);
    if (same > best) {
      best = same;
      distance = static_cast<std::size_t>(at - kept.At);
    }
  }
  std::size_t done = 0;
  if (best >= 3) {
    // A match is 3 to 258 bytes: a long one goes in pieces, none left shorter than 3.
    for (std::size_t left = best; left > 0;) {
      std::size_t piece = std::min<std::size_t>(left, 258);
      if (left - piece > 0 && left - piece < 3) piece = left - 3;
      PutMatch(piece, distance);
      left -= piece;
    }
    done = best;
  }
  PutLiterals(bytes.substr(done));
  TOccurrence& kept = (*m_kept)[field][m_next[field]];
  m_next[field] = (m_next[field] + 1) % kKept;
  kept.At = at;
  kept.Bytes.assign(bytes);
}

TZipMember TRecordDeflater::Finish() {
  Put(kFixed.EndOfBlock.Bits, kFixed.EndOfBlock.Count);
  std::string& out = m_member.Deflated;
  for (; m_bitCount > 0; m_bitCount -= 8) {
    out.push_back(static_cast<char>(m_bits & 0xFF));
    m_bits >>= 8;
  }
  m_bitCount = 0;
  if (out.capacity() - out.size() > 4096) out.shrink_to_fit();
  TZipMember member = std::move(m_member);
  m_member = {};
  return member;
}

TZipWriter::TZipWriter(TSink sink) : m_sink(std::move(sink)) {
  // The members' time stamp: now, in the local time a ZIP records.
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) && local.tm_year >= 80) {
    m_dosTime = static_cast<std::uint16_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
    m_dosDate = static_cast<std::uint16_t>(((local.tm_year - 80) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
  } else {
    m_dosDate = (1 << 5) | 1;  // 1 January 1980
  }
}

void TZipWriter::Write(std::string_view bytes) {
  m_sink(bytes);
  m_offset += bytes.size();
}

void TZipWriter::Add(const std::string& name, std::string_view content) { Add(name, DeflateWhole(content)); }

void TZipWriter::Add(const std::string& name, const TZipMember& member) {
  const std::uint64_t compressed = member.DeflatedHead.size() + member.Deflated.size();
  // A member whose sizes do not fit in 32 bits records them in a ZIP64 field of its local header.
  const bool large = member.Size >= kMax32 || compressed >= kMax32;
  std::string header;
  header.reserve(30 + name.size() + 20);
  Put32(header, 0x04034b50);
  Put16(header, large ? kVersion64 : kVersion);
  Put16(header, kUtf8Names);
  Put16(header, Z_DEFLATED);
  Put16(header, m_dosTime);
  Put16(header, m_dosDate);
  Put32(header, member.Crc);
  Put32(header, large ? kMax32 : static_cast<std::uint32_t>(compressed));
  Put32(header, large ? kMax32 : static_cast<std::uint32_t>(member.Size));
  Put16(header, static_cast<std::uint16_t>(name.size()));
  Put16(header, large ? 20 : 0);
  header.append(name);
  if (large) {
    Put16(header, 0x0001);
    Put16(header, 16);
    Put64(header, member.Size);
    Put64(header, compressed);
  }
  m_entries.push_back({name, member.Crc, compressed, member.Size, m_offset});
  Write(header);
  Write(member.DeflatedHead);
  Write(member.Deflated);
}

void TZipWriter::Finish() {
  const std::uint64_t directoryStart = m_offset;
  std::string record;
  for (const TEntry& entry : m_entries) {
    record.clear();
    // The ZIP64 field holds, in this order, whichever of the three values do not fit in 32 bits.
    std::string extra;
    if (entry.Size >= kMax32) Put64(extra, entry.Size);
    if (entry.CompressedSize >= kMax32) Put64(extra, entry.CompressedSize);
    if (entry.Offset >= kMax32) Put64(extra, entry.Offset);
    const bool large = !extra.empty();
    Put32(record, 0x02014b50);
    Put16(record, static_cast<std::uint16_t>((3 << 8) | (large ? kVersion64 : kVersion)));  // made on Unix
    Put16(record, large ? kVersion64 : kVersion);
    Put16(record, kUtf8Names);
    Put16(record, Z_DEFLATED);
    Put16(record, m_dosTime);
    Put16(record, m_dosDate);
    Put32(record, entry.Crc);
    Put32(record, Clamp32(entry.CompressedSize));
    Put32(record, Clamp32(entry.Size));
    Put16(record, static_cast<std::uint16_t>(entry.Name.size()));
    Put16(record, static_cast<std::uint16_t>(large ? extra.size() + 4 : 0));
    Put16(record, 0);  // comment
    Put16(record, 0);  // disk
    Put16(record, 0);  // internal attributes
    Put32(record, 0100644u << 16);  // a regular file, rw-r--r--
    Put32(record, Clamp32(entry.Offset));
    record.append(entry.Name);
    if (large) {
      Put16(record, 0x0001);
      Put16(record, static_cast<std::uint16_t>(extra.size()));
      record.append(extra);
    }
    Write(record);
  }
  const std::uint64_t directorySize = m_offset - directoryStart;
  const std::uint64_t count = m_entries.size();
  const bool large = count >= 0xFFFF || directoryStart >= kMax32 || directorySize >= kMax32;
  record.clear();
  if (large) {
    const std::uint64_t recordStart = m_offset;
    Put32(record, 0x06064b50);  // ZIP64 end of central directory
    Put64(record, 44);
    Put16(record, (3 << 8) | kVersion64);
    Put16(record, kVersion64);
    Put32(record, 0);
    Put32(record, 0);
    Put64(record, count);
    Put64(record, count);
    Put64(record, directorySize);
    Put64(record, directoryStart);
    Put32(record, 0x07064b50);  // its locator
    Put32(record, 0);
    Put64(record, recordStart);
    Put32(record, 1);
  }
  Put32(record, 0x06054b50);
  Put16(record, 0);
  Put16(record, 0);
  Put16(record, count >= 0xFFFF ? 0xFFFF : static_cast<std::uint16_t>(count));
  Put16(record, count >= 0xFFFF ? 0xFFFF : static_cast<std::uint16_t>(count));
  Put32(record, Clamp32(directorySize));
  Put32(record, Clamp32(directoryStart));
  Put16(record, 0);
  Write(record);
  m_entries.clear();
}

}  // namespace corvane
