#pragma once

// The conversion job's own pieces of a run, shared by the files that make up TConversionJob: the
// tables a run writes, its input for each pass, and the sink that writes tables as a scan finds them.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "extract/background_writer.h"
#include "extract/byte_file.h"
#include "extract/conversion_job.h"
#include "extract/table_fragment_scanner.h"

namespace corvane {

// The tables a run writes, in order: every table of the file, or the fragment numbers given.
struct TTableOrder {
  bool every = false;
  std::vector<std::size_t> indices;
};

// The current file for the passes of a run. A small file is read once and its passes served from
// memory; a large one is read again for each pass.
class TRunInput {
 public:
  static constexpr std::uint64_t kInMemoryLimit = 256 * 1024;

  // buffer: kInMemoryLimit + 1 bytes, made on first use and kept from run to run.
  TRunInput(TInputFile& file, std::unique_ptr<char[]>& buffer) : m_file(&file) {
    if (file.Size() > kInMemoryLimit) return;
    constexpr std::size_t kRoom = static_cast<std::size_t>(kInMemoryLimit) + 1;
    if (!buffer) buffer.reset(new char[kRoom]);  // not zero-filled: only what is read is used
    // The read stops at the size the file had when it was opened, without a last read to meet its end:
    // a file written to meanwhile is converted as it was then.
    const std::size_t size = static_cast<std::size_t>(file.Size());
    std::size_t got = 0;
    for (std::size_t n; got < kRoom && (got < size || size == 0) && (n = file.Read(buffer.get() + got, kRoom - got)) != 0;)
      got += n;
    if (got == kRoom) {
      // The file has grown since its size was taken: it is read from the file after all.
      file.Rewind();
      return;
    }
    m_bytes = std::string_view(buffer.get(), got);
    m_inMemory = true;
  }

  // A file read ahead of its run.
  explicit TRunInput(std::string_view bytes) : m_bytes(bytes), m_inMemory(true) {}

  std::size_t Read(char* buffer, std::size_t size) {
    if (!m_inMemory) return m_file->Read(buffer, size);
    const std::size_t count = std::min(size, m_bytes.size() - m_offset);
    std::memcpy(buffer, m_bytes.data() + m_offset, count);
    m_offset += count;
    return count;
  }

  void Rewind() {
    if (m_inMemory) m_offset = 0;
    else m_file->Rewind();
  }

  // Fills buffer with the size bytes at offset, from any thread, leaving the passes' reading as it is.
  void ReadAt(std::uint64_t offset, char* buffer, std::size_t size) const {
    if (m_inMemory) {
      if (offset > m_bytes.size() || m_bytes.size() - offset < size) throw TFileError("Cannot read past the end of the input");
      std::memcpy(buffer, m_bytes.data() + offset, size);
      return;
    }
    while (size != 0) {
      const std::size_t got = m_file->ReadAt(offset, buffer, size);
      if (got == 0) throw TFileError("Cannot read " + m_file->Path() + ": the file changed size while it was read");
      offset += got;
      buffer += got;
      size -= got;
    }
  }

  bool InMemory() const { return m_inMemory; }
  // The bytes a pass reads.
  std::uint64_t Size() const { return m_inMemory ? m_bytes.size() : m_file->Size(); }

  std::size_t BlockSize() const {
    return m_inMemory ? std::max<std::size_t>(m_bytes.size() + 16, 64) : TTableFragmentScanner::kDefaultBlockSize;
  }

 private:
  TInputFile* m_file = nullptr;
  std::string_view m_bytes;
  bool m_inMemory = false;
  std::size_t m_offset = 0;
};

// The second pass: writes the chosen fragments as the scan finishes them. Only a fragment whose turn
// has not come yet (a choice out of file order, or a table chosen twice) is held.
class TTableStreamer final : public TFragmentSink {
 public:
  // writer: when given, the tables of an every-table order are written through it.
  TTableStreamer(TConversionJob& job, const TTableOrder& order, TOutputFile& output, TBackgroundWriter* writer)
      : m_job(job), m_order(order.indices), m_every(order.every), m_output(output), m_writer(writer) {
    m_ascending = std::adjacent_find(m_order.begin(), m_order.end(), std::greater_equal<>()) == m_order.end();
    if (!m_ascending)
      for (std::size_t index : m_order) ++m_uses[index];
  }

  bool WantsText(std::size_t index) override {
    if (m_every) return true;
    if (m_ascending) return m_next < m_order.size() && m_order[m_next] == index;
    return m_uses.count(index) != 0;
  }

  bool Take(std::size_t index, std::string& text) override {
    m_job.CheckStop();
    if (m_every) {
      // In a single pass the output is opened by the first table: a file without tables has none.
      if (!m_job.m_runOutputBegun) {
        if (!m_job.OpenOutputFile(m_output)) return false;
        m_job.m_runOutputBegun = true;
      }
      if (m_writer) {
        // While the writing thread lags, this one makes the next table's output itself when the format
        // can: the row cleaning, most of the work, is then shared by both.
        std::string prepared;
        if (text.size() <= kLargestPreparedTable && m_writer->Backlogged() &&
            m_job.m_tableWriter->PrepareTable(text, m_job.m_host.TrimCellValues(), prepared)) {
          m_writer->Push(std::move(prepared), true);
        } else {
          m_writer->Push(std::move(text));
        }
        text.clear();
      } else {
        m_job.WriteTable(text, index, m_output);
      }
      return true;
    }
    if (m_ascending) {
      if (m_next < m_order.size() && m_order[m_next] == index) {
        m_job.WriteTable(text, index, m_output);
        ++m_next;
      }
      return m_next < m_order.size();
    }
    if (m_uses.count(index) != 0) {
      m_held[index] = std::move(text);
      while (m_next < m_order.size()) {
        const auto held = m_held.find(m_order[m_next]);
        if (held == m_held.end()) break;
        m_job.WriteTable(held->second, held->first, m_output);
        if (--m_uses[held->first] == 0) {
          m_uses.erase(held->first);
          m_held.erase(held);
        }
        ++m_next;
      }
    }
    return m_next < m_order.size();
  }

 private:
  TConversionJob& m_job;
  const std::vector<std::size_t>& m_order;
  const bool m_every;
  bool m_ascending = true;
  TOutputFile& m_output;
  // Larger tables are left to the writing thread, which writes their lines as it makes them.
  static constexpr std::size_t kLargestPreparedTable = std::size_t{1} << 20;
  TBackgroundWriter* m_writer;
  std::size_t m_next = 0;
  std::unordered_map<std::size_t, std::size_t> m_uses;  // how often each fragment is still to be written
  std::unordered_map<std::size_t, std::string> m_held;
};

}  // namespace corvane
