#include "forms/list_controls.h"

#include <QComboBox>
#include <QListWidget>
#include <QPainter>

#include "forms/control_painter.h"
#include "html/attribute_list.h"
#include "layout/section_list.h"

namespace corvane {

using S = TagSymbol;

void TOptionsFormControlObj::AddOption(const QString& text, const std::optional<QString>& value, bool selected,
                                       std::vector<std::string> attributes) {
  const QString shown = text.isEmpty() ? QStringLiteral(" ") : text;
  m_options.Texts.push_back(shown);
  m_options.Options.push_back({value ? *value : shown, selected, std::move(attributes)});
  m_widest = std::max(m_widest, TextWidth(shown));
}

void TOptionsFormControlObj::OptionsComplete() {
  ResetToValue();
  SizeControl();
}

TListBoxFormControlObj::TListBoxFormControlObj(TSectionList* document, ThtmlForm* form, QWidget* panel,
                                               TProperties& properties, const TAttributeList& attributes,
                                               TCodePageConverter& converter)
    : TOptionsFormControlObj(document, form, panel, properties, attributes, converter) {
  m_multiple = attributes.Find(S::SymMultiple) != nullptr;
  if (const TAttribute* size = attributes.Find(S::SymSize); size && size->Value >= 1)
    m_size = std::min(size->Value, kMaxControlSize);
}

void TListBoxFormControlObj::SizeControl() {
  m_rows = m_size > 0 ? m_size : std::clamp(m_options.Count(), 1, 8);
  const long long clientHeight = GivenHeight >= 10 ? GivenHeight : static_cast<long long>(HeightOfA()) * m_rows;
  m_height = ControlSize(clientHeight + 2 * kControlFrame);
  if (PercentWidth) m_width = 10;
  else if (GivenWidth >= 10) m_width = GivenWidth;
  else m_width = ControlSize(static_cast<long long>(kScrollBarWidth) + m_widest + 10);
}

void TListBoxFormControlObj::ResetToValue() {
  const int count = m_options.Count();
  m_selected.assign(static_cast<std::size_t>(count), false);
  m_current = -1;
  for (int i = 0; i < count; ++i) {
    if (!m_options.Options[static_cast<std::size_t>(i)].Selected) continue;
    if (!m_multiple && m_current >= 0) m_selected[static_cast<std::size_t>(m_current)] = false;
    m_selected[static_cast<std::size_t>(i)] = true;
    m_current = i;
  }
  // Without a choice the first item is the current one, and the chosen one of a single-choice list. A
  // list without options has none.
  if (m_current < 0 && count > 0) {
    m_current = 0;
    if (!m_multiple) m_selected[0] = true;
  }
  m_top = 0;
  PushSelection();
}

void TListBoxFormControlObj::SetSelected(int item, bool selected) {
  if (item < 0 || item >= m_options.Count()) return;
  FitSelection();
  if (!m_multiple && selected) std::fill(m_selected.begin(), m_selected.end(), false);
  m_selected[static_cast<std::size_t>(item)] = selected;
  if (selected) m_current = item;
  PushSelection();
}

void TListBoxFormControlObj::PushSelection() {
  auto* list = qobject_cast<QListWidget*>(Widget());
  if (!list) {
    Document->Host().InvalidatePanel();
    return;
  }
  const QSignalBlocker quiet(list);
  if (list->count() != m_options.Count()) {
    list->clear();
    for (const QString& text : m_options.Texts) list->addItem(text);
  }
  list->clearSelection();
  for (int i = 0; i < list->count(); ++i)
    if (IsSelected(i)) list->item(i)->setSelected(true);
  if (m_current >= 0) list->setCurrentRow(m_current, QItemSelectionModel::NoUpdate);
  list->scrollToTop();
}

bool TListBoxFormControlObj::GetSubmission(int index, QString& entry) {
  if (index < 0 || index >= m_options.Count()) return false;
  entry = IsSelected(index) ? Name + '=' + m_options.Options[static_cast<std::size_t>(index)].Value
                                                      : QString();
  return true;
}

void TListBoxFormControlObj::SetData(int, const QString& value) {
  if (m_options.Count() == 0) return;
  if (m_firstValue) {
    // The first value starts a new choice: item 0 becomes the current one (and the chosen one of a
    // single-choice list).
    m_firstValue = false;
    if (m_multiple) {
      std::fill(m_selected.begin(), m_selected.end(), false);
      m_current = 0;
      PushSelection();
    } else {
      SetSelected(0, true);
    }
  }
  for (int i = 0; i < m_options.Count(); ++i)
    if (m_options.Options[static_cast<std::size_t>(i)].Value.compare(value, Qt::CaseInsensitive) == 0)
      SetSelected(i, true);
}

QWidget* TListBoxFormControlObj::MakeWidget(QWidget* parent) {
  auto* list = new QListWidget(parent);
  list->setSelectionMode(m_multiple ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
  list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  list->setUniformItemSizes(true);
  ApplyBaseColor(*list);
  QObject::connect(list, &QListWidget::itemSelectionChanged, [this, list] {
    FitSelection();
    for (int i = 0; i < list->count() && i < m_options.Count(); ++i)
      m_selected[static_cast<std::size_t>(i)] = list->item(i)->isSelected();
    m_current = list->currentRow();
  });
  QObject::connect(list, &QListWidget::itemClicked, [this] { Clicked(); });
  m_widget = list;
  PushSelection();
  return list;
}

void TListBoxFormControlObj::PaintAt(QPainter& canvas, int x, int y) {
  const QRect box(x, y, m_width, m_height);
  DrawControlBox(canvas, box, TControlFrame::Sunken, Disabled ? kButtonFace : BaseColor());
  const QRect inner = box.adjusted(kControlFrame, kControlFrame, -kControlFrame, -kControlFrame);
  DrawScrollBar(canvas, QRect(inner.right() - kScrollBarWidth + 1, inner.top(), kScrollBarWidth, inner.height()));
  const QRect rows = inner.adjusted(0, 0, -kScrollBarWidth, 0);
  const int rowHeight = HeightOfA();
  for (int i = m_top, top = rows.top(); i < m_options.Count() && top < rows.bottom(); ++i, top += rowHeight) {
    const QRect row(rows.left(), top, rows.width(), std::min(rowHeight, rows.bottom() + 1 - top));
    const bool selected = IsSelected(i);
    if (selected) canvas.fillRect(row, kHighlight);
    DrawControlText(canvas, row.adjusted(2, 0, 0, 0), m_options.Texts[static_cast<std::size_t>(i)], ControlFont().Font(),
                    Qt::AlignLeft | Qt::AlignVCenter, selected ? QColor(Qt::white) : QColor(Qt::black));
  }
}

void TComboFormControlObj::SizeControl() {
  m_height = GivenHeight > 9 ? GivenHeight : HeightOfA() + 8;
  if (PercentWidth) m_width = 10;
  else if (GivenWidth >= 10) m_width = GivenWidth;
  else m_width = ControlSize(static_cast<long long>(kScrollBarWidth) + m_widest + 10 + 2 * kControlFrame);
}

void TComboFormControlObj::ResetToValue() {
  int index = -1;
  for (int i = 0; i < m_options.Count(); ++i)
    if (m_options.Options[static_cast<std::size_t>(i)].Selected) index = i;
  if (index < 0 && m_options.Count() > 0) index = 0;
  SetSelectedIndex(index);
}

void TComboFormControlObj::SetSelectedIndex(int index) {
  m_index = index >= 0 && index < m_options.Count() ? index : -1;
  auto* combo = qobject_cast<QComboBox*>(Widget());
  if (!combo) {
    Document->Host().InvalidatePanel();
    return;
  }
  const QSignalBlocker quiet(combo);
  combo->setCurrentIndex(m_index);
}

bool TComboFormControlObj::GetSubmission(int index, QString& entry) {
  if (index != 0 || m_index < 0) return false;
  entry = Name + '=' + m_options.Options[static_cast<std::size_t>(m_index)].Value;
  return true;
}

void TComboFormControlObj::SetData(int, const QString& value) {
  for (int i = m_options.Count() - 1; i >= 0; --i) {
    if (m_options.Options[static_cast<std::size_t>(i)].Value.compare(value, Qt::CaseInsensitive) != 0) continue;
    SetSelectedIndex(i);
    return;
  }
}

QWidget* TComboFormControlObj::MakeWidget(QWidget* parent) {
  auto* combo = new QComboBox(parent);
  combo->setEditable(false);
  for (const QString& text : m_options.Texts) combo->addItem(text);
  combo->setCurrentIndex(m_index);
  ApplyBaseColor(*combo);
  // A choice by the user (not one made by a reset) raises the click event.
  QObject::connect(combo, &QComboBox::activated, [this](int index) {
    m_index = index;
    Clicked();
  });
  return combo;
}

void TComboFormControlObj::PaintAt(QPainter& canvas, int x, int y) {
  const QRect box(x, y, m_width, m_height);
  DrawControlBox(canvas, box, TControlFrame::Sunken, Disabled ? kButtonFace : BaseColor());
  const QRect inner = box.adjusted(kControlFrame, kControlFrame, -kControlFrame, -kControlFrame);
  const QRect arrow(inner.right() - kScrollBarWidth + 1, inner.top(), kScrollBarWidth, inner.height());
  DrawControlBox(canvas, arrow, TControlFrame::Raised, kButtonFace);
  DrawDownArrow(canvas, arrow);
  if (m_index >= 0)
    DrawControlText(canvas, inner.adjusted(2, 0, -kScrollBarWidth - 1, 0), m_options.Texts[static_cast<std::size_t>(m_index)],
                    ControlFont().Font(), Qt::AlignLeft | Qt::AlignVCenter);
}

}  // namespace corvane
