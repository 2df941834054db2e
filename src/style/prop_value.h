#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "style/style_units.h"

namespace corvane {

// One style property value: unset, text, integer or number. Texts are shared, never copied: a child
// element takes most of its parent's values on every push, and a shared text makes that a pointer copy.
// The count of a shared text is a plain integer, not an atomic one: the values of a document are used
// on one thread at a time, and an element's push copies sixty of them.
class TPropValue {
 public:
  enum class TKind : std::uint8_t { Unset, Text, Integer, Number };

  TPropValue() = default;
  TPropValue(const TPropValue& other) noexcept
      : m_text(other.m_text), m_number(other.m_number), m_integer(other.m_integer), m_kind(other.m_kind) {
    if (m_text) ++m_text->Refs;
  }
  TPropValue(TPropValue&& other) noexcept
      : m_text(other.m_text), m_number(other.m_number), m_integer(other.m_integer), m_kind(other.m_kind) {
    other.m_text = nullptr;
    other.m_kind = TKind::Unset;
  }
  TPropValue& operator=(const TPropValue& other) noexcept {
    // Pushes mostly overwrite a value with the same shared text: no counts change then.
    if (m_text != other.m_text) {
      if (other.m_text) ++other.m_text->Refs;
      Release();
      m_text = other.m_text;
    }
    m_number = other.m_number;
    m_integer = other.m_integer;
    m_kind = other.m_kind;
    return *this;
  }
  TPropValue& operator=(TPropValue&& other) noexcept {
    if (this != &other) {
      Release();
      m_text = other.m_text;
      m_number = other.m_number;
      m_integer = other.m_integer;
      m_kind = other.m_kind;
      other.m_text = nullptr;
      other.m_kind = TKind::Unset;
    }
    return *this;
  }
  ~TPropValue() { Release(); }

  static TPropValue Text(std::string_view text);
  static TPropValue Integer(std::int32_t value);
  static TPropValue Number(double value);

  TKind Kind() const { return m_kind; }
  bool IsSet() const { return m_kind != TKind::Unset; }
  bool IsText() const { return m_kind == TKind::Text; }
  bool IsInteger() const { return m_kind == TKind::Integer; }
  bool IsNumber() const { return m_kind == TKind::Number; }
  // True for an integer equal to value.
  bool IsInteger(std::int32_t value) const { return m_kind == TKind::Integer && m_integer == value; }

  // The text; "" for other kinds.
  std::string_view AsText() const { return m_text ? std::string_view(m_text->Value) : std::string_view(); }
  // The text read as a length (number, unit, box keyword, border style), read on the first call only:
  // the reading is kept with the shared text, so every set holding the text shares it. Other kinds read
  // as "". A value about to go gives a copy, so no reference outlives the text it points into.
  const TParsedLength& AsLength() const& {
    if (!m_text) return EmptyLength();
    if (!m_text->LengthRead) {
      m_text->Length = ParseLength(m_text->Value);
      m_text->LengthRead = true;
    }
    return m_text->Length;
  }
  TParsedLength AsLength() const&& { return static_cast<const TPropValue&>(*this).AsLength(); }
  // The integer; 0 for other kinds.
  std::int32_t AsInteger() const { return m_kind == TKind::Integer ? m_integer : 0; }
  // The number; 0 for other kinds.
  double AsNumber() const { return m_kind == TKind::Number ? m_number : 0.0; }
  // An integer or a number as a number; 0 for unset and text.
  double Numeric() const;

  friend bool operator==(const TPropValue& a, const TPropValue& b);

 private:
  struct TSharedText {
    std::string Value;
    int Refs = 1;
    // AsLength's reading of Value, once made. The text never changes, so neither does the reading.
    bool LengthRead = false;
    TParsedLength Length;
  };
  static const TParsedLength& EmptyLength();
  void Release() noexcept {
    if (m_text && --m_text->Refs == 0) delete m_text;
    m_text = nullptr;
  }

  TSharedText* m_text = nullptr;
  double m_number = 0.0;
  std::int32_t m_integer = 0;
  TKind m_kind = TKind::Unset;
};

}  // namespace corvane
