#include "style/font_list.h"

#include <algorithm>
#include <new>
#include <utility>

namespace corvane {

namespace {

constexpr std::size_t kFirstBlock = 8;
constexpr std::size_t kLargestBlock = 256;

}  // namespace

TFontRunPool::~TFontRunPool() = default;

void* TFontRunPool::Take() {
  if (m_free) {
    void* slot = m_free;
    m_free = *static_cast<void**>(slot);
    return slot;
  }
  if (m_used == m_blockSize) {
    // Small documents keep small blocks; big ones soon take 256 runs a block.
    m_blockSize = m_blocks.empty() ? kFirstBlock : std::min(kLargestBlock, m_blockSize * 2);
    m_blocks.push_back(std::make_unique_for_overwrite<TSlot[]>(m_blockSize));
    m_used = 0;
  }
  return &m_blocks.back()[m_used++];
}

void TFontRunPool::Give(void* slot) {
  *static_cast<void**>(slot) = m_free;
  m_free = slot;
}

TFontList::TFontList(TFontList&& other) noexcept
    : m_runs(std::move(other.m_runs)), m_pool(other.m_pool) {
  other.m_runs.clear();
}

TFontList& TFontList::operator=(TFontList&& other) noexcept {
  if (this != &other) {
    Clear();
    m_runs = std::move(other.m_runs);
    m_pool = other.m_pool;
    other.m_runs.clear();
  }
  return *this;
}

TFontList::~TFontList() { Clear(); }

void TFontList::Destroy(TFontObj* run) {
  if (m_pool) {
    run->~TFontObj();
    m_pool->Give(run);
  } else {
    delete run;
  }
}

TFontObj& TFontList::Emplace(TSection* section, int startIndex, const TMyFont& font) {
  TFontObj* run = nullptr;
  if (m_pool) {
    void* slot = m_pool->Take();
    try {
      run = new (slot) TFontObj(section, startIndex, font);
    } catch (...) {
      m_pool->Give(slot);
      throw;
    }
  } else {
    run = new TFontObj(section, startIndex, font);
  }
  try {
    m_runs.push_back(run);
  } catch (...) {
    Destroy(run);
    throw;
  }
  return *run;
}

void TFontList::Clear() {
  for (TFontObj* run : m_runs) Destroy(run);
  m_runs.clear();
}

void TFontList::RemoveLast() {
  TFontObj* run = m_runs.back();
  m_runs.pop_back();
  Destroy(run);
}

TFontList TFontList::CreateCopy(TSection* section, const TFontList& source) {
  TFontList copy;
  for (const TFontObj* run : source.m_runs) copy.Add(TFontObj::CreateCopy(section, *run));
  return copy;
}

TFontList::TRunAt TFontList::GetFontObjAt(int index) const {
  if (m_runs.empty()) return {};
  const auto after = std::upper_bound(m_runs.begin(), m_runs.end(), index,
                                      [](int i, const TFontObj* run) { return i < run->StartIndex(); });
  const int number = std::max(0, static_cast<int>(after - m_runs.begin()) - 1);
  return {m_runs[static_cast<std::size_t>(number)], number};
}

TFontList::TFontAt TFontList::GetFontAt(int index) const {
  const TRunAt at = GetFontObjAt(index);
  if (!at.Run) return {};
  return {&at.Run->Font(), at.Run->Overhang()};
}

int TFontList::GetFontCountAt(int index, int length) const {
  const TRunAt at = GetFontObjAt(index);
  if (at.Run && at.RunNumber + 1 < Count()) return (*this)[at.RunNumber + 1].StartIndex() - index;
  return length - index;
}

void TFontList::Decrement(int index, TLinkDocument& document) {
  Remap([index](int start) { return index < start ? start - 1 : start; }, document);
}

void TFontList::Remap(const std::function<int(int)>& newStart, TLinkDocument& document) {
  std::vector<TFontObj*>* linkRuns = nullptr;
  std::size_t kept = 0;
  for (std::size_t i = 0; i < m_runs.size(); ++i) {
    TFontObj& run = *m_runs[i];
    run.SetStartIndex(newStart(run.StartIndex()));
    if (kept > 0 && m_runs[kept - 1]->StartIndex() == run.StartIndex()) {
      // The run before now covers nothing.
      TFontObj* removed = m_runs[kept - 1];
      --kept;
      if (!removed->RunTarget().Url.empty() || removed->LinkFonts()) {
        if (!linkRuns) linkRuns = &document.LinkRuns();
        std::erase(*linkRuns, removed);
      }
      if (removed->FocusProxy()) {
        if (removed->RunTarget().LinkId == run.RunTarget().LinkId) {
          run.TakeOverFocusProxy(removed->TakeFocusProxy(), &document);
        } else {
          document.RemoveFromTabOrder(*removed->FocusProxy());
        }
      }
      Destroy(removed);
    }
    m_runs[kept++] = m_runs[i];
  }
  m_runs.resize(kept);
}

}  // namespace corvane
