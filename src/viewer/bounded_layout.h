#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// Laying a page out for a picture cut at a height. What lies well below the cut cannot reach the
// picture, so only a first part of the page is built and laid out: large enough that it reaches past
// the cut with room to spare, or the whole page. A page of a million rows or of 50 MB of words then
// costs what its first megabyte or so costs.
//
// What the picture above the cut may owe to the part left out: a table that goes on past the part built
// has its column widths from the rows built only; a style sheet, BODY attributes or content moved up
// (negative margins) that come after it are not applied.

// The first part of a page built in the first round, in bytes: pages up to this size are always built
// whole, in one round.
inline constexpr std::size_t kFirstLayoutBytes = std::size_t{512} << 10;

struct TBoundedLayout {
  int Height = 0;              // of what was laid out in the last round
  bool Whole = true;           // the whole page was built; else its first BytesBuilt bytes
  std::size_t BytesBuilt = 0;  // of the page, in the last round
  int Rounds = 0;
};

// Where a first part of about budget bytes ends: the page's end when it is no longer, else the last tag
// start at or before budget (no tag is cut in two), or budget itself when none starts in the second half
// of that part (a long text is cut where it must). At least half the budget, so that each larger budget
// builds more.
std::size_t FirstPartEnd(std::string_view page, std::size_t budget);

// Builds and lays out a larger first part of the page each round until what is laid out reaches far
// enough, or is the whole page. layOut builds and lays out a text in place of the document of the round
// before and answers how far it reaches, as a share of what is needed: more than 1 is enough. Each round
// builds at least twice the bytes of the one before (more when the share reached so far says that more
// are needed), so all rounds together cost at most about twice the last one. The answer's Height is left
// to the caller.
TBoundedLayout LayOutInRounds(const std::string& page, std::size_t firstBytes,
                              const std::function<long double(std::string text)>& layOut);

// Lays out a larger first part of the page each round until what is laid out is more than half as high
// again as maxHeight, or is the whole page. layOut builds and lays out a text in place of the document of
// the round before and answers its height.
TBoundedLayout LayOutWithinHeight(const std::string& page, int maxHeight, std::size_t firstBytes,
                                  const std::function<int(std::string text)>& layOut);

class TFormControls;
class TSectionList;

// The most places a table's grid takes in a picture: a place without a cell costs about 25 bytes while
// the grid is made, so hostile spans stay within a few hundred megabytes.
inline constexpr long long kPictureTablePlaces = 10'000'000;

// The most columns a table row's cells start in for a picture or a PDF: a column takes at least 2 px
// (the cell spacing or the padding and border of a cell), so these reach past the widest picture
// (6,000 px) and the widest PDF layout (20,000 px). Cells further right are not built. What the part
// shown may owe to them: a row's height that one of them would have made taller, and, where the cells
// kept are narrow enough (no spacing, no padding, empty) for the table to fit its width, the columns'
// widths. A row's cells count by their column spans; columns that cells spanning rows from above take
// are not counted, so a row may keep cells a little further right.
inline constexpr int kPictureTableColumns = 10'000;

// A page built and laid out for a picture: as much of it as reaches the picture above its cut, the form
// controls drawn as they stand when the page is loaded, each table's grid within kPictureTablePlaces and
// its rows within kPictureTableColumns.
struct TPictureLayout {
  TPictureLayout();
  ~TPictureLayout();
  TPictureLayout(TPictureLayout&&) noexcept;
  TPictureLayout& operator=(TPictureLayout&&) noexcept;

  std::unique_ptr<TFormControls> FormControls;  // goes after the document
  std::unique_ptr<TSectionList> Document;
  TBoundedLayout LaidOut;
  int Width = 0;   // of the picture: the width asked for, wider for content that is (up to maxWidth)
  int Height = 0;  // of the picture: what was laid out, cut at maxHeight

  // What the picture leaves out, a line each, naming the page name: spans of a table cut, columns of a
  // table left out, the page cut.
  std::vector<std::string> Notices(const std::string& name) const;
};

// Builds and lays out page at width for a picture cut at maxHeight; links resolve against baseAddress.
TPictureLayout LayOutPicture(std::string page, const std::string& baseAddress, int width, int maxHeight, int maxWidth);

}  // namespace corvane
