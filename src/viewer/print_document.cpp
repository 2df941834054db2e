#include "viewer/print_document.h"

#include <QFont>
#include <QPainter>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QSaveFile>

#include <algorithm>

#include "forms/form_controls.h"
#include "html/html_reader.h"
#include "layout/section_list.h"

namespace corvane {

namespace {

constexpr double kCssPixelsPerInch = 96.0;
constexpr double kMillimetresPerInch = 25.4;
constexpr int kMaxLayoutWidth = 20000;  // a document wider than this is cut on the right
constexpr double kFooterPoints = 9.0;

// Keeps print properties within sense: no negative margins, no vanishing or giant scale.
double Within(double value, double low, double high) {
  return value >= low && value <= high ? value : (value > high ? high : low);
}

}  // namespace

TPrintSource PrintSourceOf(const THtmlView& view) {
  TPrintSource source;
  source.Text = view.DocumentSource();
  source.Kind = view.DocumentKind();
  source.ReferenceName = view.DocumentName();
  source.PageCharsetDeclaration = view.PageCharsetDeclaration;
  source.BaseAddress = view.BaseAddress;
  // The defaults the view gives a document it loads.
  TDocumentDefaults& defaults = source.Defaults;
  defaults.Style.FontName = view.DefFontName;
  defaults.Style.PreFontName = view.DefPreFontName;
  defaults.Style.Size = view.DefFontSize;
  defaults.Style.Color = view.DefFontColor;
  defaults.Style.HotSpotColor = view.DefHotSpotColor;
  defaults.Style.VisitedColor = view.DefVisitedLinkColor;
  defaults.Style.OverColor = view.DefOverLinkColor;
  defaults.Style.LinkUnderline = (view.htOptions() & htNoLinkUnderline) == 0;
  defaults.Style.CharSet = view.CharSet;
  defaults.Style.MarginHeight = view.MarginHeight;
  defaults.Style.MarginWidth = view.MarginWidth;
  defaults.Background = view.DefBackground();
  defaults.HoverLinks = false;  // nothing hovers on paper
  source.ShowImages = view.ViewImages;
  source.Options = view.htOptions();
  source.MarginLeft = view.PrintMarginLeft;
  source.MarginRight = view.PrintMarginRight;
  source.MarginTop = view.PrintMarginTop;
  source.MarginBottom = view.PrintMarginBottom;
  source.Scale = view.PrintScale;
  return source;
}

QString PageFooterText(int n, int count) { return QStringLiteral("page %1 of %2").arg(n).arg(count); }

TPrintCopy::TPrintCopy(const TPrintSource& source, const QSizeF& paperMillimetres, int dpi, const TPrintBounds& bounds)
    : m_dpi(std::max(1, dpi)), m_bounds(bounds) {
  m_bounds.MaxPages = std::max(0, m_bounds.MaxPages);
  const double pixelsPerMillimetre = m_dpi / kMillimetresPerInch;
  m_paper = paperMillimetres * pixelsPerMillimetre;
  // Margins are given in centimetres.
  const double perCentimetre = 10 * pixelsPerMillimetre;
  m_marginLeft = Within(source.MarginLeft, 0, 100) * perCentimetre;
  m_marginTop = Within(source.MarginTop, 0, 100) * perCentimetre;
  m_marginBottom = Within(source.MarginBottom, 0, 100) * perCentimetre;
  double marginRight = Within(source.MarginRight, 0, 100) * perCentimetre;
  // Margins that leave no room are dropped rather than printing nothing.
  if (m_marginLeft + marginRight > m_paper.width() * 0.9) m_marginLeft = marginRight = 0;
  const double printableWidth = std::max(1.0, m_paper.width() - m_marginLeft - marginRight);
  if (m_marginTop + m_marginBottom > m_paper.height() * 0.9) m_marginTop = m_marginBottom = 0;
  const double printableHeight = std::max(1.0, m_paper.height() - m_marginTop - m_marginBottom);
  m_printable = QRectF(m_marginLeft, m_marginTop, printableWidth, printableHeight);

  m_unit = m_dpi / kCssPixelsPerInch * Within(source.Scale, 0.05, 20);  // device pixels per px
  m_contentWidth = std::clamp(static_cast<int>(printableWidth / m_unit), 1, kMaxLayoutWidth);

  if (m_bounds.MaxPages == 0) {
    Build(source, source.Text);
    m_laidOut.BytesBuilt = source.Text.size();
    m_laidOut.Rounds = 1;
  } else {
    // The part built reaches far enough once its pages go on two pages' height past the last page kept;
    // until then, the pages it has say how much more is needed.
    const long double wanted = static_cast<long double>(m_bounds.MaxPages) + 2.0L;
    m_laidOut = LayOutInRounds(source.Text, m_bounds.FirstBytes, [&](std::string text) {
      Build(source, std::move(text));
      if (PageCount() <= m_bounds.MaxPages) return static_cast<long double>(PageCount()) / wanted;
      const long double past = static_cast<long double>(m_pages[static_cast<std::size_t>(m_bounds.MaxPages - 1)].Bottom) +
                               2.0L * static_cast<long double>(m_pageHeight);
      return static_cast<long double>(m_documentHeight) / std::max(past, 1.0L);
    });
    m_pagesCut = PageCount() > m_bounds.MaxPages;
    if (m_pagesCut) m_pages.resize(static_cast<std::size_t>(m_bounds.MaxPages));
  }
  m_laidOut.Height = m_documentHeight;
}

void TPrintCopy::Build(const TPrintSource& source, std::string text) {
  m_document.reset();  // the part built in the round before goes first, then its controls
  m_controls = std::make_unique<TFormControls>();
  m_document = std::make_unique<TSectionList>();
  TSectionList& document = *m_document;
  document.ShowImages = source.ShowImages;
  document.TablePlaceBudget = m_bounds.TablePlaces;
  document.TableColumnLimit = m_bounds.TableColumns;
  TBuilderHandlers handlers;
  handlers.BaseAddress = source.BaseAddress.empty() ? source.ReferenceName : source.BaseAddress;
  handlers.FormControls = m_controls.get();
  if (!source.PageCharsetDeclaration.empty()) handlers.PageCharset = DeclaredCharset(source.PageCharsetDeclaration);
  if (source.Kind == TDocumentKind::HTML) {
    const TParseResult result = LoadHtmlDocument(document, std::move(text), source.Defaults, handlers);
    m_title = result.Title;
  } else {
    LoadTextDocument(document, std::move(text), source.Defaults, handlers);
  }
  document.ShowImages = source.ShowImages;
  document.Printing = true;
  document.IsCopy = true;
  document.PaintControls = true;
  document.PrintBackground = (source.Options & htPrintBackground) != 0;
  document.PrintTableBackground = (source.Options & htPrintTableBackground) != 0;
  document.PrintMonochromeBlack = (source.Options & htPrintMonochromeBlack) != 0;

  int scrollWidth = 0;
  const double printableHeight = m_printable.height();
  const int pageHeight = std::max(1, static_cast<int>(printableHeight / m_unit));
  m_documentHeight = document.DoLayout(m_contentWidth, pageHeight, scrollWidth);
  // A document wider than the paper (a wide table) is made smaller until it fits across; its pages
  // then hold as much more down.
  m_layoutWidth = std::clamp(scrollWidth, m_contentWidth, kMaxLayoutWidth);
  m_paintScale = m_unit * m_contentWidth / m_layoutWidth;
  m_pageHeight = std::max(1, static_cast<int>(printableHeight / m_paintScale));
  m_pages = PaginateDocument(document, m_documentHeight, m_pageHeight);
}

std::vector<std::string> TPrintCopy::Notices(const std::string& name) const {
  std::vector<std::string> notices;
  if (TableSpansCut()) {
    notices.push_back(name + ": spans of a table were cut where its grid would pass " +
                      std::to_string(m_document->TablePlaceBudget) + " places");
  }
  if (m_document->State.TableColumnsCut) {
    notices.push_back(name + " has a table of more than " + std::to_string(m_bounds.TableColumns) +
                      " columns; the PDF shows its first " + std::to_string(m_bounds.TableColumns));
  }
  if (m_pagesCut) {
    notices.push_back(name + " needs more than " + std::to_string(m_bounds.MaxPages) + " pages; the PDF is cut after page " +
                      std::to_string(m_bounds.MaxPages));
  }
  return notices;
}

TPrintCopy::~TPrintCopy() {
  // The document lets go of its controls before their factory goes.
  m_document.reset();
}

bool TPrintCopy::TableSpansCut() const { return m_document->State.TableSpansCut; }

void TPrintCopy::PaintPage(QPainter& painter, int index) {
  if (index < 0 || index >= PageCount()) return;
  // The page's background fills the space between the margins, below the document's end too.
  if (m_document->PaintsBackgrounds(false)) {
    const QColor background = ToQColor(m_document->Background());
    if (background.isValid()) painter.fillRect(m_printable, background);
  }
  painter.save();
  painter.translate(m_marginLeft, m_marginTop);
  painter.scale(m_paintScale, m_paintScale);
  corvane::PaintPage(*m_document, m_pages[static_cast<std::size_t>(index)], m_layoutWidth, painter);
  painter.restore();

  // The footer, centred in the bottom margin when there is room for it.
  const int footerPixels = std::max(1, static_cast<int>(m_dpi * kFooterPoints / 72.0));
  if (m_marginBottom < footerPixels * 1.5) return;
  painter.save();
  QFont font(QStringLiteral("Times New Roman"));
  font.setPixelSize(footerPixels);
  painter.setFont(font);
  painter.setPen(Qt::black);
  const QRectF margin(0, m_paper.height() - m_marginBottom, m_paper.width(), m_marginBottom);
  painter.drawText(margin, Qt::AlignCenter, PageFooterText(index + 1, PageCount()));
  painter.restore();
}

bool PaintPrintCopy(TPrintCopy& copy, QPagedPaintDevice& device, QString* error, const std::function<bool()>& stop,
                    int firstPage, int lastPage) {
  auto fail = [error](const QString& message) {
    if (error) *error = message;
    return false;
  };
  // The copy paints its own margins: the device's page is painted whole from its top left corner.
  device.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
  firstPage = std::max(0, firstPage);
  lastPage = lastPage < 0 ? copy.PageCount() - 1 : std::min(lastPage, copy.PageCount() - 1);
  QPainter painter;
  if (!painter.begin(&device)) return fail(QStringLiteral("cannot paint on the printer or file"));
  for (int page = firstPage; page <= lastPage; ++page) {
    if (page > firstPage && !device.newPage()) {
      painter.end();
      return fail(QStringLiteral("cannot start a new page"));
    }
    copy.PaintPage(painter, page);
    if (stop && stop()) {
      painter.end();
      return fail(QStringLiteral("stopped"));
    }
  }
  if (!painter.end()) return fail(QStringLiteral("cannot finish the printout"));
  return true;
}

std::unique_ptr<TPrintCopy> MakePrintCopy(const TPrintSource& source, QPagedPaintDevice& device) {
  const QSizeF paper = device.pageLayout().fullRect(QPageLayout::Millimeter).size();
  return std::make_unique<TPrintCopy>(source, paper, device.logicalDpiY());
}

bool PrintHtml(const TPrintSource& source, QPrinter& printer, QString* error) {
  printer.setFullPage(true);
  const std::unique_ptr<TPrintCopy> copy = MakePrintCopy(source, printer);
  int first = 0;
  int last = -1;
  if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
    first = printer.fromPage() - 1;
    last = printer.toPage() > 0 ? printer.toPage() - 1 : -1;
  }
  return PaintPrintCopy(*copy, printer, error, {}, first, last);
}

