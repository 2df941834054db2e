#pragma once

#include <cassert>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "style/font_obj.h"
#include "style/small_list.h"

namespace corvane {

// Storage for the font runs of one document. A document makes tens of thousands of runs; taken from
// blocks of many, and given back to be used again, they cost the allocator nothing each. Every run
// taken must be given back (destroyed) before the pool goes.
class TFontRunPool {
 public:
  TFontRunPool() = default;
  TFontRunPool(const TFontRunPool&) = delete;
  TFontRunPool& operator=(const TFontRunPool&) = delete;
  ~TFontRunPool();

  // Room for one run: a slot given back before, else the next one of the newest block.
  void* Take();
  // A slot whose run was destroyed.
  void Give(void* slot);
  // The blocks made so far; they grow from 8 slots to 256.
  int BlockCount() const { return static_cast<int>(m_blocks.size()); }

 private:
  struct alignas(TFontObj) TSlot {
    std::byte Bytes[sizeof(TFontObj)];
  };
  std::vector<std::unique_ptr<TSlot[]>> m_blocks;
  std::size_t m_blockSize = 0;  // slots of the newest block
  std::size_t m_used = 0;       // of which are handed out or given back
  void* m_free = nullptr;       // the slots given back, each holding the address of the next
};

// The font runs of one section in increasing StartIndex; the first starts at 0.
class TFontList {
 public:
  struct TFontAt {
    TMyFont* Font = nullptr;
    int Overhang = 0;
  };
  struct TRunAt {
    TFontObj* Run = nullptr;
    int RunNumber = -1;
  };

  TFontList() = default;
  // Runs that the list makes come from pool (null: from the heap).
  explicit TFontList(TFontRunPool* pool) : m_pool(pool) {}
  TFontList(TFontList&& other) noexcept;
  TFontList& operator=(TFontList&& other) noexcept;
  ~TFontList();

  // CreateCopy of every run of source, for section.
  static TFontList CreateCopy(TSection* section, const TFontList& source);

  // Makes a run at the end, in the list's pool.
  TFontObj& Emplace(TSection* section, int startIndex, const TMyFont& font);
  // Adds a run made on the heap; only for lists without a pool.
  void Add(std::unique_ptr<TFontObj> run) {
    assert(!m_pool && "a pooled list gives its runs back to the pool, so it takes no heap runs");
    m_runs.push_back(run.get());
    run.release();
  }
  void Clear();
  int Count() const { return static_cast<int>(m_runs.size()); }
  TFontObj& operator[](int index) const { return *m_runs[static_cast<std::size_t>(index)]; }
  TFontObj& Last() const { return *m_runs.back(); }
  void RemoveLast();

  // The run covering a character index: the last run not starting after it (the first run for an index
  // before it). Nothing for an empty list.
  TFontAt GetFontAt(int index) const;
  TRunAt GetFontObjAt(int index) const;
  // The characters from index to the start of the next run, or to length after the last run.
  int GetFontCountAt(int index, int length) const;
  // Shifts the runs after one character at index was deleted; a run left empty goes, handing its focus
  // proxy to the run that follows when it belongs to the same link.
  void Decrement(int index, TLinkDocument& document);
  // The same for many deletions at once: every run moves to newStart(its old start), and runs left
  // empty go as in Decrement. newStart must not decrease from one run to the next.
  void Remap(const std::function<int(int)>& newStart, TLinkDocument& document);

 private:
  void Destroy(TFontObj* run);

  TSmallList<TFontObj*, 2> m_runs;  // owned: from m_pool when there is one
  TFontRunPool* m_pool = nullptr;
};

}  // namespace corvane
