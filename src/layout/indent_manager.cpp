#include "layout/indent_manager.h"

#include <algorithm>

namespace corvane {

void IndentManagerBasic::Reset(int leftOrigin, int rightLimit) {
  LfEdge = leftOrigin;
  RtEdge = rightLimit;
  CurrentID = nullptr;
}

void IndentManagerBasic::Clear() {
  L.clear();
  R.clear();
  CurrentID = nullptr;
}

int IndentManagerBasic::LeftEdge(int y) const {
  bool found = false;
  int x = 0;
  for (const IndentRec& rec : L) {
    if (!Counts(rec, y)) continue;
    x = found ? std::max(x, rec.X) : rec.X;
    found = true;
  }
  return found ? x + LfEdge : LfEdge;
}

int IndentManagerBasic::RightEdge(int y) const {
  bool found = false;
  int x = 0;
  for (const IndentRec& rec : R) {
    if (!Counts(rec, y)) continue;
    x = found ? std::min(x, rec.X) : rec.X;
    found = true;
  }
  return found ? x + LfEdge : RtEdge;
}

int IndentManagerBasic::AddLeft(int x, int y) {
  L.push_back({x, y, kOpenEnded, CurrentID, false});
  return static_cast<int>(L.size()) - 1;
}

int IndentManagerBasic::AddRight(int x, int y) {
  R.push_back({x, y, kOpenEnded, CurrentID, false});
  return static_cast<int>(R.size()) - 1;
}

void IndentManagerBasic::RemoveLeft(int index) {
  if (index >= 0 && index < static_cast<int>(L.size())) L.erase(L.begin() + index);
}

void IndentManagerBasic::RemoveRight(int index) {
  if (index >= 0 && index < static_cast<int>(R.size())) R.erase(R.begin() + index);
}

int IndentManagerBasic::LowestFloatBottom(const std::vector<IndentRec>& records) {
  int bottom = 0;
  bool found = false;
  for (const IndentRec& rec : records) {
    if (rec.Owner) continue;
    bottom = found ? std::max(bottom, rec.BottomY) : rec.BottomY;
    found = true;
  }
  return found ? bottom : 0;
}

int IndentManagerBasic::FloatBottom() const { return std::max(LowestFloatBottom(L), LowestFloatBottom(R)); }

int IndentManagerBasic::LeftSideBottom() const {
  const int bottom = LowestFloatBottom(L);
  return bottom > 0 ? bottom + 1 : 0;
}

int IndentManagerBasic::RightSideBottom() const {
  const int bottom = LowestFloatBottom(R);
  return bottom > 0 ? bottom + 1 : 0;
}

int IndentManagerBasic::NextWiderY(int y) const {
  int next = kOpenEnded;
  for (const std::vector<IndentRec>* side : {&L, &R})
    for (const IndentRec& rec : *side)
      if (!rec.Owner && rec.BottomY > y) next = std::min(next, rec.BottomY);
  return next == kOpenEnded ? y : next;
}

int IndentManagerBasic::ClearDistance(int y, int clear) const {
  if (clear <= 0) return 0;
  int bottom = 0;
  if (clear == 1 || clear == 3) bottom = std::max(bottom, LowestFloatBottom(L));
  if (clear == 2 || clear == 3) bottom = std::max(bottom, LowestFloatBottom(R));
  return std::max(0, bottom - y);
}

int IndentManagerBasic::PlaceImageFloat(int align, int y, const TFloatBox& box) {
  const int total = box.Width + box.SpaceLeft + box.SpaceRight;
  const int bottom = y + box.Height + box.SpaceTop + box.SpaceBottom;
  if (align == 5) {
    const int x = LeftEdge(y);
    L.push_back({x + total - LfEdge, y, bottom, nullptr, false});
    return x + box.SpaceLeft;
  }
  const int x = RightEdge(y);
  R.push_back({x - total - LfEdge, y, bottom, nullptr, false});
  return x - total + box.SpaceLeft;
}

void IndentManagerBasic::PlaceBlockFloat(int side, int y, int edgeX, int totalWidth, int height) {
  if (side == 5) {
    L.push_back({edgeX - LfEdge, y, y + height, nullptr, true});
  } else {
    R.push_back({RightEdge(y) - totalWidth - LfEdge, y, y + height, nullptr, true});
  }
}

}  // namespace corvane