QPrintPreviewDialog* MakePreviewDialog(const TPrintSource& source, QWidget* parent) {
  auto* dialog = new QPrintPreviewDialog(parent);
  // The dialog asks again whenever the paper or its orientation change: the copy is made for each.
  QObject::connect(dialog, &QPrintPreviewDialog::paintRequested, dialog, [source](QPrinter* printer) {
    printer->setFullPage(true);
    const std::unique_ptr<TPrintCopy> copy = MakePrintCopy(source, *printer);
    PaintPrintCopy(*copy, *printer, nullptr);
  });
  return dialog;
}

int PreviewHtml(const TPrintSource& source, QWidget* parent) {
  std::unique_ptr<QPrintPreviewDialog> dialog(MakePreviewDialog(source, parent));
  return dialog->exec();
}

bool ExportPdf(const TPrintSource& source, const QString& path, const QPageSize& pageSize, QString* error) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    if (error) *error = file.errorString();
    return false;
  }
  {
    QPdfWriter writer(&file);
    writer.setPageSize(pageSize);
    writer.setCreator(QStringLiteral("CORVANE"));
    const std::unique_ptr<TPrintCopy> copy = MakePrintCopy(source, writer);
    writer.setTitle(copy->Title());
    if (!PaintPrintCopy(*copy, writer, error)) {
      file.cancelWriting();
      return false;
    }
  }
  if (!file.commit()) {
    if (error) *error = file.errorString();
    return false;
  }
  return true;
}

}  // namespace corvane
