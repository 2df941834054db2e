// The short cell texts a read_tables call has made into Python str, so that a text met again shares the
// one object. Tables repeat their short texts (a column of "yes" and "no", of units, of years): each
// repeat then costs a reference, not a string of its own made while the interpreter's lock is held, and
// the rows take less memory.
//
// The texts are looked up without the lock, on the thread that makes the objects, before it takes the
// lock; the objects are made, shared and given back with the lock held. The cache holds a few thousand
// texts, few enough to stay in the processor's cache: when it is full as a table begins, it is emptied,
// so that a long page keeps sharing the texts its later tables repeat. A page whose texts seldom repeat
// (a table of measurements, of identifiers) would pay for the lookups and gain nothing: when fewer than
// one lookup in eight found its text by the time the cache filled, the call stops keeping texts.

#pragma once

#include <Python.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

class TPyTextCache {
 public:
  static constexpr std::size_t kLongestText = 32;        // units; longer texts are rarely repeated
  static constexpr std::uint32_t kMostTexts = 8192;      // then texts not yet held stay out
  static constexpr std::uint32_t kNone = 0xFFFFFFFFu;    // a text the cache does not hold
  static constexpr std::uint32_t kNew = 0x80000000u;     // set on a place whose object is to be made

  TPyTextCache() = default;
  TPyTextCache(const TPyTextCache&) = delete;
  TPyTextCache& operator=(const TPyTextCache&) = delete;
  // With the lock held: gives back the objects.
  ~TPyTextCache();

  // Without the lock, before a table's texts are looked up: empties a full cache. Its objects are given
  // back by the next Release.
  void BeginTable();
  // Without the lock. The place of text in the cache, with kNew set when the text is new to it (its
  // object is to be made and given to Fill before the place is asked for again), or kNone. units: every
  // unit of text or'ed together, which tells the narrowest form Python stores it in.
  std::uint32_t Find(std::u16string_view text, char16_t& units) {
    if (m_off || text.size() > kLongestText) {
      char16_t all = 0;
      for (std::size_t k = 0; k < text.size(); ++k) all |= text[k];
      units = all;
      return kNone;
    }
    return FindShort(text, units);
  }

  // With the lock held. Fill takes a new reference to the object of a place Find found new; Object is
  // the place's object, borrowed; Release gives back the objects of a cache emptied since.
  void Fill(std::uint32_t place, PyObject* object) { m_objects[place] = object; }
  PyObject* Object(std::uint32_t place) const { return m_objects[place]; }
  void Release();

 private:
  struct TEntry {
    std::uint32_t Begin = 0;  // in m_text
    std::uint32_t Size = 0;
  };

  std::uint32_t FindShort(std::u16string_view text, char16_t& units);

  // By hash, a power of two long, at most half full: 0 where free, else the hash's upper half and the
  // entry's place + 1.
  std::vector<std::uint64_t> m_slots;
  std::vector<TEntry> m_entries;      // by place
  std::vector<PyObject*> m_objects;   // by place
  std::vector<PyObject*> m_released;  // of an emptied cache, to give back
  std::u16string m_text;              // the texts held, one after the other
  std::size_t m_lookups = 0;          // since the cache was last emptied
  std::size_t m_hits = 0;
  bool m_off = false;                 // texts repeat too seldom to keep
};

}  // namespace corvane
