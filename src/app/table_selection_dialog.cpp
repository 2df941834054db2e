#include "app/table_selection_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>
#include <exception>

#include "app/dialog_font.h"
#include "app/display_text.h"
#include "app/print_actions.h"
#include "app/table_preview.h"
#include "app/ui_texts.h"
#include "sheets/sheet_table.h"
#include "viewer/html_view.h"
#include "viewer/print_document.h"

namespace corvane {

namespace {

constexpr int kClientWidth = 664;
constexpr int kClientHeight = 476;
constexpr int kBottomPanelHeight = 41;
constexpr int kListWidth = 121;
// Small enough for a 640 x 400 screen (a 1280 x 800 one at 200 %) with a task bar.
constexpr int kMinimumWidth = 360;
constexpr int kMinimumHeight = 220;
constexpr int kMinimumListWidth = 60;
constexpr int kMinimumViewWidth = 120;
constexpr int kExtractWidth = 75;
constexpr int kExtractHeight = 25;
// Cells handed over by the table reader at a time while a table is summarised.
constexpr std::size_t kSummaryBatch = 64;
constexpr int kCountedRole = TfrmPreview::kDetailRole + 1;
constexpr int kDescribedRole = TfrmPreview::kDetailRole + 2;  // the entry's details have been read
// The entries described as the list is filled, before any is seen: more than a screenful.
constexpr int kEntriesDescribedAtOnce = 64;

constexpr char kSizeSetting[] = "TableSelect/Size";
constexpr char kMaximizedSetting[] = "TableSelect/Maximized";
constexpr char kSplitterSetting[] = "TableSelect/Splitter";
QSettings Settings() { return QSettings(kApplicationTitle, kApplicationTitle); }

// The cell's text with every run of white space made one space and none at either end, cut to
// kSummaryTextLength characters with a mark. Built in one buffer; a long text is read no further than
// the cut.
QString SummaryText(const QString& text) {
  QString out;
  out.reserve(std::min<qsizetype>(text.size(), kSummaryTextLength + 2));
  bool space = false;
  for (const QChar c : text) {
    if (c.isSpace()) {
      space = !out.isEmpty();
      continue;
    }
    if (space) out.append(QLatin1Char(' '));
    space = false;
    out.append(c);
    if (out.size() > kSummaryTextLength) break;
  }
  if (out.size() <= kSummaryTextLength) return out;
  out.truncate(kSummaryTextLength);
  // Never half a surrogate pair, nor a space before the mark.
  if (out.back().isHighSurrogate()) out.chop(1);
  while (!out.isEmpty() && out.back() == QLatin1Char(' ')) out.chop(1);
  return out + QString::fromUtf8(kTextCutMark);
}

// Draws an entry as two lines: its name as the list shows it, and below it, smaller and greyed, the
// details of its table (kDetailRole).
class TTableEntryDelegate final : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    const QFontMetrics small(DetailFont(option.font));
    // As wide as the name: the details are cut to the list's width rather than scroll it.
    size.setHeight(size.height() + small.height());
    return size;
  }

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QString name = item.text;
    item.text.clear();
    const QWidget* widget = item.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    // The background, the selection and the focus frame as the style draws them.
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

    const bool selected = item.state & QStyle::State_Selected;
    const QPalette::ColorGroup group = item.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
    const QColor text = item.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
    QColor grey = text;
    grey.setAlphaF(0.6f);
    const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget).adjusted(2, 1, -2, -1);
    const QFontMetrics nameMetrics(item.font);
    const QFont smallFont = DetailFont(item.font);
    const QFontMetrics small(smallFont);

    painter->save();
    painter->setClipRect(option.rect);
    painter->setFont(item.font);
    painter->setPen(text);
    const QRect nameRect(area.left(), area.top(), area.width(), nameMetrics.height());
    painter->drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter,
                      nameMetrics.elidedText(name, Qt::ElideRight, area.width()));
    painter->setFont(smallFont);
    painter->setPen(grey);
    const QRect detailRect(area.left(), nameRect.bottom() + 1, area.width(), small.height());
    const QString detail = index.data(TfrmPreview::kDetailRole).toString();
    painter->drawText(detailRect, Qt::AlignLeft | Qt::AlignVCenter,
                      small.elidedText(detail, Qt::ElideRight, area.width()));
    painter->restore();
  }

 private:
  static QFont DetailFont(QFont font) {
    if (font.pixelSize() > 0)
      font.setPixelSize(std::max(8, font.pixelSize() - 1));
    else
      font.setPointSizeF(std::max(6.0, font.pointSizeF() * 0.9));
    return font;
  }
};

}  // namespace

