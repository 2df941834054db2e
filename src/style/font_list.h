#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "style/font_obj.h"

namespace corvane {

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

  // CreateCopy of every run of source, for section.
  static TFontList CreateCopy(TSection* section, const TFontList& source);

  void Add(std::unique_ptr<TFontObj> run) { m_runs.push_back(std::move(run)); }
  void Clear() { m_runs.clear(); }
  int Count() const { return static_cast<int>(m_runs.size()); }
  TFontObj& operator[](int index) const { return *m_runs[static_cast<std::size_t>(index)]; }
  TFontObj& Last() const { return *m_runs.back(); }
  void RemoveLast() { m_runs.pop_back(); }

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
  std::vector<std::unique_ptr<TFontObj>> m_runs;
};

}  // namespace corvane
