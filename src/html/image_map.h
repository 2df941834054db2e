#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "html/url_target.h"

namespace corvane {

class TAttributeList;

// The region of one image-map area, in picture pixels. A pixel belongs to it as it would to the
// platform region of the same shape: rectangles include both corner pixels, a circle of radius r around
// (x, y) is the ellipse in the box from (x - r, y - r) to (x + r + 1, y + r + 1), and polygons are
// filled by the winding rule.
class TAreaRegion {
 public:
  enum class TShape { Rectangle, Circle, Polygon };

  // The region the numbers of a COORDS attribute describe; none when there are too few of them (4 for a
  // rectangle, 3 for a circle, 6 for a polygon).
  static std::unique_ptr<TAreaRegion> Make(TShape shape, const std::vector<int>& coords);
  bool Contains(int x, int y) const;

 private:
  TAreaRegion(TShape shape, std::vector<int> coords) : m_shape(shape), m_coords(std::move(coords)) {}

  TShape m_shape;
  std::vector<int> m_coords;
};

// The numbers of a COORDS text: separated by commas and spaces, each converted as a decimal integer from at
// most 20 characters (0 when it is none); at most 301 of them.
std::vector<int> ParseCoords(std::string_view text);

// A client-side image map: the areas of one MAP element, in order.
class TMapItem {
 public:
  static constexpr int kMaxAreas = 1000;

  // The map's NAME; kept in upper case.
  explicit TMapItem(std::string_view name);

  std::string MapName;

  // Adds an AREA from its attributes: TITLE, HREF, SHAPE, COORDS, NOHREF and TARGET. Ignored when the map
  // is full or the COORDS are too few for the shape.
  void AddArea(const TAttributeList& attributes);
  int AreaCount() const { return static_cast<int>(m_areas.size()); }

  struct TAreaHit {
    bool Found = false;
    std::unique_ptr<TUrlTarget> Target;  // Url and Target of the area; the caller owns it
    std::string Title;
  };
  // The first area, in order, whose region holds the point decides: found with its link when it has an
  // HREF, not found when it is a NOHREF area. No area there: not found.
  TAreaHit FindArea(int x, int y) const;

 private:
  struct TArea {
    std::string Href;
    std::unique_ptr<TAreaRegion> Region;
    std::string Target;
    std::string Title;
  };
  std::vector<TArea> m_areas;
};

}  // namespace corvane
