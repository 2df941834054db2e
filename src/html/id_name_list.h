#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace corvane {

// Anything an id can name: a document item, a form control, a marked character position.
class TIDObject {
 public:
  virtual ~TIDObject() = default;
  // The document y of the object, for scrolling to it.
  virtual int GetYPos() const = 0;
};

// Where the laid-out document shows a source position. The document root answers it once it is laid out.
class TDocumentPositions {
 public:
  virtual ~TDocumentPositions() = default;
  // The y of the character at the source position; 0 when it cannot tell.
  virtual int YOfSourcePosition(int sourcePosition) const = 0;
};

// An id target that marks a character position of the source (an anchor NAME, an ID of an element that
// makes no document item of its own).
class TChPosObj final : public TIDObject {
 public:
  TChPosObj(const TDocumentPositions* document, int sourcePosition)
      : m_document(document), m_sourcePosition(sourcePosition) {}

  int GetYPos() const override { return m_document ? m_document->YOfSourcePosition(m_sourcePosition) : 0; }
  int SourcePosition() const { return m_sourcePosition; }

 private:
  const TDocumentPositions* m_document;  // not owned
  int m_sourcePosition;
};

// The ids and anchor names of a document with what they name, looked up regardless of ASCII letter
// case. The list owns the TChPosObj objects it made and nothing else.
class TIDNameList {
 public:
  explicit TIDNameList(const TDocumentPositions* document = nullptr) : m_document(document) {}

  // Registers name for object, replacing an earlier registration of the name: the last one wins.
  void AddObject(std::string_view name, TIDObject* object);
  // Registers name for a new TChPosObj at the source position.
  void AddPosition(std::string_view name, int sourcePosition);
  // What name stands for; nullptr when it is not registered.
  TIDObject* Find(std::string_view name) const;
  int Count() const { return static_cast<int>(m_entries.size()); }
  void Clear() { m_entries.clear(); }

 private:
  struct TEntry {
    std::string Name;  // as registered
    TIDObject* Object = nullptr;
    std::unique_ptr<TChPosObj> Owned;  // set when Object is a TChPosObj of this list
  };
  struct TIgnoreCaseLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
  };

  void Add(std::string_view name, TEntry entry);

  const TDocumentPositions* m_document;  // not owned
  std::map<std::string, TEntry, TIgnoreCaseLess> m_entries;
};

}  // namespace corvane
