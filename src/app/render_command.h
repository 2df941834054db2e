#pragma once

#include <QPageSize>

#include <string>
#include <vector>

namespace corvane {

class TPrintCopy;
class TSectionList;

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

// Paints every page of a print copy (made for paper of pageSize at 1200 dots per inch) into a PDF file,
// written beside path and put in its place only once whole. False with error set when the file cannot
// be written or a stop signal came.
bool PaintPrintCopyToPdf(TPrintCopy& copy, QPageSize::PageSizeId pageSize, const std::string& path, std::string& error);

}  // namespace corvane
