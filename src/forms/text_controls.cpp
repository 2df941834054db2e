#include "forms/text_controls.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>

#include "forms/button_controls.h"
#include "forms/control_painter.h"
#include "html/attribute_list.h"
#include "layout/section_list.h"
#include "style/properties.h"

namespace corvane {

namespace {

using S = TagSymbol;

// Password edits show "*" for every character, whatever the style's own choice.
class TPasswordStyle final : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_LineEdit_PasswordCharacter) return '*';
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

QStyle* PasswordStyle() {
  static QPointer<QStyle> style;
  if (!style) {
    style = new TPasswordStyle;
    style->setParent(qApp);
  }
  return style;
}

// The margin of the toolkit's text area around its text.
constexpr int kTextAreaMargin = 4;

QStringList WrapLines(const QString& text, const QFont& font, int width) {
  QStringList lines;
  const QStringList paragraphs = text.split('\n');
  for (const QString& paragraph : paragraphs) {
    if (paragraph.isEmpty()) {
      lines.push_back(QString());
      continue;
    }
    QTextLayout layout(paragraph, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
      line.setLineWidth(std::max(1, width));
      lines.push_back(paragraph.mid(line.textStart(), line.textLength()));
    }
    layout.endLayout();
  }
  return lines;
}

}  // namespace

TEditFormControlObj::TEditFormControlObj(TSectionList* document, ThtmlForm* form, QWidget* panel,
                                         TProperties& properties, const TAttributeList& attributes,
                                         TCodePageConverter& converter, TKind kind)
    : TFormControlBase(document, form, panel, properties, attributes, converter), m_kind(kind) {
  if (const TAttribute* size = attributes.Find(S::SymSize); size && size->Value >= 1)
    m_size = std::min(size->Value, kMaxControlSize);
  if (const TAttribute* maxLength = attributes.Find(S::SymMaxlength); maxLength && maxLength->Value > 0)
    m_maxLength = maxLength->Value;
  m_noFrame = properties.GetBorderStyle() != 0;
  if (kind == TKind::File) {
    // The field's name goes with the edit box; the browse button has none of its own.
    Value.clear();
    m_browse = std::make_unique<TButtonFormControlObj>(document, form, panel, properties, attributes, converter,
                                                       TButtonFormControlObj::TKind::Browse, this);
  }
  m_text = m_maxLength > 0 ? Value.left(m_maxLength) : Value;
}

TEditFormControlObj::~TEditFormControlObj() = default;

TFormControlObj* TEditFormControlObj::Companion() const { return m_browse.get(); }

void TEditFormControlObj::SizeControl() {
  if (PercentWidth) {
    m_width = 10;
  } else if (GivenWidth >= 10) {
    m_width = GivenWidth;
  } else {
    m_width = ControlSize(static_cast<long long>(AverageCharWidth()) * m_size + 23);
  }
  // A new edit box fits a line of its font and its frame, as tall as a button beside it.
  const int initial = HeightOfA() + 8;
  m_height = std::max(GivenHeight > 0 ? GivenHeight : initial, std::max(HeightOfA(), 10));
  if (m_browse) m_browse->SizeControl();
}

void TEditFormControlObj::SetText(const QString& text) {
  m_text = m_maxLength > 0 ? text.left(m_maxLength) : text;
  if (auto* edit = qobject_cast<QLineEdit*>(Widget())) {
    const QSignalBlocker quiet(edit);
    edit->setText(m_text);
  } else {
    Document->Host().InvalidatePanel();
  }
}

bool TEditFormControlObj::GetSubmission(int index, QString& entry) {
  if (index != 0) return false;
  entry = Name + '=' + m_text;
  return true;
}

QWidget* TEditFormControlObj::MakeWidget(QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  // The toolkit's own limit (32767) would cut a longer value; a limit is set only when one was given.
  if (m_maxLength > 0) edit->setMaxLength(m_maxLength);
  else edit->setMaxLength(std::numeric_limits<int>::max());
  edit->setText(m_text);
  edit->setCursorPosition(0);
  if (m_kind == TKind::Password) {
    edit->setStyle(PasswordStyle());
    edit->setEchoMode(QLineEdit::Password);
  }
  edit->setFrame(!m_noFrame);
  edit->setReadOnly(ReadOnly);
  ApplyBaseColor(*edit);
  QObject::connect(edit, &QLineEdit::textChanged, [this](const QString& text) { m_text = text; });
  InstallKeyHandler(*edit, [this](QKeyEvent& key) {
    if (key.key() != Qt::Key_Return && key.key() != Qt::Key_Enter) return false;
    // Return submits the form; a dialog around the viewer never sees it.
    Form->Submit(nullptr);
    return true;
  });
  return edit;
}

void TEditFormControlObj::PaintAt(QPainter& canvas, int x, int y) {
  const QRect box(x, y, m_width, m_height);
  const QColor fill = Disabled ? kButtonFace : BaseColor();
  if (m_noFrame) canvas.fillRect(box, fill);
  else DrawControlBox(canvas, box, TControlFrame::Sunken, fill);
  const QString shown = m_kind == TKind::Password ? QString(m_text.size(), '*') : m_text;
  DrawControlText(canvas, box.adjusted(4, 2, -3, -2), shown, ControlFont().Font(), Qt::AlignLeft | Qt::AlignVCenter,
                  Disabled ? kButtonShadow : QColor(Qt::black));
}

