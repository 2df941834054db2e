#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// One simple selector of a style-list key. ChildOfNext: the element this part matches must be the
// immediate child of the element that the next part matches (a ">" in the key).
struct TSelectorPart {
  std::string Tag;
  std::string Class;   // one name, or several joined by "." in ascending order
  std::string Id;
  std::string Pseudo;  // without the ":"
  bool ChildOfNext = false;
};

// The parts of a key: the subject first, then its ancestors from the nearest outward. Contextual keys
// have the form "li 210ul div " (a count and a sequence number before the first ancestor, a space at the
// end); at most 10 parts, the last keeping the rest of the key.
std::vector<TSelectorPart> SplitSelectorKey(std::string_view key);

// Whether every "."-separated name of partClasses is among the "."-separated names of elementClasses.
bool ClassesContained(std::string_view partClasses, std::string_view elementClasses);

}  // namespace corvane
