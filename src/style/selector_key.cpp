#include "style/selector_key.h"

#include "style/style_text.h"

namespace corvane {

namespace {

using namespace style_text;

TSelectorPart DividePart(std::string_view text) {
  TSelectorPart part;
  auto cutFrom = [&text](char marker, std::string& into) {
    const std::size_t at = text.find(marker);
    if (at == std::string_view::npos) return;
    into = text.substr(at + 1);
    text = text.substr(0, at);
  };
  cutFrom(':', part.Pseudo);
  cutFrom('#', part.Id);
  cutFrom('.', part.Class);
  part.Tag = text;
  return part;
}

}  // namespace

std::vector<TSelectorPart> SplitSelectorKey(std::string_view key) {
  constexpr std::size_t kMaxParts = 10;
  std::vector<std::string_view> pieces;
  std::string_view rest = key;
  while (pieces.size() + 1 < kMaxParts) {
    const std::size_t space = rest.find(' ');
    if (space == std::string_view::npos) break;
    pieces.push_back(Trim(rest.substr(0, space)));
    rest = rest.substr(space + 1);
  }
  pieces.push_back(Trim(rest));
  // The space that ends every contextual key leaves no part of its own.
  if (pieces.size() > 1 && pieces.back().empty()) pieces.pop_back();

  std::vector<TSelectorPart> parts;
  parts.reserve(pieces.size());
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    std::string piece(pieces[i]);
    if (i == 1) {
      // The ancestor count and sequence number in front of the first ancestor.
      std::size_t skip = piece.empty() ? 0 : 1;
      while (skip < piece.size() && IsDigit(piece[skip])) ++skip;
      piece.erase(0, skip);
    }
    if (i >= 1 && piece.find('>') != std::string::npos) {
      parts.back().ChildOfNext = true;
      std::erase(piece, '>');
    }
    parts.push_back(DividePart(piece));
  }
  return parts;
}

bool ClassesContained(std::string_view partClasses, std::string_view elementClasses) {
  auto hasName = [elementClasses](std::string_view name) {
    std::string_view rest = elementClasses;
    while (true) {
      const std::size_t dot = rest.find('.');
      if (rest.substr(0, dot) == name) return true;
      if (dot == std::string_view::npos) return false;
      rest = rest.substr(dot + 1);
    }
  };
  std::string_view rest = partClasses;
  while (true) {
    const std::size_t dot = rest.find('.');
    if (!hasName(rest.substr(0, dot))) return false;
    if (dot == std::string_view::npos) return true;
    rest = rest.substr(dot + 1);
  }
}

}  // namespace corvane
