#include "style/prop_stack.h"

#include "style/style_list.h"

namespace corvane {

TPropStack::TPropStack(const TStyleList& styles) : m_styles(styles) { Reset(); }

TPropStack::~TPropStack() = default;

void TPropStack::Reset() {
  m_entries.clear();
  auto root = std::make_unique<TProperties>(m_styles.Context());
  if (const TProperties* defaultRule = m_styles.DefaultRule()) {
    root->CopyRootFrom(*defaultRule);
  } else {
    root->SetElementTag("default");
  }
  m_entries.push_back(std::move(root));
}

TProperties& TPropStack::PushProperties(const TElementIdentity& element) {
  auto entry = std::make_unique<TProperties>(m_styles.Context());
  if (!m_entries.empty()) entry->InheritFrom(element.Tag, *m_entries.back());
  m_entries.push_back(std::move(entry));
  TProperties& top = *m_entries.back();
  top.ApplyStyleRules(m_styles, *this, element);
  return top;
}

TPoppedEntry TPropStack::PopProperties(std::string_view tag) {
  int found = Count() - 1;
  while (found >= 1 && m_entries[static_cast<std::size_t>(found)]->ElementTag() != tag) --found;
  if (found < 1) return {};
  const TProperties& entry = *m_entries[static_cast<std::size_t>(found)];
  const TPoppedEntry popped{true, entry.HasBorderStyle(), entry.SerialNumber()};
  m_entries.erase(m_entries.begin() + found);
  // The elements that were open inside it now inherit from what was below it.
  for (int i = found; i < Count(); ++i) (*this)[i].Rederive((*this)[i - 1], m_styles, *this, i);
  return popped;
}

void TPropStack::PopTop() {
  if (Count() > 1) m_entries.pop_back();
}

void TPropStack::PopToCount(int count) {
  while (Count() > std::max(count, 1)) m_entries.pop_back();
}

TProperties& TPropStack::InsertEntry(int index, std::unique_ptr<TProperties> entry) {
  return **m_entries.insert(m_entries.begin() + index, std::move(entry));
}

void TPropStack::RemoveEntry(int index) { m_entries.erase(m_entries.begin() + index); }

}  // namespace corvane
