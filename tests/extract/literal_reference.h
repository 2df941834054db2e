#pragma once

#include <string>
#include <vector>

// Straightforward, slow versions of the extraction rules, written step by step on whole strings
// (upper-cased copies, erasing from the front), against which the fast code is compared.
namespace corvane::reference {

std::vector<std::string> ScanTables(const std::string& file);
std::vector<std::string> RowLines(const std::string& fragment, bool trimCells);
std::string ExtractCells(std::string row, const std::string& openTag, const std::string& closeTag,
                         bool trimCells);
std::string CleanRowText(const std::string& line);

}  // namespace corvane::reference
