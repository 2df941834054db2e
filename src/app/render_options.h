#pragma once

#include <QPageSize>

#include <optional>
#include <string>
#include <vector>

#include "app/options.h"

namespace corvane {

inline constexpr int kDefaultRenderWidth = 800;
inline constexpr int kMaxRenderWidth = 6000;         // as wide as the viewer ever paints
inline constexpr int kDefaultMaxHeight = 100000;     // a picture taller than this is cut, unless asked otherwise
inline constexpr int kDefaultMaxPages = 1000;        // a PDF of more pages is cut, unless asked otherwise

enum class TRenderFormat { Png, Pdf };

// What `corvane render ...` asks for.
struct TRenderOptions {
  std::string file;
  std::string output;
  TRenderFormat format = TRenderFormat::Png;  // set from the output's name once the page is read
  int width = kDefaultRenderWidth;
  int table = 0;  // counted from 1; 0: the whole page
  int maxHeight = kDefaultMaxHeight;
  QPageSize::PageSizeId pageSize = QPageSize::A4;
  int maxPages = kDefaultMaxPages;  // 0: no limit
  bool pictureOptionGiven = false;  // --width or --max-height
  bool pageSizeGiven = false;
  bool maxPagesGiven = false;
};

// The options of render, in the order of its help.
TOptionTable RenderOptionTable();

// Reads `render ...` (args[0] is "render"): the options, or none with error set to the usage error
// (without the program's name).
std::optional<TRenderOptions> ParseRenderArguments(const std::vector<std::string>& args, std::string& error);

}  // namespace corvane
