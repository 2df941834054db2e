#include "reader_test_support.h"

namespace corvane::test {

std::string Utf8(const QString& text) { return text.toStdString(); }

std::vector<TReadToken> ReadTokens(THtmlReader& reader, TTextAreaContent* textArea) {
  std::vector<TReadToken> tokens;
  reader.Start();
  while (reader.Symbol() != TagSymbol::SymEof) {
    TReadToken token;
    token.Symbol = reader.Symbol();
    token.Text = Utf8(reader.Token().S());
    token.Indices = reader.Token().Indices();
    if (token.Symbol != TagSymbol::SymText) {
      token.TagValue = reader.TagValue();
      token.TagPosition = reader.TagPosition();
      for (const auto& attribute : reader.Attributes())
        token.Attributes.push_back(attribute->AttrName + "=" + attribute->Text + "|" + std::to_string(attribute->Value));
    }
    tokens.push_back(std::move(token));
    reader.ReadRawContent(textArea);
    reader.NextToken();
  }
  return tokens;
}

std::vector<TReadToken> ReadTokens(const std::string& html, int codePage) {
  THtmlReader reader(html, codePage);
  return ReadTokens(reader);
}

std::string Texts(const std::vector<TReadToken>& tokens) {
  std::string joined;
  for (const TReadToken& token : tokens) {
    if (&token != &tokens.front()) joined += '|';
    const std::string level = token.TagValue ? std::to_string(token.TagValue) : "";
    if (token.Symbol == TagSymbol::SymText)
      joined += token.Text;
    else if (!ElementName(token.Symbol).empty())
      joined += "<" + std::string(ElementName(token.Symbol)) + level + ">";
    else if (!EndElementName(token.Symbol).empty())
      joined += "</" + std::string(EndElementName(token.Symbol)) + level + ">";
    else
      joined += "<?>";
  }
  return joined;
}

TRawChars ReadRawChars(const std::string& text) {
  THtmlReader reader(text);
  TRawChars raw;
  for (reader.NextRawChar(); reader.RawChar() != '\0'; reader.NextRawChar()) {
    raw.Chars += reader.RawChar();
    raw.Positions.push_back(reader.Position());
  }
  return raw;
}

}  // namespace corvane::test
