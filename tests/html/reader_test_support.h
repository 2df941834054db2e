#pragma once

#include <QString>

#include <string>
#include <vector>

#include "html/html_reader.h"

namespace corvane::test {

// One token as the builders would see it, in a form that compares and prints well.
struct TReadToken {
  TagSymbol Symbol = TagSymbol::SymEof;
  std::string Text;          // a text token's characters, as UTF-8
  std::vector<int> Indices;  // their source indices
  int TagValue = 0;
  int TagPosition = -1;
  std::vector<std::string> Attributes;  // "NAME=text|value"
};

std::string Utf8(const QString& text);

// Reads every token of the reader up to the end of the text, reading the content of SCRIPT, STYLE and
// TEXTAREA elements with their raw-content readers.
std::vector<TReadToken> ReadTokens(THtmlReader& reader, TTextAreaContent* textArea = nullptr);
std::vector<TReadToken> ReadTokens(const std::string& html, int codePage = kCodePageUtf8);

// The tokens joined with "|": texts as they are, tags as "<name>" or "</name>" (with a heading's level),
// unknown tags as "<?>".
std::string Texts(const std::vector<TReadToken>& tokens);

// Reads the characters NextRawChar gives up to the end, with their positions.
struct TRawChars {
  std::string Chars;
  std::vector<int> Positions;
};
TRawChars ReadRawChars(const std::string& text);

}  // namespace corvane::test
