#include "viewer/bounded_layout.h"

#include <algorithm>
#include <utility>

#include "builder/document_loader.h"
#include "forms/form_controls.h"
#include "layout/section_list.h"

namespace corvane {

std::size_t FirstPartEnd(std::string_view page, std::size_t budget) {
  if (budget >= page.size()) return page.size();
  const std::size_t tag = page.rfind('<', budget);
  return tag != std::string_view::npos && tag > budget / 2 ? tag : std::max<std::size_t>(budget, 1);
}

TBoundedLayout LayOutInRounds(const std::string& page, std::size_t firstBytes,
                              const std::function<long double(std::string text)>& layOut) {
  TBoundedLayout result;
  std::size_t budget = std::max<std::size_t>(firstBytes, 1);
  for (;;) {
    std::size_t end = FirstPartEnd(page, budget);
    if (end <= result.BytesBuilt) end = page.size();  // each round builds more than the one before
    ++result.Rounds;
    result.BytesBuilt = end;
    result.Whole = end >= page.size();
    const long double reached = layOut(result.Whole ? page : page.substr(0, end));
    if (result.Whole || reached > 1.0L) return result;
    // Twice the bytes at least; as many more as the share reached so far says are needed, with a
    // quarter to spare. Nothing reached at all: the whole page next.
    const long double needed = reached > 0.0L ? static_cast<long double>(end) * 1.25L / reached
                                              : static_cast<long double>(page.size());
    const long double next = std::max(static_cast<long double>(end) * 2.0L, needed);
    budget = next >= static_cast<long double>(page.size()) ? page.size() : static_cast<std::size_t>(next);
  }
}

TBoundedLayout LayOutWithinHeight(const std::string& page, int maxHeight, std::size_t firstBytes,
                                  const std::function<int(std::string text)>& layOut) {
  // What is laid out must reach this far before the rest of the page may be left out.
  const long long cut = std::max(maxHeight, 1);
  const long double enough = static_cast<long double>(cut + cut / 2);
  int height = 0;
  TBoundedLayout result = LayOutInRounds(page, firstBytes, [&](std::string text) {
    height = layOut(std::move(text));
    // A part laid out without height counts as a pixel, so that the next round is sized by it.
    return static_cast<long double>(std::max(height, 1)) / enough;
  });
  result.Height = height;
  return result;
}

TPictureLayout::TPictureLayout() = default;
TPictureLayout::~TPictureLayout() = default;
TPictureLayout::TPictureLayout(TPictureLayout&&) noexcept = default;
TPictureLayout& TPictureLayout::operator=(TPictureLayout&&) noexcept = default;

std::vector<std::string> TPictureLayout::Notices(const std::string& name) const {
  std::vector<std::string> notices;
  if (Document && Document->State.TableSpansCut) {
    notices.push_back(name + ": spans of a table were cut where its grid would pass " +
                      std::to_string(kPictureTablePlaces) + " places");
  }
  if (Document && Document->State.TableColumnsCut) {
    notices.push_back(name + " has a table of more than " + std::to_string(kPictureTableColumns) +
                      " columns; the picture shows its first " + std::to_string(kPictureTableColumns));
  }
  if (!LaidOut.Whole) {
    notices.push_back(name + " is more than " + std::to_string(LaidOut.Height) + " px high; the picture is cut at " +
                      std::to_string(Height) + " px");
  } else if (Height < LaidOut.Height) {
    notices.push_back(name + " is " + std::to_string(LaidOut.Height) + " px high; the picture is cut at " +
                      std::to_string(Height) + " px");
  }
  return notices;
}

TPictureLayout LayOutPicture(std::string page, const std::string& baseAddress, int width, int maxHeight, int maxWidth) {
  TPictureLayout picture;
  int scrollWidth = 0;
  picture.LaidOut = LayOutWithinHeight(page, maxHeight, kFirstLayoutBytes, [&](std::string text) {
    picture.Document.reset();  // the part built in the round before goes first
    picture.FormControls = std::make_unique<TFormControls>();
    picture.Document = std::make_unique<TSectionList>();
    picture.Document->PaintControls = true;
    picture.Document->TablePlaceBudget = kPictureTablePlaces;
    picture.Document->TableColumnLimit = kPictureTableColumns;
    TBuilderHandlers handlers;
    handlers.FormControls = picture.FormControls.get();
    handlers.BaseAddress = baseAddress;
    LoadHtmlDocument(*picture.Document, std::move(text), TDocumentDefaults{}, handlers);
    scrollWidth = 0;
    return std::max(1, picture.Document->DoLayout(width, 0, scrollWidth));
  });
  // Only the rows kept are painted and written, so a cut picture costs no more than its height.
  picture.Height = std::min(picture.LaidOut.Height, std::max(maxHeight, 1));
  picture.Width = std::max(width, std::min(scrollWidth, maxWidth));
  return picture;
}

}  // namespace corvane
