#include "layout/section_base.h"

#include "layout/section_list.h"

namespace corvane {

TSectionBase::TSectionBase(TSectionList* ownerList) : OwnerList(ownerList) {}
TSectionBase::~TSectionBase() = default;

void TSectionBase::CopySelection() {}

int TSectionBase::LayOut(const TLayoutArgs& args, int& MaxWidth, int& Curs) {
  FirstCharIndex = Curs;
  InkHeight = Height;
  MaxWidth = 0;
  TopY = PaintTop = PaintY = args.Y;
  BottomY = args.Y + Height;
  PaintBottom = args.Y + InkHeight;
  return Height;
}

int TSectionBase::Paint(QPainter&, const TPaintArgs&) { return PaintY + Height; }
int TSectionBase::LinkAt(int, int, TLinkAtResult&) { return 0; }
bool TSectionBase::ObjectAt(int, int, TObjectAtPoint&) { return false; }
int TSectionBase::CharIndexAt(int, int, TCharAtPoint&) { return -1; }
int TSectionBase::FindText(int, const std::u16string&, bool) { return -1; }
int TSectionBase::FindTextBackward(int, const std::u16string&, bool) { return -1; }
int TSectionBase::SourcePosOf(int) { return -1; }
int TSectionBase::DocPosOf(int, bool) { return -1; }
bool TSectionBase::CharIndexToXY(int, int&, int&) { return false; }
bool TSectionBase::CharAt(int, char16_t&, TSectionBase*&) { return false; }

void TSectionBase::GetMinMaxWidth(int& Min, int& Max) {
  Min = 0;
  Max = 0;
}

void TSectionBase::CollectSections(std::vector<TSection*>&) {}

void TSectionBase::AddToPositionList() {
  if (OwnerList) OwnerList->AppendPosition(this);
}

}  // namespace corvane
