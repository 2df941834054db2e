#include "py_text_cache.h"

#include <algorithm>
#include <cstring>

namespace corvane {

namespace {

constexpr std::size_t kSlots = 2 * TPyTextCache::kMostTexts;

}  // namespace

TPyTextCache::~TPyTextCache() {
  Release();
  for (PyObject* object : m_objects) Py_XDECREF(object);
}

void TPyTextCache::BeginTable() {
  if (m_entries.size() < kMostTexts) return;
  m_off = m_hits * 8 < m_lookups;
  m_lookups = m_hits = 0;
  m_released.insert(m_released.end(), m_objects.begin(), m_objects.end());
  m_objects.clear();
  m_entries.clear();
  m_text.clear();
  std::fill(m_slots.begin(), m_slots.end(), 0);
}

void TPyTextCache::Release() {
  for (PyObject* object : m_released) Py_XDECREF(object);
  m_released.clear();
}

std::uint32_t TPyTextCache::FindShort(std::u16string_view text, char16_t& units) {
  // Four units at a time: their bits gathered, and mixed into the hash.
  const char* bytes = reinterpret_cast<const char*>(text.data());
  std::size_t left = text.size() * sizeof(char16_t);
  std::uint64_t all = 0, hash = 0x9E3779B97F4A7C15ull ^ left;
  for (;; bytes += 8, left -= 8) {
    std::uint64_t word = 0;
    if (left >= 8) {
      std::memcpy(&word, bytes, 8);
    } else {
      // 2, 4 or 6 bytes: a unit is two.
      std::uint32_t low = 0;
      std::uint16_t high = 0;
      if (left & 4) std::memcpy(&low, bytes, 4);
      if (left & 2) std::memcpy(&high, bytes + (left & 4), 2);
      word = (left & 4) ? (low | std::uint64_t{high} << 32) : high;
    }
    all |= word;
    hash = (hash ^ word) * 0xff51afd7ed558ccdull;
    hash ^= hash >> 32;
    if (left <= 8) break;
  }
  all |= all >> 32;
  all |= all >> 16;
  units = static_cast<char16_t>(all);

  if (m_slots.empty()) m_slots.assign(kSlots, 0);
  ++m_lookups;
  const std::uint64_t tag = hash & 0xFFFFFFFF00000000ull;
  for (std::size_t slot = hash & (kSlots - 1);; slot = (slot + 1) & (kSlots - 1)) {
    const std::uint64_t held = m_slots[slot];
    if (held == 0) {
      if (m_entries.size() >= kMostTexts) return kNone;
      const auto place = static_cast<std::uint32_t>(m_entries.size());
      m_entries.push_back({static_cast<std::uint32_t>(m_text.size()), static_cast<std::uint32_t>(text.size())});
      m_objects.push_back(nullptr);
      m_text.append(text);
      m_slots[slot] = tag | (place + 1);
      return place | kNew;
    }
    if ((held & 0xFFFFFFFF00000000ull) != tag) continue;
    const auto place = static_cast<std::uint32_t>(held) - 1;
    const TEntry& entry = m_entries[place];
    if (entry.Size == text.size() &&
        std::memcmp(m_text.data() + entry.Begin, text.data(), text.size() * sizeof(char16_t)) == 0) {
      ++m_hits;
      return place;
    }
  }
}

}  // namespace corvane