TTableSummary SummariseTable(std::string_view fragment, const std::string& pageCharset, bool countAll) {
  TTableSummary summary;
  const bool whole = countAll || fragment.size() <= kCountOnClickSize;
  TSheetReading reading;
  reading.PageCharset = pageCharset;
  TSheetTableReader reader(whole ? fragment : fragment.substr(0, kSummaryPrefix), reading);
  std::vector<TSheetCell> cells;
  cells.reserve(kSummaryBatch);
  bool found = false;
  while (reader.Read(cells, kSummaryBatch)) {
    for (std::size_t i = 0; !found && i < cells.size(); ++i) {
      summary.FirstCell = SummaryText(cells[i].Text);
      found = !summary.FirstCell.isEmpty();
    }
    cells.clear();
    if (found && !whole) break;
  }
  if (whole) {
    summary.Counted = true;
    summary.Rows = reader.Rows();
    summary.Columns = reader.Columns();
  }
  return summary;
}

QString TableDetail(const TTableSummary& summary, std::size_t fragmentSize) {
  QString detail = summary.Counted ? QString::number(summary.Rows) + QString::fromUtf8(kTableSizeSeparator) +
                                         QString::number(summary.Columns)
                                   : QString::fromUtf8(kLargeTableSize)
                                         .arg(static_cast<double>(fragmentSize) / (1024.0 * 1024.0), 0, 'f', 1);
  if (!summary.FirstCell.isEmpty())
    detail += QString::fromUtf8(kTableDetailSeparator) + QLatin1Char('"') + summary.FirstCell + QLatin1Char('"');
  return detail;
}

TfrmPreview::TfrmPreview(QWidget* parent) : QDialog(parent) {
  setWindowTitle(kTableSelectCaption);
  setFont(DialogFont());
  setWindowFlag(Qt::WindowMaximizeButtonHint, true);
  setSizeGripEnabled(true);
  setMinimumSize(kMinimumWidth, kMinimumHeight);
  resize(kClientWidth, kClientHeight);
  setModal(true);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  // The user may widen the list at the table's expense; neither side can vanish.
  m_splitter = new QSplitter(Qt::Horizontal, this);
  m_splitter->setObjectName("splTables");
  m_splitter->setChildrenCollapsible(false);
  layout->addWidget(m_splitter, 1);

  m_lstTables = new QListWidget(m_splitter);
  m_lstTables->setSelectionMode(QAbstractItemView::ExtendedSelection);
  m_lstTables->setItemDelegate(new TTableEntryDelegate(m_lstTables));
  // Every entry is two lines of the same fonts: the list never measures thousands of them one by one.
  m_lstTables->setUniformItemSizes(true);
  m_lstTables->setMinimumWidth(kMinimumListWidth);
  // Its own: under a skin's style sheet, a list made inside the splitter is polished with the
  // application's font rather than the dialog's.
  m_lstTables->setFont(DialogFont());
  // Entries get their details as they come into view.
  m_lstTables->viewport()->installEventFilter(this);
  // Every click that changes the selection shows the highest selected table.
  connect(m_lstTables, &QListWidget::itemSelectionChanged, this, [this] { lstTablesClick(); });

  m_htmlView = std::make_unique<TViewerPreview>(m_splitter);
  m_htmlView->Widget()->setMinimumWidth(kMinimumViewWidth);
  m_splitter->addWidget(m_lstTables);
  m_splitter->addWidget(m_htmlView->Widget());
  m_splitter->setStretchFactor(0, 0);
  m_splitter->setStretchFactor(1, 1);
  m_splitter->setSizes({kListWidth, kClientWidth - kListWidth});

  // File > Print, Print Preview and Export PDF of the table shown.
  auto* menuBar = new QMenuBar(this);
  menuBar->setObjectName("mmPreview");
  layout->setMenuBar(menuBar);
  const THtmlView& view = static_cast<TViewerPreview&>(*m_htmlView).View();
  AddPrintActions(*menuBar->addMenu(kFileMenu), *this,
                  {[&view] { return !view.DocumentSource().empty(); }, [&view] { return PrintSourceOf(view); },
                   [this] {
                     return QFileInfo(DisplayText(PageFile)).completeBaseName() + kPdfTableSuffix +
                            QString::number(m_shownTable + 1);
                   }});

  // The remember box at the left, Extract at the right: as the dialog grows, the space between them.
  auto* pnlBottom = new QWidget(this);
  pnlBottom->setFixedHeight(kBottomPanelHeight);
  auto* bottom = new QHBoxLayout(pnlBottom);
  bottom->setContentsMargins(8, 8, 13, 8);
  m_chkRememberTables = new QCheckBox(kRememberTablesCaption, pnlBottom);
  m_btnExtract = new QPushButton(kExtractCaption, pnlBottom);
  m_btnExtract->setFixedSize(kExtractWidth, kExtractHeight);
  bottom->addWidget(m_chkRememberTables);
  bottom->addStretch(1);
  bottom->addWidget(m_btnExtract);
  layout->addWidget(pnlBottom);
  connect(m_btnExtract, &QPushButton::clicked, this, [this] { btnExtractClick(); });
}

