#pragma once

#include <string>

namespace corvane {

class TSectionList;

namespace test {

// A readable text of a laid-out document, one item a line, indented by nesting: blocks, text sections
// with each of their lines (place, height and text, with the font of every run that begins on the
// line), rules, tables with their column widths, rows and cells, and pictures. Two layouts that differ
// anywhere a reader could see differ in this text, so a change of rendering reads as a diff.
std::string LayoutDump(const TSectionList& document);

}  // namespace test
}  // namespace corvane
