#pragma once

#include <cstdint>
#include <string>

namespace corvane::bench {

// Writes an HTML file of about sizeBytes bytes: thousands of tables of 50 rows of 8 cells, cells with
// formatting tags, entities and attributes, some tables nested in layout tables, tags in mixed letter
// case. The same size always gives the same bytes.
void GenerateTablesFile(const std::string& path, std::uint64_t sizeBytes);

}  // namespace corvane::bench