TfrmPreview::~TfrmPreview() = default;

void TfrmPreview::StartJob() {
  m_chkRememberTables->setChecked(false);
  Remember = false;
}

void TfrmPreview::UpdateListBox() {
  QString title = QString::fromUtf8(kTableSelectCaption);
  if (!PageFile.empty())
    title += kTitleFileSeparator + QFileInfo(DisplayText(PageFile)).fileName();
  setWindowTitle(title);

  const QSignalBlocker quiet(m_lstTables);
  m_lstTables->clear();
  for (std::size_t i = 1; i <= Tables().size(); ++i) m_lstTables->addItem(kTableItemPrefix + QString::number(i));
  // A page can hold thousands of tables: each entry is described when it first comes into view (and the
  // first screenful now), so that filling the list never reads every table.
  DescribeEntries(0, kEntriesDescribedAtOnce - 1);
  // No table of an earlier file stays visible.
  m_htmlView->Clear();
  m_htmlView->Widget()->update();
}

void TfrmPreview::DescribeEntries(int first, int last) {
  last = std::min(last, m_lstTables->count() - 1);
  for (int row = std::max(first, 0); row <= last; ++row) {
    if (m_lstTables->item(row)->data(kDescribedRole).toBool()) continue;
    const auto index = static_cast<std::size_t>(row);
    try {
      if (Tables().Size(index) > kCountOnClickSize) {
        // Only the start of a large table is read, for its first cell; it is counted when clicked.
        TTableSummary summary = SummariseTable(Tables().Text(index, kSummaryPrefix), PageCharset, true);
        summary.Counted = false;
        summary.Rows = summary.Columns = 0;
        DescribeEntry(row, summary);
      } else {
        DescribeEntry(row, SummariseTable(Tables().Text(index), PageCharset, false));
      }
    } catch (const std::exception&) {
      // A table that cannot be read for its details (out of memory) is still listed, without them.
      m_lstTables->item(row)->setData(kDescribedRole, true);
    }
  }
}

void TfrmPreview::DescribeVisibleEntries() {
  const QRect area = m_lstTables->viewport()->rect();
  const QModelIndex top = m_lstTables->indexAt(area.topLeft());
  if (!top.isValid()) return;
  const QModelIndex bottom = m_lstTables->indexAt(QPoint(0, area.bottom()));
  DescribeEntries(top.row(), bottom.isValid() ? bottom.row() : m_lstTables->count() - 1);
}

bool TfrmPreview::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_lstTables->viewport() && event->type() == QEvent::Paint) DescribeVisibleEntries();
  return QDialog::eventFilter(watched, event);
}

