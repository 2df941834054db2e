#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// The tables of one file, kept while the user chooses among them. A page of many tables can be
// hundreds of megabytes: the first ones stay in memory up to a budget, the rest go to a temporary file
// without a name, and each is read back when it is shown or written. Memory then holds the index and
// the budget, whatever the page's size. When no temporary file can be made the tables stay in memory.
class TFragmentStore {
 public:
  static constexpr std::size_t kDefaultMemoryBudget = std::size_t{16} << 20;

  explicit TFragmentStore(std::size_t memoryBudget = kDefaultMemoryBudget);
  TFragmentStore(std::initializer_list<std::string_view> fragments);
  ~TFragmentStore();
  TFragmentStore(const TFragmentStore&) = delete;
  TFragmentStore& operator=(const TFragmentStore&) = delete;
  TFragmentStore(TFragmentStore&& other) noexcept;
  TFragmentStore& operator=(TFragmentStore&& other) noexcept;
  // Replaces the content by these tables.
  TFragmentStore& operator=(const std::vector<std::string>& fragments);
  TFragmentStore& operator=(std::initializer_list<std::string_view> fragments);

  void Add(std::string_view text);
  void Clear();

  std::size_t size() const { return m_entries.size(); }
  bool empty() const { return m_entries.empty(); }
  std::uint64_t Size(std::size_t index) const { return m_entries.at(index).size; }
  // The text of table index (from 0). Throws TFileError when the temporary file cannot be read back.
  std::string Text(std::size_t index) const;
  // At most the first maxBytes of it.
  std::string Text(std::size_t index, std::size_t maxBytes) const;
  std::string operator[](std::size_t index) const { return Text(index); }
  // Bytes held in memory, and whether some tables are in the temporary file.
  std::size_t BytesInMemory() const { return m_memory.size(); }
  bool Spilled() const { return m_fd >= 0; }

 private:
  struct TEntry {
    std::uint64_t offset;  // in m_memory, or in the file when inFile
    std::uint64_t size;
    bool inFile;
  };
  bool OpenSpill();

  std::size_t m_budget;
  std::vector<TEntry> m_entries;
  std::string m_memory;
  int m_fd = -1;
  std::uint64_t m_fileSize = 0;
  bool m_spillFailed = false;
};

}  // namespace corvane
