#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "style/properties.h"

namespace corvane {

class TStyleList;

// What closing an element by tag removed.
struct TPoppedEntry {
  bool Found = false;
  // The removed element had a "border-style": the builder ends the inline box it began for it.
  bool HasBorderStyle = false;
  std::uint32_t SerialNumber = 0;
};

// The property sets of the open elements of one parse, innermost last. Entry 0 is the root made from the
// style list's "default" rule and is never removed by closing elements. The parser object owns one; the
// style list must outlive it.
class TPropStack {
 public:
  // A stack holding the root entry of styles.
  explicit TPropStack(const TStyleList& styles);
  TPropStack(const TPropStack&) = delete;
  TPropStack& operator=(const TPropStack&) = delete;
  ~TPropStack();

  // Starts a parse: empties the stack and places a new root entry.
  void Reset();
  // Removes every entry, the root too (the end of a parse).
  void Clear() { m_entries.clear(); }

  int Count() const { return static_cast<int>(m_entries.size()); }
  TProperties& operator[](int index) { return *m_entries[static_cast<std::size_t>(index)]; }
  const TProperties& operator[](int index) const { return *m_entries[static_cast<std::size_t>(index)]; }
  TProperties& Top() { return *m_entries.back(); }
  const TStyleList& Styles() const { return m_styles; }

  // Opens an element: a new top entry inherited from the entry below and cascaded.
  TProperties& PushProperties(const TElementIdentity& element);
  // Closes the nearest open element with the tag (never the root); the entries above it are re-derived
  // from the entries below them. Nothing happens when no such element is open.
  TPoppedEntry PopProperties(std::string_view tag);
  // Closes the innermost element (never the root).
  void PopTop();
  // Closes elements until count entries are left (at least the root).
  void PopToCount(int count);

  // Places and removes the short-lived entries of the link looks computation.
  TProperties& InsertEntry(int index, std::unique_ptr<TProperties> entry);
  void RemoveEntry(int index);

 private:
  const TStyleList& m_styles;
  std::vector<std::unique_ptr<TProperties>> m_entries;
};

}  // namespace corvane
