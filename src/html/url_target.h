#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace corvane {

class TAttributeList;

// The target of one link: what the builder records for an open link and every link font run copies.
class TUrlTarget {
 public:
  std::string Url;         // the HREF text
  std::string Target;      // the TARGET text
  int LinkId = 0;          // unique per link started in the process
  std::string Attributes;  // the anchor's attributes, "NAME=text" lines separated by CR LF
  int TabIndex = 0;
  int StartPos = -1;  // source positions of the link's start and end; -1 when not set
  int EndPos = -1;

  // Starts a link: sets Url, Target, a new LinkId, StartPos and Attributes (none when attributes is null).
  // EndPos stays as it was.
  void Assign(std::string_view url, std::string_view target, int sourcePosition, const TAttributeList* attributes);
  void CopyFrom(const TUrlTarget& other) { *this = other; }
  void Clear();
  // Ends the link at the source position. linkTargetAt(i), i < count, is the target of the i-th font run
  // that carries a link, in document order; the runs of this link at the end of that list take the same
  // EndPos (the walk back stops at the first run of another link).
  void SetEnd(int count, const std::function<TUrlTarget*(int)>& linkTargetAt, int sourcePosition);
};

}  // namespace corvane
