#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "images/image_cache.h"

namespace corvane {

// The pictures still to come: names that an image request answered with the waiting stream, each with
// the objects (image objects of the document) that show the default picture until the host hands the
// picture in. Names are keyed like the image cache; lookups are by hash.
template <typename TWaiter>
class TDelayedPictureList {
 public:
  bool Contains(std::string_view name) const { return m_waiting.contains(TStringBitmapList::Key(name)); }
  void Add(std::string_view name, TWaiter* waiter) { m_waiting[TStringBitmapList::Key(name)].push_back(waiter); }
  // The objects waiting for name, which no longer wait.
  std::vector<TWaiter*> Take(std::string_view name) {
    std::vector<TWaiter*> waiters;
    const auto found = m_waiting.find(TStringBitmapList::Key(name));
    if (found == m_waiting.end()) return waiters;
    waiters = std::move(found->second);
    m_waiting.erase(found);
    return waiters;
  }
  // An object that goes away before its picture arrives.
  void Remove(std::string_view name, TWaiter* waiter) {
    const auto found = m_waiting.find(TStringBitmapList::Key(name));
    if (found == m_waiting.end()) return;
    std::erase(found->second, waiter);
    if (found->second.empty()) m_waiting.erase(found);
  }
  bool Empty() const { return m_waiting.empty(); }
  void Clear() { m_waiting.clear(); }

 private:
  std::unordered_map<std::string, std::vector<TWaiter*>> m_waiting;
};

}  // namespace corvane
