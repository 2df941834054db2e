#pragma once

#include <vector>

class QPainter;

namespace corvane {

class TFloatingObj;
class TFontObj;

// A floating picture whose drawing waits until the whole document is painted, so that it lies over
// the text that flows around it.
struct TImageRec {
  TFloatingObj* Image = nullptr;
  int X = 0;
  int Y = 0;
  int BaselineY = 0;
  const TFontObj* Run = nullptr;
};

class TDrawList {
 public:
  void Clear() { m_records.clear(); }
  void AddImage(const TImageRec& record) { m_records.push_back(record); }
  void DrawImages(QPainter& canvas);
  int Count() const { return static_cast<int>(m_records.size()); }

 private:
  std::vector<TImageRec> m_records;
};

}  // namespace corvane
