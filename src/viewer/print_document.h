#pragma once

#include <QPageSize>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "builder/document_loader.h"
#include "html/table_places.h"
#include "layout/pagination.h"
#include "viewer/bounded_layout.h"
#include "viewer/html_view.h"

class QPagedPaintDevice;
class QPainter;
class QPrinter;
class QPrintPreviewDialog;
class QWidget;

namespace corvane {

class TSectionList;

// What a document is printed from: its source and how the viewer showed it, with the print options.
struct TPrintSource {
  std::string Text;                    // the document's source
  TDocumentKind Kind = TDocumentKind::HTML;
  std::string ReferenceName;           // the document's name (a file path or an address)
  std::string PageCharsetDeclaration;  // see THtmlView::PageCharsetDeclaration
  std::string BaseAddress;             // relative names resolve against it; empty: ReferenceName
  TDocumentDefaults Defaults;
  bool ShowImages = true;
  ThtmlViewOptions Options = htPrintTableBackground | htPrintMonochromeBlack;  // the htPrint... flags
  // Margins of the paper in centimetres, and the scale: at 1.0 a document pixel is 1/96 inch on paper.
  double MarginLeft = 2.0, MarginRight = 2.0, MarginTop = 2.0, MarginBottom = 2.0;
  double Scale = 1.0;
};

// The source of the document a view shows, with the view's print properties.
TPrintSource PrintSourceOf(const THtmlView& view);

// The footer of page n of count: "page N of M".
QString PageFooterText(int n, int count);

// What a print copy is held to: its number of pages (0: all of them) and the places of a table's grid.
struct TPrintBounds {
  int MaxPages = 0;
  long long TablePlaces = kMaxTablePlaces;
  int TableColumns = 0;  // the most columns a table row's cells start in (0: all); see TableColumnLimit
  std::size_t FirstBytes = kFirstLayoutBytes;  // the first part built when the pages are held to a number
};

// A print copy of a document: built again from its source with Printing set, laid out at the width the
// paper leaves between the margins, and cut into pages. Pages are painted in the paper's own
// coordinates (device pixels of the full page) on any paged device.
//
// A copy may be held to a number of pages: only a first part of a long document is then built, in
// rounds as a picture is (see LayOutInRounds), until its pages go on well past the last one kept
// (two pages' height further), or it is the whole document; the pages past the limit are dropped. The
// pages kept are those of the whole document, except that a table going on past the part built takes
// its column widths from its rows built only, and a document whose width comes from the part left out
// is not made smaller for it.
class TPrintCopy {
 public:
  // Builds the copy for paper of the size given in millimetres (as it lies: landscape is wider than
  // high) at the device resolution dpi, within bounds.
  TPrintCopy(const TPrintSource& source, const QSizeF& paperMillimetres, int dpi, const TPrintBounds& bounds = {});
  ~TPrintCopy();
  TPrintCopy(const TPrintCopy&) = delete;
  TPrintCopy& operator=(const TPrintCopy&) = delete;

  int PageCount() const { return static_cast<int>(m_pages.size()); }
  const std::vector<TPageRange>& Pages() const { return m_pages; }
  TSectionList& Document() { return *m_document; }
  // The width the document was laid out at, in document pixels; the document's own widest line.
  int LayoutWidth() const { return m_layoutWidth; }
  int ContentWidth() const { return m_contentWidth; }
  // The height of the laid-out document and of a page's content, in document pixels.
  int DocumentHeight() const { return m_documentHeight; }
  int PageHeight() const { return m_pageHeight; }
  // Device pixels per document pixel: the print scale, less when the document is wider than the paper.
  double PaintScale() const { return m_paintScale; }
  // Spans of a table were cut to keep its grid within bounds.
  bool TableSpansCut() const;
  // The document's title (TITLE), for the file's properties.
  const QString& Title() const { return m_title; }
  // How the document was built: whole or a first part, in how many rounds.
  const TBoundedLayout& LaidOut() const { return m_laidOut; }
  // The document has more pages than the copy was held to: only the first maxPages are kept.
  bool PagesCut() const { return m_pagesCut; }
  // What the copy leaves out, a line each, naming the document name: spans of a table cut, pages cut.
  std::vector<std::string> Notices(const std::string& name) const;

  // Paints page index (from 0) with its footer, the painter at the top left of the full page.
  void PaintPage(QPainter& painter, int index);

 private:
  // Builds text and lays it out for the paper: the document, its pages and their scale.
  void Build(const TPrintSource& source, std::string text);

  QSizeF m_paper;  // device pixels
  int m_dpi;
  std::unique_ptr<TFormControlFactory> m_controls;
  std::unique_ptr<TSectionList> m_document;
  std::vector<TPageRange> m_pages;
  int m_layoutWidth = 0;
  int m_contentWidth = 0;
  int m_documentHeight = 0;
  int m_pageHeight = 1;
  double m_paintScale = 1.0;
  double m_marginLeft = 0;  // device pixels
  double m_marginTop = 0;
  double m_marginBottom = 0;
  QRectF m_printable;  // the paper between the margins, device pixels
  double m_unit = 1.0;  // device pixels per document pixel at the print scale
  QString m_title;
  TBoundedLayout m_laidOut;
  TPrintBounds m_bounds;
  bool m_pagesCut = false;
};

// Makes the print copy for the paper and resolution of device.
std::unique_ptr<TPrintCopy> MakePrintCopy(const TPrintSource& source, QPagedPaintDevice& device);

// Paints the pages [firstPage, lastPage] (from 0; lastPage -1: to the end) of the copy on device, one
// device page each, the device's margins set to none (the copy paints its own). stop (when set) is asked
// after each page and ends the job when it answers true. False with error set when the device cannot be
// painted on or the job was stopped.
bool PaintPrintCopy(TPrintCopy& copy, QPagedPaintDevice& device, QString* error,
                    const std::function<bool()>& stop = {}, int firstPage = 0, int lastPage = -1);

// Prints the document on printer, on its paper size. False with error set when it could not.
bool PrintHtml(const TPrintSource& source, QPrinter& printer, QString* error);
// The print preview dialog over parent with the document's pages, not yet shown; the caller owns it.
QPrintPreviewDialog* MakePreviewDialog(const TPrintSource& source, QWidget* parent);
// Opens the print preview dialog over parent with the document's pages; answers the dialog's result.
int PreviewHtml(const TPrintSource& source, QWidget* parent);
// Writes the document as a PDF file of pages of pageSize to path, beside it first and put in its place
// once whole. False with error set when it could not.
bool ExportPdf(const TPrintSource& source, const QString& path, const QPageSize& pageSize, QString* error);

}  // namespace corvane
