#include "style/prop_value.h"

namespace corvane {

TPropValue TPropValue::Text(std::string_view text) {
  TPropValue value;
  value.m_kind = TKind::Text;
  value.m_text = new TSharedText{std::string(text), 1, false, {}};
  return value;
}

TPropValue TPropValue::Integer(std::int32_t integer) {
  TPropValue value;
  value.m_kind = TKind::Integer;
  value.m_integer = integer;
  return value;
}

TPropValue TPropValue::Number(double number) {
  TPropValue value;
  value.m_kind = TKind::Number;
  value.m_number = number;
  return value;
}

const TParsedLength& TPropValue::EmptyLength() {
  static const TParsedLength empty = ParseLength("");
  return empty;
}

double TPropValue::Numeric() const {
  if (m_kind == TKind::Integer) return m_integer;
  if (m_kind == TKind::Number) return m_number;
  return 0.0;
}

bool operator==(const TPropValue& a, const TPropValue& b) {
  if (a.m_kind != b.m_kind) return false;
  switch (a.m_kind) {
    case TPropValue::TKind::Unset:
      return true;
    case TPropValue::TKind::Text:
      return a.m_text == b.m_text || a.AsText() == b.AsText();
    case TPropValue::TKind::Integer:
      return a.m_integer == b.m_integer;
    case TPropValue::TKind::Number:
      return a.m_number == b.m_number;
  }
  return false;
}

}  // namespace corvane
