#pragma once

#include <QString>

#include <string_view>

namespace corvane {

// Text of the job (paths, log lines, table source) is bytes in whatever encoding the files use. For
// display: UTF-8 when the bytes are valid UTF-8, otherwise one character per byte (Latin-1).
QString DisplayText(std::string_view bytes);

// A path typed or chosen in the user interface, as the bytes the file system uses.
std::string PathBytes(const QString& path);

}  // namespace corvane
