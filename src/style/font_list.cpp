#include "style/font_list.h"

#include <algorithm>

namespace corvane {

TFontList TFontList::CreateCopy(TSection* section, const TFontList& source) {
  TFontList copy;
  for (const auto& run : source.m_runs) copy.Add(TFontObj::CreateCopy(section, *run));
  return copy;
}

TFontList::TRunAt TFontList::GetFontObjAt(int index) const {
  if (m_runs.empty()) return {};
  const auto after = std::upper_bound(m_runs.begin(), m_runs.end(), index,
                                      [](int i, const std::unique_ptr<TFontObj>& run) { return i < run->StartIndex(); });
  const int number = std::max(0, static_cast<int>(after - m_runs.begin()) - 1);
  return {m_runs[static_cast<std::size_t>(number)].get(), number};
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
      std::unique_ptr<TFontObj> removed = std::move(m_runs[kept - 1]);
      --kept;
      if (!removed->RunTarget().Url.empty() || removed->LinkFonts()) {
        if (!linkRuns) linkRuns = &document.LinkRuns();
        std::erase(*linkRuns, removed.get());
      }
      if (removed->FocusProxy()) {
        if (removed->RunTarget().LinkId == run.RunTarget().LinkId) {
          run.TakeOverFocusProxy(removed->TakeFocusProxy(), &document);
        } else {
          document.RemoveFromTabOrder(*removed->FocusProxy());
        }
      }
    }
    m_runs[kept++] = std::move(m_runs[i]);
  }
  m_runs.resize(kept);
}

}  // namespace corvane