void TfrmPreview::DescribeEntry(int row, const TTableSummary& summary) {
  QListWidgetItem* item = m_lstTables->item(row);
  item->setData(kDescribedRole, true);
  const QString detail = TableDetail(summary, Tables().Size(static_cast<std::size_t>(row)));
  const QString description = kTableDescriptionPrefix + QString::number(row + 1) +
                              QString::fromUtf8(kTableDescriptionSeparator) + detail;
  item->setData(kDetailRole, detail);
  item->setData(kCountedRole, summary.Counted);
  item->setToolTip(description);
  item->setData(Qt::AccessibleTextRole, description);
}

void TfrmPreview::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  PlaceOnScreen();
  update();
}

void TfrmPreview::PlaceOnScreen() {
  if (!m_placed) {
    m_placed = true;
    QSettings settings = Settings();
    // The size only: the dialog opens over its window, and the screen may have changed since.
    const QSize size = settings.value(kSizeSetting).toSize();
    if (size.isValid()) resize(size.expandedTo(minimumSize()));
    const QByteArray split = settings.value(kSplitterSetting).toByteArray();
    if (!split.isEmpty()) m_splitter->restoreState(split);
    if (settings.value(kMaximizedSetting, false).toBool()) {
      showMaximized();
      return;
    }
  }
  if (isMaximized() || isFullScreen()) return;
  if (parentWidget()) move(parentWidget()->window()->geometry().center() - rect().center());
  // Never larger than the screen's free area, nor partly off it: Extract stays in reach.
  QScreen* screen = this->screen();
  if (!screen) return;
  const QRect frame = frameGeometry();
  const QRect client = geometry();
  const QMargins margins(client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                         frame.bottom() - client.bottom());
  const QSize frameExtra(margins.left() + margins.right(), margins.top() + margins.bottom());
  const QRect fitted = FitToScreen(frame, screen->availableGeometry(), minimumSize() + frameExtra);
  if (fitted != frame) setGeometry(fitted.marginsRemoved(margins));
}

void TfrmPreview::SaveGeometry() const {
  QSettings settings = Settings();
  settings.setValue(kSizeSetting, isMaximized() || isFullScreen() ? normalGeometry().size() : size());
  settings.setValue(kMaximizedSetting, isMaximized());
  settings.setValue(kSplitterSetting, m_splitter->saveState());
}

void TfrmPreview::lstTablesClick() {
  int highest = -1;
  for (int i = 0; i < m_lstTables->count(); ++i)
    if (m_lstTables->item(i)->isSelected()) highest = i;
  if (highest < 0 || static_cast<std::size_t>(highest) >= Tables().size()) return;
  try {
    std::string fragment = Tables().Text(static_cast<std::size_t>(highest));
    m_shownTable = highest;
    // A large table is counted once it is asked for: showing it costs far more than counting it.
    if (!m_lstTables->item(highest)->data(kCountedRole).toBool())
      DescribeEntry(highest, SummariseTable(fragment, PageCharset, true));
    m_htmlView->SetPageCharset(PageCharset);
    m_htmlView->SetPageAddress(PageFile);
    // Built in place: a braced list would copy a long table twice.
    std::vector<std::string> lines;
    lines.reserve(3);
    lines.emplace_back("<html><body>");
    lines.push_back(std::move(fragment));
    lines.emplace_back("</body></html>");
    m_htmlView->LoadStrings(std::move(lines), "test");
  } catch (const std::exception& error) {
    // Nothing may leave a click handler: the table stays unshown and the user is told why.
    m_htmlView->Clear();
    QMessageBox::critical(this, kApplicationTitle, QString::fromLocal8Bit(error.what()));
  }
  m_htmlView->Widget()->update();
}

void TfrmPreview::btnExtractClick() {
  Selection.clear();
  for (int i = 0; i < m_lstTables->count(); ++i)
    if (m_lstTables->item(i)->isSelected()) Selection.push_back(std::to_string(i));
  if (Selection.empty()) {
    QMessageBox::information(this, kApplicationTitle, kSelectAtLeastOneTable);
    return;
  }
  Remember = m_chkRememberTables->isChecked();
  Extracted = true;
  accept();
}

void TfrmPreview::done(int result) {
  // Closed in any other way than by Extract: no tables, which the job reports as a cancelled file.
  if (!Extracted) Selection.clear();
  SaveGeometry();
  QDialog::done(result);
}

}  // namespace corvane
