#pragma once

#include <QPageSize>

#include <memory>
#include <string>
#include <vector>

namespace corvane {

class TPrintCopy;
class TSectionList;
struct TPrintSource;

// True when the arguments (without the program name) ask for `corvane render`.
bool IsRenderCommand(const std::vector<std::string>& args);

// Runs `corvane render FILE -o OUT.png [--width N]`: lays the page out at width N and paints it whole
// into a PNG file, offscreen; or `corvane render FILE -o OUT.pdf [--page-size NAME]`: prints the page
// into a PDF file of pages of that paper. Returns the exit status.
int RunRenderCommand(int argc, char** argv, const std::vector<std::string>& args);

// Paints a laid-out document of the given height into a PNG file, band by band, written beside path and
// put in its place only once whole. False with error set when the file cannot be written or a stop
// signal came.
bool PaintDocumentToPng(TSectionList& document, int width, int height, const std::string& path, std::string& error);

// The print copy of source that render writes into a PDF of pages of pageSize: made at 1200 dots per
// inch, with at most maxPages pages (0: all of them), of which only as much of the page is built and laid
// out as reaches them, and a table's grid held within what a picture's may take.
std::unique_ptr<TPrintCopy> MakeRenderPrintCopy(const TPrintSource& source, QPageSize::PageSizeId pageSize, int maxPages);

// Paints every page of a print copy (made for paper of pageSize at 1200 dots per inch) into a PDF file,
// written beside path and put in its place only once whole. False with error set when the file cannot
// be written or a stop signal came.
bool PaintPrintCopyToPdf(TPrintCopy& copy, QPageSize::PageSizeId pageSize, const std::string& path, std::string& error);

}  // namespace corvane
