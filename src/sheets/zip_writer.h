#pragma once

#include <cstdint>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// One member of a ZIP archive, compressed and ready to be written: the deflated bytes with the CRC-32
// and the size of what they hold.
struct TZipMember {
  // Deflated content written before Deflated (see PrependToMember); empty for most members.
  std::string DeflatedHead;
  std::string Deflated;
  std::uint32_t Crc = 0;
  std::uint64_t Size = 0;
};

// Deflates a member's content held whole, in one pass that is two to three times as fast as a stream's
// and compresses better. Threads may call it at once.
TZipMember DeflateWhole(std::string_view content);

// Deflates one member from pieces of its content, for a member too large to hold whole; Finish ends
// it, and the compressor with it. Members are independent, so that several threads can each compress
// their own; the compression state goes back to its thread when the compressor goes, to serve that
// thread's next member.
class TZipCompressor {
 public:
  // sizeHint: roughly how large the content will be, which picks a hash table that is cheap to set up
  // for a small member and compresses well for a large one.
  explicit TZipCompressor(std::size_t sizeHint);
  ~TZipCompressor();
  TZipCompressor(const TZipCompressor&) = delete;
  TZipCompressor& operator=(const TZipCompressor&) = delete;

  void Add(std::string_view bytes);
  TZipMember Finish();
  // Ends the member without marking its last block as the last: deflated data may follow it.
  TZipMember FinishOpen();

  struct TStream;

 private:
  void Deflate(std::string_view bytes, int flush);

  TStream* m_stream;
  TZipMember m_member;
};

// Deflates a member made of records much alike, such as a list of a sheet's hyperlinks: each record is
// given in a few fields, and a field that begins as the same field of one of the last few records
// becomes a reference back to it, the rest of it written as it is, with deflate's fixed codes. That
// costs a few operations a byte where a general compressor searches for every repeat, for bytes
// somewhat more than it would make (fixed codes, and no repeats searched for across fields). Fields of
// the same number are matched against each other.
class TRecordDeflater {
 public:
  static constexpr int kFields = 2;
  TRecordDeflater();
  ~TRecordDeflater();
  TRecordDeflater(const TRecordDeflater&) = delete;
  TRecordDeflater& operator=(const TRecordDeflater&) = delete;

  // field: 0 to kFields - 1; -1 for bytes matched against nothing (the part's beginning).
  void Add(std::string_view bytes, int field);
  TZipMember Finish();

  static constexpr int kKept = 4;  // the occurrences of a field that are looked back at
  struct TOccurrence {
    std::uint64_t At = 0;  // where it began, among all the member's bytes
    std::string Bytes;
  };
  using TKept = std::array<std::array<TOccurrence, kKept>, kFields>;

 private:
  void Put(std::uint32_t bits, int count);
  void PutLiterals(std::string_view bytes);
  void PutMatch(std::size_t length, std::size_t distance);

  TZipMember m_member;
  std::uint64_t m_bits = 0;  // bits not yet written, the first in the lowest bit
  int m_bitCount = 0;
  std::unique_ptr<TKept> m_kept;  // from the thread's deflaters before, to spare growing the texts again
  int m_next[kFields] = {};
};

// Puts head before the member's content, compressed on its own: for a part whose beginning depends on
// what follows it (the columns' widths of a sheet before its cells), so that the rest never waits.
void PrependToMember(TZipMember& member, std::string_view head);

// Writes a ZIP archive member by member through sink, in the order given, then its central directory.
// ZIP64 records are written only where the archive needs them (a member or offset past 4 GB, more
// than 65,535 members), so that ordinary archives stay readable by every reader.
class TZipWriter {
 public:
  using TSink = std::function<void(std::string_view)>;
  explicit TZipWriter(TSink sink);

  void Add(const std::string& name, const TZipMember& member);
  void Add(const std::string& name, std::string_view content);
  // Writes the central directory; nothing may be added after it.
  void Finish();

  std::uint64_t BytesWritten() const { return m_offset; }

 private:
  struct TEntry {
    std::string Name;
    std::uint32_t Crc;
    std::uint64_t CompressedSize;
    std::uint64_t Size;
    std::uint64_t Offset;
  };
  void Write(std::string_view bytes);

  TSink m_sink;
  std::vector<TEntry> m_entries;
  std::uint64_t m_offset = 0;
  std::uint16_t m_dosTime = 0;
  std::uint16_t m_dosDate = 0;
};

}  // namespace corvane
