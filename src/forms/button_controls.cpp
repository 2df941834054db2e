#include "forms/button_controls.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>

#include "forms/control_painter.h"
#include "forms/text_controls.h"
#include "html/attribute_list.h"
#include "layout/section_list.h"

namespace corvane {

using S = TagSymbol;

TButtonFormControlObj::TButtonFormControlObj(TSectionList* document, ThtmlForm* form, QWidget* panel,
                                             TProperties& properties, const TAttributeList& attributes,
                                             TCodePageConverter& converter, TKind kind, TEditFormControlObj* fileEdit)
    : TFormControlBase(document, form, panel, properties, attributes, converter), m_kind(kind), m_fileEdit(fileEdit) {
  switch (kind) {
    case TKind::Submit: m_caption = Value.isEmpty() ? QStringLiteral("Submit") : Value; break;
    case TKind::Reset: m_caption = Value.isEmpty() ? QStringLiteral("Reset") : Value; break;
    case TKind::Button: m_caption = Value.isEmpty() ? QStringLiteral("Button") : Value; break;
    case TKind::Browse:
      // The file field's own button: it names nothing and submits nothing.
      m_caption = QStringLiteral("Browse...");
      Value.clear();
      Name.clear();
      Id.clear();
      break;
  }
}

void TButtonFormControlObj::SizeControl() {
  const int a = HeightOfA();
  m_height = GivenHeight >= a ? GivenHeight : a + 8;
  m_width = GivenWidth >= 10 ? GivenWidth : ControlSize(static_cast<long long>(TextWidth(m_caption)) + 20);
}

void TButtonFormControlObj::Click() {
  Clicked();
  switch (m_kind) {
    case TKind::Reset:
      Form->Reset();
      break;
    case TKind::Submit:
      if (Name.isEmpty()) {
        Form->Submit(nullptr);
      } else {
        const QString entry = Name + '=' + Value;
        Form->Submit(&entry);
      }
      break;
    case TKind::Browse:
      if (m_fileEdit) {
        QString file = m_fileEdit->Text();
        if (Document->Host().FileBrowse(file)) m_fileEdit->SetText(file);
      }
      break;
    case TKind::Button:
      break;
  }
}

QWidget* TButtonFormControlObj::MakeWidget(QWidget* parent) {
  // "&" is a plain character of the caption, not a mnemonic marker.
  auto* button = new QPushButton(QString(m_caption).replace('&', QLatin1String("&&")), parent);
  // Inside a dialog a button would otherwise take Return for itself.
  button->setAutoDefault(false);
  button->setDefault(false);
  QObject::connect(button, &QPushButton::clicked, [this] { Click(); });
  return button;
}

void TButtonFormControlObj::PaintAt(QPainter& canvas, int x, int y) {
  const QRect box(x, y, m_width, m_height);
  DrawControlBox(canvas, box, TControlFrame::Raised, BkColor != ColorNone ? ToQColor(BkColor) : kButtonFace);
  DrawControlText(canvas, box.adjusted(2, 2, -2, -2), m_caption, ControlFont().Font(), Qt::AlignCenter,
                  Disabled ? kButtonShadow : QColor(Qt::black));
}

TCheckBoxFormControlObj::TCheckBoxFormControlObj(TSectionList* document, ThtmlForm* form, QWidget* panel,
                                                 TProperties& properties, const TAttributeList& attributes,
                                                 TCodePageConverter& converter)
    : TFormControlBase(document, form, panel, properties, attributes, converter) {
  if (Value.isEmpty()) Value = QStringLiteral("on");
  m_initiallyChecked = attributes.Find(S::SymChecked) != nullptr;
  m_checked = m_initiallyChecked;
  FormAlign = 3;
}

void TCheckBoxFormControlObj::SetChecked(bool checked) {
  m_checked = checked;
  if (auto* button = qobject_cast<QAbstractButton*>(Widget())) {
    const QSignalBlocker quiet(button);
    button->setChecked(checked);
  }
  if (!Widget()) Document->Host().InvalidatePanel();
}

void TCheckBoxFormControlObj::Toggled(bool checked) { m_checked = checked; }

bool TCheckBoxFormControlObj::GetSubmission(int index, QString& entry) {
  if (index != 0 || !m_checked) return false;
  entry = Name + '=' + Value;
  return true;
}

void TCheckBoxFormControlObj::SetData(int, const QString& value) {
  if (value.compare(Value, Qt::CaseInsensitive) == 0) SetChecked(true);
}

QWidget* TCheckBoxFormControlObj::MakeWidget(QWidget* parent) {
  auto* box = new QCheckBox(parent);
  box->setChecked(m_checked);
  QObject::connect(box, &QCheckBox::toggled, [this](bool checked) { Toggled(checked); });
  QObject::connect(box, &QCheckBox::clicked, [this] { Clicked(); });
  InstallKeyHandler(*box, [this](QKeyEvent& key) {
    if (key.key() == Qt::Key_Space || key.key() == Qt::Key_Tab || key.key() == Qt::Key_Backtab) return false;
    ForwardKey(key.key());
    return true;
  });
  return box;
}

void TCheckBoxFormControlObj::PaintAt(QPainter& canvas, int x, int y) {
  const QRect box(x, y, 13, 13);
  DrawControlBox(canvas, box, TControlFrame::Sunken, Disabled ? kButtonFace : QColor(Qt::white));
  if (!m_checked) return;
  canvas.save();
  canvas.setRenderHint(QPainter::Antialiasing, false);
  canvas.setPen(QPen(Qt::black, 2));
  canvas.drawPolyline(QPolygon({QPoint(x + 3, y + 6), QPoint(x + 5, y + 9), QPoint(x + 10, y + 3)}));
  canvas.restore();
}

TRadioButtonFormControlObj::TRadioButtonFormControlObj(TSectionList* document, ThtmlForm* form, QWidget* panel,
                                                       TProperties& properties, const TAttributeList& attributes,
                                                       TCodePageConverter& converter, double pixelsPerInch)
    : TCheckBoxFormControlObj(document, form, panel, properties, attributes, converter) {
  if (pixelsPerInch > 100) {
    m_width = m_height = 16;
  } else {
    m_height = 14;
  }
  if (Name.isEmpty()) return;
  std::vector<TFormControlObj*>& group = form->RadioGroups[Name.toLower()];
  if (m_checked) {
    for (TFormControlObj* earlier : group) {
      auto* radio = static_cast<TRadioButtonFormControlObj*>(earlier);
      radio->SetChecked(false);
      radio->m_initiallyChecked = false;
      radio->m_tabStop = false;
    }
  } else {
    m_tabStop = group.empty();
  }
  group.push_back(this);
}

std::vector<TFormControlObj*>* TRadioButtonFormControlObj::Group() const {
  if (Name.isEmpty()) return nullptr;
  const auto found = Form->RadioGroups.find(Name.toLower());
  return found == Form->RadioGroups.end() ? nullptr : &found.value();
}

void TRadioButtonFormControlObj::UncheckOthers() {
  std::vector<TFormControlObj*>* group = Group();
  if (!group) return;
  TDocumentHost& host = Document->Host();
  for (TFormControlObj* member : *group) {
    if (member == this) continue;
    auto* radio = static_cast<TRadioButtonFormControlObj*>(member);
    const bool was = radio->m_checked;
    radio->SetChecked(false);
    radio->m_tabStop = false;
    if (was && !radio->OnChangeMessage.isEmpty()) host.ObjectChange(*radio, radio->OnChangeMessage);
  }
  m_tabStop = true;
}

void TRadioButtonFormControlObj::Toggled(bool checked) {
  m_checked = checked;
  if (checked) UncheckOthers();
}

void TRadioButtonFormControlObj::SetData(int index, const QString& value) {
  TCheckBoxFormControlObj::SetData(index, value);
  if (m_checked) UncheckOthers();
}

void TRadioButtonFormControlObj::MoveFocusInGroup(int step) {
  std::vector<TFormControlObj*>* group = Group();
  if (!group) return;
  const auto at = std::find(group->begin(), group->end(), this);
  const long index = std::clamp<long>((at - group->begin()) + step, 0, static_cast<long>(group->size()) - 1);
  TFormControlObj* next = (*group)[static_cast<std::size_t>(index)];
  if (next != this) Document->Host().FocusControl(*next);
}

QWidget* TRadioButtonFormControlObj::MakeWidget(QWidget* parent) {
  auto* button = new QRadioButton(parent);
  // Every radio button of the panel would be one group; the groups are kept here instead.
  button->setAutoExclusive(false);
  button->setChecked(m_checked);
  QObject::connect(button, &QRadioButton::clicked, [this, button] {
    // A click never unchecks a radio button.
    if (!button->isChecked()) button->setChecked(true);
    Clicked();
  });
  QObject::connect(button, &QRadioButton::toggled, [this](bool checked) { Toggled(checked); });
  InstallKeyHandler(*button, [this](QKeyEvent& key) {
    switch (key.key()) {
      case Qt::Key_Left:
      case Qt::Key_Up:
        MoveFocusInGroup(-1);
        return true;
      case Qt::Key_Right:
      case Qt::Key_Down:
        MoveFocusInGroup(1);
        return true;
      case Qt::Key_Space:
      case Qt::Key_Tab:
      case Qt::Key_Backtab:
        return false;
      default:
        ForwardKey(key.key());
        return true;
    }
  });
  return button;
}

void TRadioButtonFormControlObj::PaintAt(QPainter& canvas, int x, int y) {
  const int side = std::min(m_width, m_height) - 1;
  canvas.save();
  canvas.setRenderHint(QPainter::Antialiasing, true);
  canvas.setPen(kDarkShadow);
  canvas.setBrush(Disabled ? kButtonFace : QColor(Qt::white));
  canvas.drawEllipse(QRectF(x + 0.5, y + 0.5, side, side));
  if (m_checked) {
    canvas.setPen(Qt::NoPen);
    canvas.setBrush(Qt::black);
    canvas.drawEllipse(QRectF(x + side / 2.0 - 1.5, y + side / 2.0 - 1.5, 4, 4));
  }
  canvas.restore();
}

void TImageFormControlObj::ImageClick(int x, int y) {
  Clicked();
  m_clicked = QPoint(x, y);
  if (!Disabled) Form->Submit(nullptr);
}

bool TImageFormControlObj::GetSubmission(int index, QString& entry) {
  if (!m_clicked || index > 1) return false;
  const QString prefix = Name.isEmpty() ? QString() : Name + '.';
  if (index == 0) {
    entry = prefix + QStringLiteral("x=") + QString::number(m_clicked->x());
  } else {
    entry = prefix + QStringLiteral("y=") + QString::number(m_clicked->y());
    m_clicked.reset();
  }
  return true;
}

}  // namespace corvane
