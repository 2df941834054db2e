#include "html/id_name_list.h"

#include <algorithm>

namespace corvane {

namespace {

unsigned char Folded(char c) {
  return static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
}

}  // namespace

bool TIDNameList::TIgnoreCaseLess::operator()(std::string_view a, std::string_view b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return Folded(x) < Folded(y); });
}

void TIDNameList::Add(std::string_view name, TEntry entry) {
  // Erasing first also frees a position object that the earlier registration made.
  if (const auto found = m_entries.find(name); found != m_entries.end()) m_entries.erase(found);
  entry.Name = std::string(name);
  std::string key = entry.Name;
  m_entries.emplace(std::move(key), std::move(entry));
}

void TIDNameList::AddObject(std::string_view name, TIDObject* object) {
  TEntry entry;
  entry.Object = object;
  Add(name, std::move(entry));
}

void TIDNameList::AddPosition(std::string_view name, int sourcePosition) {
  TEntry entry;
  entry.Owned = std::make_unique<TChPosObj>(m_document, sourcePosition);
  entry.Object = entry.Owned.get();
  Add(name, std::move(entry));
}

TIDObject* TIDNameList::Find(std::string_view name) const {
  const auto found = m_entries.find(name);
  return found == m_entries.end() ? nullptr : found->second.Object;
}

}  // namespace corvane