TTextAreaFormControlObj::TTextAreaFormControlObj(TSectionList* document, ThtmlForm* form, QWidget* panel,
                                                 TProperties& properties, const TAttributeList& attributes,
                                                 TCodePageConverter& converter)
    : TFormControlBase(document, form, panel, properties, attributes, converter) {
  if (const TAttribute* rows = attributes.Find(S::SymRows); rows && rows->Value >= 1)
    m_rows = std::min(rows->Value, kMaxControlSize);
  if (const TAttribute* cols = attributes.Find(S::SymCols); cols && cols->Value >= 1)
    m_cols = std::min(cols->Value, kMaxControlSize);
  if (const TAttribute* wrap = attributes.Find(S::SymWrap)) {
    const QString mode = QString::fromLatin1(wrap->Text).trimmed().toLower();
    if (mode == QLatin1String("off")) m_wrap = TWrap::Off;
    else if (mode == QLatin1String("hard")) m_wrap = TWrap::Hard;
  }
}

void TTextAreaFormControlObj::SizeControl() {
  const long long clientHeight = GivenHeight >= 10 ? GivenHeight : static_cast<long long>(HeightOfA()) * m_rows + 5;
  m_height = ControlSize(clientHeight + 2 * kControlFrame + (m_wrap == TWrap::Off ? kScrollBarWidth : 0));
  if (PercentWidth) {
    m_width = 50;
  } else if (GivenWidth >= 10) {
    m_width = GivenWidth;
  } else {
    const long long clientWidth = static_cast<long long>(TextWidth(QStringLiteral("s"))) * m_cols + 5;
    m_width = ControlSize(clientWidth + 2 * kControlFrame + kScrollBarWidth);
  }
}

int TTextAreaFormControlObj::ClientWidth() const {
  return std::max(1, m_width - 2 * kControlFrame - kScrollBarWidth - 2 * kTextAreaMargin);
}

void TTextAreaFormControlObj::AddLine(const QString& line) { m_content += line; }

void TTextAreaFormControlObj::ContentComplete() {
  m_content.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  SetText(m_content);
}

void TTextAreaFormControlObj::SetText(const QString& text) {
  m_text = text;
  m_text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  if (auto* edit = qobject_cast<QPlainTextEdit*>(Widget())) {
    const QSignalBlocker quiet(edit);
    edit->setPlainText(m_text);
    edit->moveCursor(QTextCursor::Start);
  } else {
    Document->Host().InvalidatePanel();
  }
}

QStringList TTextAreaFormControlObj::DisplayedLines() const {
  if (m_wrap == TWrap::Off) return m_text.split('\n');
  int width = ClientWidth();
  if (auto* edit = qobject_cast<QPlainTextEdit*>(Widget()))
    width = edit->viewport()->width() - 2 * static_cast<int>(edit->document()->documentMargin());
  return WrapLines(m_text, ControlFont().Font(), width);
}

bool TTextAreaFormControlObj::GetSubmission(int index, QString& entry) {
  if (index != 0) return false;
  const QString text = m_wrap == TWrap::Hard ? DisplayedLines().join(QLatin1String("\r\n"))
                                             : QString(m_text).replace('\n', QLatin1String("\r\n"));
  entry = Name + '=' + text;
  return true;
}

QWidget* TTextAreaFormControlObj::MakeWidget(QWidget* parent) {
  auto* edit = new QPlainTextEdit(parent);
  edit->setPlainText(m_text);
  edit->moveCursor(QTextCursor::Start);
  edit->setTabChangesFocus(true);
  edit->setReadOnly(ReadOnly);
  edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  if (m_wrap == TWrap::Off) {
    edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  } else {
    edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  }
  ApplyBaseColor(*edit);
  QObject::connect(edit, &QPlainTextEdit::textChanged, [this, edit] { m_text = edit->toPlainText(); });
  return edit;
}

void TTextAreaFormControlObj::PaintAt(QPainter& canvas, int x, int y) {
  const QRect box(x, y, m_width, m_height);
  DrawControlBox(canvas, box, TControlFrame::Sunken, Disabled ? kButtonFace : BaseColor());
  const QRect inner = box.adjusted(kControlFrame, kControlFrame, -kControlFrame, -kControlFrame);
  DrawScrollBar(canvas, QRect(inner.right() - kScrollBarWidth + 1, inner.top(), kScrollBarWidth,
                              inner.height() - (m_wrap == TWrap::Off ? kScrollBarWidth : 0)));
  const QRect text = inner.adjusted(kTextAreaMargin, kTextAreaMargin, -kScrollBarWidth - kTextAreaMargin, 0);
  const int lineHeight = std::max(1, HeightOfA());
  int top = text.top();
  for (const QString& line : DisplayedLines()) {
    if (top >= text.bottom()) break;
    DrawControlText(canvas, QRect(text.left(), top, text.width(), std::min(lineHeight, text.bottom() - top)), line,
                    ControlFont().Font(), Qt::AlignLeft | Qt::AlignTop);
    top += lineHeight;
  }
}

bool THiddenFormControlObj::GetSubmission(int index, QString& entry) {
  if (index != 0) return false;
  entry = Name + '=' + Value;
  return true;
}

}  // namespace corvane
