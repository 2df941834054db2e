#include "layout/floating_obj.h"

namespace corvane {

bool TFloatingObj::PictureAt(int x, int y, int& ix, int& iy) const {
  if (x < DrawX || x >= DrawX + ObjWidth || y < DrawY || y >= DrawY + ObjHeight) return false;
  ix = x - DrawX;
  iy = y - DrawY;
  return true;
}

const std::string& TFloatingObj::MapName() const {
  static const std::string kNone;
  return kNone;
}

}  // namespace corvane
