#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
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

  // The builder changed an entry after opening it (attributes of the element, such as ALIGN): entries
  // made alike and changed alike keep sharing their cascade results, change names what was changed and
  // how, and must say it all.
  // The detail, when given, is part of the change (its value, say) and saves the caller joining texts.
  void SealShape(TProperties& entry, std::string_view change, std::string_view detail = {});
  // For an entry unchanged since it was opened: when entries of its shape were given the same change
  // before, this gives it their result (values shared, font and flags; its own serial number and id
  // stay) and returns true, and the caller makes no change of its own. Otherwise returns false and the
  // caller makes the change and seals it. Saves the copy of the values that changing a shared set makes.
  bool TakeSealedShape(TProperties& entry, std::string_view change, std::string_view detail = {});

  // Places and removes the short-lived entries of the link looks computation.
  TProperties& InsertEntry(int index, std::unique_ptr<TProperties> entry);
  void RemoveEntry(int index);

 private:
  // Children of one element with the same identity get the same cascade result, so it is computed once
  // per parent (siblings such as the B and EM elements of a paragraph repeat it many times). A result
  // holds while the parent's set and the style sheet are unchanged; elements with a style attribute are
  // always cascaded.
  struct TCascadeKey {
    // The parent's shape while it is unchanged, else its serial number and version.
    std::uint32_t ParentShape = 0;
    std::uint32_t ParentSerial = 0;
    std::uint32_t ParentVersion = 0;
    int ParentEmSize = 0;
    std::uint64_t Generation = 0;
    std::string Identity;  // tag, class, id (when a rule names it), pseudo-class and title
    bool operator==(const TCascadeKey&) const = default;
  };
  static std::size_t HashOf(const TCascadeKey& key);
  static constexpr std::size_t kMaxCascadeResults = 512;
  static constexpr std::size_t kMaxSpareEntries = 64;

  // A set for a new element: one of a closed element (reused true), or a new one.
  std::unique_ptr<TProperties> NewEntry(bool& reused);
  void KeepSpare(std::unique_ptr<TProperties> entry);

  const TStyleList& m_styles;
  std::vector<std::unique_ptr<TProperties>> m_entries;
  // The kept results by key: open addressing in a table at most half full (a power of two of slots,
  // growing to twice kMaxCascadeResults), each slot with its key's hash, so that a probe compares whole
  // keys only where the hashes agree and no lookup follows a chain of nodes.
  struct TCascadeSlot {
    std::size_t Hash = 0;
    TCascadeKey Key;
    std::shared_ptr<TProperties> Result;  // null in an empty slot
  };
  std::vector<TCascadeSlot> m_cascadeSlots;
  std::size_t m_cascadeCount = 0;
  // The slot that holds key, or the empty one where it would go.
  TCascadeSlot& CascadeSlotOf(const TCascadeKey& key, std::size_t hash);
  // Keeps the result under m_key; a full table is emptied first.
  void KeepCascadeResult(std::shared_ptr<TProperties> result);
  void ClearCascadeResults();
  TCascadeKey m_key;  // scratch, to look up without allocating
  std::uint32_t m_lastShape = 0;
  // The shapes made by changing a shape, by former shape and change, each with the set that stands for
  // all sets of the new shape (sets made alike and changed alike hold the same values).
  struct TSealedShape {
    std::uint32_t Shape = 0;
    std::shared_ptr<TProperties> Template;
  };
  std::unordered_map<std::string, TSealedShape> m_sealedShapes;
  // Scratch for the key of m_sealedShapes: the former shape, then the change.
  std::string m_sealKey;
  void MakeSealKey(std::uint32_t shape, std::string_view change, std::string_view detail);
  // The sets of closed elements, kept for the next ones: opening and closing elements is the builder's
  // most frequent step.
  std::vector<std::unique_ptr<TProperties>> m_spare;
};

}  // namespace corvane
