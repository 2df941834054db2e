#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "style/font_obj.h"

namespace corvane {

class TAttributeList;

// The target of one link: what the builder records for an open link. Every font run of the link keeps a
// copy of its fields (the TRunTarget part): Url is the HREF text, Target the TARGET text, LinkId unique per
// link started in the process, StartPos and EndPos the source positions of the link's start and end (-1
// when not set).
class TUrlTarget : public TRunTarget {
 public:

  // Starts a link: sets Url, Target, a new LinkId, StartPos and Attributes (none when attributes is null).
  // EndPos stays as it was.
  void Assign(std::string_view url, std::string_view target, int sourcePosition, const TAttributeList* attributes);
  void CopyFrom(const TUrlTarget& other) { *this = other; }
  void Clear();
  // Ends the link at the source position. linkTargetAt(i), i < count, is the target of the i-th font run
  // that carries a link, in document order; the runs of this link at the end of that list take the same
  // EndPos (the walk back stops at the first run of another link).
  void SetEnd(int count, const std::function<TRunTarget*(int)>& linkTargetAt, int sourcePosition);
};

}  // namespace corvane
