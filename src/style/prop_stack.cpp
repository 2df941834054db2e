#include "style/prop_stack.h"

#include <algorithm>
#include <iterator>

#include "style/style_list.h"

namespace corvane {

TPropStack::TPropStack(const TStyleList& styles) : m_styles(styles) { Reset(); }

TPropStack::~TPropStack() = default;

void TPropStack::Reset() {
  m_entries.clear();
  ClearCascadeResults();
  m_sealedShapes.clear();
  auto root = std::make_unique<TProperties>(m_styles.Context());
  if (const TProperties* defaultRule = m_styles.DefaultRule()) {
    root->CopyRootFrom(*defaultRule);
  } else {
    root->SetElementTag("default");
  }
  m_entries.push_back(std::move(root));
}

std::size_t TPropStack::HashOf(const TCascadeKey& key) {
  std::size_t h = std::hash<std::string>{}(key.Identity);
  h = h * 1000003u ^ key.ParentShape;
  h = h * 1000003u ^ static_cast<std::size_t>(key.ParentEmSize);
  h = h * 1000003u ^ key.ParentSerial;
  h = h * 1000003u ^ key.ParentVersion;
  return h * 1000003u ^ static_cast<std::size_t>(key.Generation);
}

TPropStack::TCascadeSlot& TPropStack::CascadeSlotOf(const TCascadeKey& key, std::size_t hash) {
  const std::size_t mask = m_cascadeSlots.size() - 1;
  // The high bits of the hash times the golden ratio: every bit of the hash has a say in the slot.
  std::size_t at = static_cast<std::size_t>((static_cast<std::uint64_t>(hash) * 0x9E3779B97F4A7C15u) >> 32) & mask;
  for (;; at = (at + 1) & mask) {
    TCascadeSlot& slot = m_cascadeSlots[at];
    if (!slot.Result || (slot.Hash == hash && slot.Key == key)) return slot;
  }
}

void TPropStack::KeepCascadeResult(std::shared_ptr<TProperties> result) {
  const std::size_t hash = HashOf(m_key);
  if (m_cascadeCount >= kMaxCascadeResults) ClearCascadeResults();
  if (2 * (m_cascadeCount + 1) > m_cascadeSlots.size()) {
    // Twice the room, the kept results placed again.
    std::vector<TCascadeSlot> kept(std::move(m_cascadeSlots));
    m_cascadeSlots = std::vector<TCascadeSlot>(2 * kept.size());
    for (TCascadeSlot& slot : kept)
      if (slot.Result) CascadeSlotOf(slot.Key, slot.Hash) = std::move(slot);
  }
  TCascadeSlot& slot = CascadeSlotOf(m_key, hash);
  if (!slot.Result) ++m_cascadeCount;
  slot.Hash = hash;
  slot.Key = m_key;
  slot.Result = std::move(result);
}

void TPropStack::ClearCascadeResults() {
  if (m_cascadeCount == 0 && !m_cascadeSlots.empty()) return;  // nothing kept since the last clearing
  // A small table to start with: a small page keeps a few dozen results.
  m_cascadeSlots = std::vector<TCascadeSlot>(64);
  m_cascadeCount = 0;
}

std::unique_ptr<TProperties> TPropStack::NewEntry(bool& reused) {
  reused = !m_spare.empty();
  if (!reused) return std::make_unique<TProperties>(m_styles.Context());
  std::unique_ptr<TProperties> entry = std::move(m_spare.back());
  m_spare.pop_back();
  return entry;
}

void TPropStack::KeepSpare(std::unique_ptr<TProperties> entry) {
  if (m_spare.size() < kMaxSpareEntries && &entry->Context() == &m_styles.Context()) m_spare.push_back(std::move(entry));
}

TProperties& TPropStack::PushProperties(const TElementIdentity& element) {
  bool reused = false;
  std::unique_ptr<TProperties> entry = NewEntry(reused);
  const bool cacheable = !m_entries.empty() && element.InlineStyle == nullptr;
  if (cacheable) {
    const TProperties& parent = *m_entries.back();
    const bool shaped = parent.m_shape != 0 && parent.m_version == parent.m_shapeVersion;
    m_key.ParentShape = shaped ? parent.m_shape : 0;
    m_key.ParentSerial = shaped ? 0 : parent.SerialNumber();
    m_key.ParentVersion = shaped ? 0 : parent.Version();
    m_key.ParentEmSize = parent.EmSize();
    m_key.Generation = m_styles.Generation();
    // An id that no rule names changes nothing in the result but the id itself, which a hit sets.
    const std::string_view id =
        !element.Id.empty() && m_styles.IdInRules(element.Id) ? element.Id : std::string_view();
    const std::string_view parts[] = {element.Tag, element.Class, id, element.Pseudo, element.Title};
    std::size_t size = std::size(parts);
    for (const std::string_view part : parts) size += part.size();
    // Sized once and filled in place: the key is made for every element.
    m_key.Identity.resize(size);
    char* out = m_key.Identity.data();
    for (const std::string_view part : parts) {
      out = std::copy(part.begin(), part.end(), out);
      *out++ = '\0';
    }
    if (const TCascadeSlot& known = CascadeSlotOf(m_key, HashOf(m_key)); known.Result) {
      entry->m_serialNumber = m_styles.Context().NextSerialNumber();
      entry->CopyCascadeResult(*known.Result);
      entry->m_elementId = element.Id;
      entry->m_template = known.Result;
      entry->m_shape = known.Result->m_shape;
      entry->m_shapeVersion = entry->m_version;
      m_entries.push_back(std::move(entry));
      return *m_entries.back();
    }
  }
  if (reused) entry->Recycle();
  if (!m_entries.empty()) entry->InheritFrom(element.Tag, *m_entries.back());
  m_entries.push_back(std::move(entry));
  TProperties& top = *m_entries.back();
  top.ApplyStyleRules(m_styles, *this, element);
  if (cacheable) {
    auto result = std::make_shared<TProperties>(top, m_styles.Context());
    result->CopyCascadeResult(top);
    result->m_shape = top.m_shape = ++m_lastShape;
    top.m_shapeVersion = top.m_version;
    top.m_template = result;
    KeepCascadeResult(std::move(result));
  }
  return top;
}

void TPropStack::MakeSealKey(std::uint32_t shape, std::string_view change, std::string_view detail) {
  m_sealKey.clear();
  m_sealKey.append(reinterpret_cast<const char*>(&shape), sizeof shape);
  m_sealKey.append(change);
  m_sealKey.append(detail);
}

void TPropStack::SealShape(TProperties& entry, std::string_view change, std::string_view detail) {
  if (entry.m_shape == 0 || entry.m_version == entry.m_shapeVersion) return;
  if (m_sealedShapes.size() >= 4096) m_sealedShapes.clear();
  MakeSealKey(entry.m_shape, change, detail);
  auto at = m_sealedShapes.find(m_sealKey);
  if (at == m_sealedShapes.end()) {
    at = m_sealedShapes.try_emplace(m_sealKey).first;
    at->second.Shape = ++m_lastShape;
    at->second.Template = std::make_shared<TProperties>(entry, m_styles.Context());
    at->second.Template->CopyCascadeResult(entry);
    at->second.Template->m_shape = at->second.Shape;
  }
  entry.m_shape = at->second.Shape;
  // The font and the readings shared by the sets of the shape are those of the changed values.
  entry.m_template = at->second.Template;
  entry.m_shapeVersion = entry.m_version;
}

bool TPropStack::TakeSealedShape(TProperties& entry, std::string_view change, std::string_view detail) {
  if (entry.m_shape == 0 || entry.m_version != entry.m_shapeVersion) return false;
  MakeSealKey(entry.m_shape, change, detail);
  const auto at = m_sealedShapes.find(m_sealKey);
  if (at == m_sealedShapes.end()) return false;
  // Sets of one shape differ only in serial number and id, so the template is what the change would make
  // of this set but for those.
  std::string id = std::move(entry.m_elementId);
  entry.CopyCascadeResult(*at->second.Template);
  entry.m_elementId = std::move(id);
  entry.m_shape = at->second.Shape;
  entry.m_template = at->second.Template;
  entry.m_shapeVersion = entry.m_version;
  return true;
}

TPoppedEntry TPropStack::PopProperties(std::string_view tag) {
  int found = Count() - 1;
  while (found >= 1 && m_entries[static_cast<std::size_t>(found)]->ElementTag() != tag) --found;
  if (found < 1) return {};
  const TProperties& entry = *m_entries[static_cast<std::size_t>(found)];
  const TPoppedEntry popped{true, entry.HasBorderStyle(), entry.SerialNumber()};
  KeepSpare(std::move(m_entries[static_cast<std::size_t>(found)]));
  m_entries.erase(m_entries.begin() + found);
  // The elements that were open inside it now inherit from what was below it.
  for (int i = found; i < Count(); ++i) (*this)[i].Rederive((*this)[i - 1], m_styles, *this, i);
  return popped;
}

void TPropStack::PopTop() {
  if (Count() <= 1) return;
  KeepSpare(std::move(m_entries.back()));
  m_entries.pop_back();
}

void TPropStack::PopToCount(int count) {
  while (Count() > std::max(count, 1)) {
    KeepSpare(std::move(m_entries.back()));
    m_entries.pop_back();
  }
}

TProperties& TPropStack::InsertEntry(int index, std::unique_ptr<TProperties> entry) {
  return **m_entries.insert(m_entries.begin() + index, std::move(entry));
}

void TPropStack::RemoveEntry(int index) { m_entries.erase(m_entries.begin() + index); }

}  // namespace corvane
