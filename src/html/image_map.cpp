#include "html/image_map.h"

#include <charconv>
#include <cstdint>

#include "html/attribute_list.h"

namespace corvane {

namespace {

constexpr std::size_t kMaxCoords = 301;
constexpr std::size_t kMaxNumberLength = 20;

int DecimalOrZero(std::string_view text) {
  text = text.substr(0, kMaxNumberLength);
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty() || text[0] == '+' || text[0] == '-') return 0;
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return 0;
  if (negative) value = -value;
  if (value < INT32_MIN || value > INT32_MAX) return 0;
  return static_cast<int>(value);
}

std::string TextOf(const TAttributeList& attributes, TagSymbol symbol) {
  const TAttribute* attribute = attributes.Find(symbol);
  return attribute ? attribute->Text : std::string();
}

}  // namespace

std::vector<int> ParseCoords(std::string_view text) {
  std::vector<int> numbers;
  std::string_view rest = TrimmedView(text);
  while (!rest.empty() && numbers.size() < kMaxCoords) {
    const std::size_t comma = rest.find(',');
    const std::size_t space = rest.find(' ');
    const std::size_t end = comma < space ? comma : space;  // the rest when there is neither
    numbers.push_back(DecimalOrZero(rest.substr(0, end)));
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
    while (!rest.empty() && (rest[0] == ',' || rest[0] == ' ')) rest.remove_prefix(1);
  }
  return numbers;
}

std::unique_ptr<TAreaRegion> TAreaRegion::Make(TShape shape, const std::vector<int>& coords) {
  const std::size_t needed = shape == TShape::Rectangle ? 4 : shape == TShape::Circle ? 3 : 6;
  if (coords.size() < needed) return nullptr;
  std::vector<int> kept = coords;
  kept.resize(shape == TShape::Polygon ? coords.size() / 2 * 2 : needed);  // whole points only
  return std::unique_ptr<TAreaRegion>(new TAreaRegion(shape, std::move(kept)));
}

bool TAreaRegion::Contains(int x, int y) const {
  const std::int64_t px = x, py = y;
  switch (m_shape) {
    case TShape::Rectangle: {
      const std::int64_t left = std::min(m_coords[0], m_coords[2]), right = std::max(m_coords[0], m_coords[2]);
      const std::int64_t top = std::min(m_coords[1], m_coords[3]), bottom = std::max(m_coords[1], m_coords[3]);
      return px >= left && px <= right && py >= top && py <= bottom;
    }
    case TShape::Circle: {
      // Pixel centres inside the ellipse inscribed in the box of width and height 2r + 1.
      const std::int64_t dx = px - m_coords[0], dy = py - m_coords[1], d = 2 * std::int64_t{m_coords[2]} + 1;
      return 4 * (dx * dx + dy * dy) <= d * d;
    }
    case TShape::Polygon: {
      // Winding number of the pixel centre (x + 0.5, y + 0.5); coordinates doubled to stay in integers.
      const std::int64_t cx = 2 * px + 1, cy = 2 * py + 1;
      const std::size_t n = m_coords.size() / 2;
      int winding = 0;
      for (std::size_t i = 0; i < n; ++i) {
        const std::size_t j = (i + 1) % n;
        const std::int64_t x1 = 2 * std::int64_t{m_coords[2 * i]}, y1 = 2 * std::int64_t{m_coords[2 * i + 1]};
        const std::int64_t x2 = 2 * std::int64_t{m_coords[2 * j]}, y2 = 2 * std::int64_t{m_coords[2 * j + 1]};
        const std::int64_t side = (x2 - x1) * (cy - y1) - (cx - x1) * (y2 - y1);  // > 0: the centre is left of the edge
        if (y1 <= cy) {
          if (y2 > cy && side > 0) ++winding;
        } else if (y2 <= cy && side < 0) {
          --winding;
        }
      }
      return winding != 0;
    }
  }
  return false;
}

TMapItem::TMapItem(std::string_view name) : MapName(name) {
  for (char& c : MapName)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
}

void TMapItem::AddArea(const TAttributeList& attributes) {
  if (AreaCount() >= kMaxAreas) return;
  std::string shapeName = TextOf(attributes, TagSymbol::SymShape).substr(0, 4);
  for (char& c : shapeName)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  const TAreaRegion::TShape shape = shapeName == "circ"   ? TAreaRegion::TShape::Circle
                                    : shapeName == "poly" ? TAreaRegion::TShape::Polygon
                                                          : TAreaRegion::TShape::Rectangle;
  std::unique_ptr<TAreaRegion> region = TAreaRegion::Make(shape, ParseCoords(TextOf(attributes, TagSymbol::SymCoords)));
  if (!region) return;
  TArea area;
  area.Title = TextOf(attributes, TagSymbol::SymTitle);
  area.Href = attributes.Find(TagSymbol::SymNohref) ? std::string() : TextOf(attributes, TagSymbol::SymHref);
  area.Target = TextOf(attributes, TagSymbol::SymTarget);
  area.Region = std::move(region);
  m_areas.push_back(std::move(area));
}

TMapItem::TAreaHit TMapItem::FindArea(int x, int y) const {
  TAreaHit hit;
  for (const TArea& area : m_areas) {
    if (!area.Region->Contains(x, y)) continue;
    if (!area.Href.empty()) {
      hit.Found = true;
      hit.Target = std::make_unique<TUrlTarget>();
      hit.Target->Url = area.Href;
      hit.Target->Target = area.Target;
      hit.Title = area.Title;
    }
    break;
  }
  return hit;
}

}  // namespace corvane
