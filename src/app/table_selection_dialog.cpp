#include "app/table_selection_dialog.h"

#include <QCheckBox>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

#include <exception>

#include "app/dialog_font.h"
#include "app/table_preview.h"
#include "app/ui_texts.h"

namespace corvane {

namespace {

constexpr int kClientWidth = 664;
constexpr int kClientHeight = 476;
constexpr int kBottomPanelHeight = 41;
constexpr int kListWidth = 121;

}  // namespace

TfrmPreview::TfrmPreview(QWidget* parent) : QDialog(parent) {
  setWindowTitle(kTableSelectCaption);
  setFont(DialogFont());
  setFixedSize(kClientWidth, kClientHeight);
  setModal(true);

  const int topHeight = kClientHeight - kBottomPanelHeight;
  m_lstTables = new QListWidget(this);
  m_lstTables->setGeometry(0, 0, kListWidth, topHeight);
  m_lstTables->setSelectionMode(QAbstractItemView::ExtendedSelection);
  // Every click that changes the selection shows the highest selected table.
  connect(m_lstTables, &QListWidget::itemSelectionChanged, this, [this] { lstTablesClick(); });

  m_htmlView = std::make_unique<TViewerPreview>(this);
  m_htmlView->Widget()->setGeometry(kListWidth, 0, kClientWidth - kListWidth, topHeight);

  auto* pnlBottom = new QWidget(this);
  pnlBottom->setGeometry(0, topHeight, kClientWidth, kBottomPanelHeight);
  m_chkRememberTables = new QCheckBox(kRememberTablesCaption, pnlBottom);
  m_chkRememberTables->setGeometry(8, 16, 305, 17);
  m_btnExtract = new QPushButton(kExtractCaption, pnlBottom);
  m_btnExtract->setGeometry(576, 8, 75, 25);
  connect(m_btnExtract, &QPushButton::clicked, this, [this] { btnExtractClick(); });
}

TfrmPreview::~TfrmPreview() = default;

void TfrmPreview::UpdateListBox() {
  const QSignalBlocker quiet(m_lstTables);
  m_lstTables->clear();
  for (std::size_t i = 1; i <= Tables().size(); ++i) m_lstTables->addItem(kTableItemPrefix + QString::number(i));
  // No table of an earlier file stays visible.
  m_htmlView->Clear();
  m_htmlView->Widget()->update();
}

void TfrmPreview::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (parentWidget()) move(parentWidget()->window()->geometry().center() - rect().center());
  update();
}

void TfrmPreview::lstTablesClick() {
  int highest = -1;
  for (int i = 0; i < m_lstTables->count(); ++i)
    if (m_lstTables->item(i)->isSelected()) highest = i;
  if (highest < 0 || static_cast<std::size_t>(highest) >= Tables().size()) return;
  try {
    m_htmlView->SetPageCharset(PageCharset);
    m_htmlView->SetPageAddress(PageFile);
    // Built in place: a braced list would copy a long table twice.
    std::vector<std::string> lines;
    lines.reserve(3);
    lines.emplace_back("<html><body>");
    lines.push_back(Tables().Text(static_cast<std::size_t>(highest)));
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
  QDialog::done(result);
}

}  // namespace corvane
