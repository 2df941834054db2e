#pragma once

#include <climits>
#include <vector>

namespace corvane {

// The bottom of an edge record that holds to the end of the document.
inline constexpr int kOpenEnded = INT_MAX;

// One left or right edge of the band in which content is laid out: x relative to the manager's left
// origin, from TopY down to (not including) BottomY. Records of floats belong to no owner; the records
// that confine the content of a block or cell belong to it.
struct IndentRec {
  int X = 0;
  int TopY = 0;
  int BottomY = kOpenEnded;
  const void* Owner = nullptr;
  bool Float = false;
};

// The left and right edges of the band free for content at each y. Blocks add records to confine their
// content; floats add records that make text flow around them. Only the floats and the records of the
// current owner count, so that a block's content sees its own edges and every float.
class IndentManagerBasic {
 public:
  int Width = 0;      // band width of the last layout
  int ClipWidth = 0;  // the paint's clip width
  std::vector<IndentRec> L;
  std::vector<IndentRec> R;
  const void* CurrentID = nullptr;  // the current owner
  int LfEdge = 0;                   // left origin
  int RtEdge = 0;                   // right limit

  void Reset(int leftOrigin, int rightLimit);
  void Clear();

  int LeftEdge(int y) const;
  int RightEdge(int y) const;
  int AddLeft(int x, int y);
  int AddRight(int x, int y);
  void RemoveLeft(int index);
  void RemoveRight(int index);

  // The lowest bottom of the floats on both sides; 0 when there are none.
  int FloatBottom() const;
  // The lowest float bottom of the left and of the right side, each plus 1; 0 for a side without floats.
  int LeftSideBottom() const;
  int RightSideBottom() const;
  // The first float bottom below y, where the band may get wider; y when there is none.
  int NextWiderY(int y) const;
  // How far below y the floats of the cleared side end (1 left, 2 right, 3 both); 0 for none.
  int ClearDistance(int y, int clear) const;

  // Places a picture that floats left (5) or right (6) at y. Returns the picture's x (absolute).
  struct TFloatBox {
    int Width = 0;
    int Height = 0;
    int SpaceLeft = 0;
    int SpaceRight = 0;
    int SpaceTop = 0;
    int SpaceBottom = 0;
  };
  int PlaceImageFloat(int align, int y, const TFloatBox& box);
  // Records a floating block: left with edgeX its right outer edge (absolute); right with totalWidth its
  // whole width from the right edge at y.
  void PlaceBlockFloat(int side, int y, int edgeX, int totalWidth, int height);

 private:
  bool Counts(const IndentRec& rec, int y) const {
    return rec.TopY <= y && y < rec.BottomY && (rec.Owner == nullptr || rec.Owner == CurrentID);
  }
  static int LowestFloatBottom(const std::vector<IndentRec>& records);
};

// The manager of a document, a table cell or an absolutely positioned block.
class IndentManager : public IndentManagerBasic {};

}  // namespace corvane
