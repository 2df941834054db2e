#include "forms/form_control_base.h"

#include <QEvent>
#include <QKeyEvent>

#include "html/attribute_list.h"
#include "html/code_pages.h"
#include "layout/section_list.h"
#include "style/box_values.h"
#include "style/properties.h"
#include "style/style_context.h"

namespace corvane {

namespace {

using S = TagSymbol;

// Reports the toolkit control's focus changes to its form control object.
class TControlEventFilter final : public QObject {
 public:
  TControlEventFilter(QObject* parent, TFormControlBase* control) : QObject(parent), Control(control) {}
  TFormControlBase* Control;

  bool eventFilter(QObject*, QEvent* event) override {
    if (!Control) return false;
    if (event->type() == QEvent::FocusIn) Control->FocusGained();
    if (event->type() == QEvent::FocusOut) Control->FocusLost();
    return false;
  }
};

class TKeyHandler final : public QObject {
 public:
  TKeyHandler(QObject* parent, std::function<bool(QKeyEvent&)> handler) : QObject(parent), m_handler(std::move(handler)) {}

  bool eventFilter(QObject*, QEvent* event) override {
    return Active && event->type() == QEvent::KeyPress && m_handler(static_cast<QKeyEvent&>(*event));
  }
  bool Active = true;

 private:
  std::function<bool(QKeyEvent&)> m_handler;
};

bool DisabledValue(const TAttribute* attribute) {
  if (!attribute) return false;
  const QString value = QString::fromLatin1(attribute->Text).trimmed();
  return value.compare(QLatin1String("no"), Qt::CaseInsensitive) != 0 && value != QLatin1String("0");
}

}  // namespace

void InstallKeyHandler(QWidget& widget, std::function<bool(QKeyEvent&)> handler) {
  widget.installEventFilter(new TKeyHandler(&widget, std::move(handler)));
}

QString TFormControlBase::AttributeText(const TAttributeList& attributes, TagSymbol symbol,
                                        TCodePageConverter& converter) {
  const TAttribute* attribute = attributes.Find(symbol);
  return attribute ? converter.ToUtf16(attribute->Text, attribute->CodePage) : QString();
}

TFormControlBase::TFormControlBase(TSectionList* document, ThtmlForm* form, QWidget* panel, TProperties& properties,
                                   const TAttributeList& attributes, TCodePageConverter& converter)
    : TFormControlObj(document, form), m_font(properties.MakeFont()), m_panel(panel) {
  Title = AttributeText(attributes, S::SymTitle, converter);
  Name = AttributeText(attributes, S::SymName, converter);
  Value = AttributeText(attributes, S::SymValue, converter);
  OnClickMessage = AttributeText(attributes, S::SymOnclick, converter);
  OnFocusMessage = AttributeText(attributes, S::SymOnfocus, converter);
  OnBlurMessage = AttributeText(attributes, S::SymOnblur, converter);
  OnChangeMessage = AttributeText(attributes, S::SymOnchange, converter);
  Disabled = DisabledValue(attributes.Find(S::SymDisabled));
  ReadOnly = attributes.Find(S::SymReadonly) != nullptr;
  Id = attributes.Id();
  Attributes = attributes.NameValueList();
  if (const TAttribute* tabIndex = attributes.Find(S::SymTabindex); tabIndex && tabIndex->Value >= 1)
    document->AddToTabOrder(tabIndex->Value, *this);
  if (!Id.empty()) document->IDNameList.AddObject(Id, this);
}

TFormControlBase::~TFormControlBase() {
  if (!m_widget) return;
  Detach(*m_widget);
  delete m_widget.data();
}

void TFormControlBase::Detach(QWidget& widget) {
  // The widget's last focus change must not reach an object that is going, or that has let it go.
  for (QObject* child : widget.children())
    if (auto* filter = dynamic_cast<TControlEventFilter*>(child)) filter->Control = nullptr;
    else if (auto* keys = dynamic_cast<TKeyHandler*>(child)) keys->Active = false;
  QObject::disconnect(&widget, nullptr, nullptr, nullptr);
}

void TFormControlBase::ProcessProperties(TProperties& properties) {
  TMarginArray pixels;
  const TBoxValues box = properties.GetBoxValues();
  ConvertInlineBoxValues(box, 100, properties.EmSize(), properties.ExSize(), properties.Context().PixelsPerInch(),
                         pixels);
  auto given = [&](int index) { return pixels[index] != NotSet && pixels[index] != AutoLength; };
  auto margin = [&](int index, int& target) {
    if (given(index)) target = std::clamp(pixels[index], -kMaxControlSize, kMaxControlSize);
  };
  margin(Prop::MarginLeft, MarginLeft);
  margin(Prop::MarginRight, MarginRight);
  margin(Prop::MarginTop, MarginTop);
  margin(Prop::MarginBottom, MarginBottom);
  if (properties.GetBorderStyle() != 0) {
    auto border = [&](int index) { return given(index) ? std::clamp(pixels[index], 0, 1000) : 0; };
    MarginLeft += border(Prop::BorderLeftWidth);
    MarginRight += border(Prop::BorderRightWidth);
    BorderTop = border(Prop::BorderTopWidth);
    BorderBottom = border(Prop::BorderBottomWidth);
    MarginTop += BorderTop;
    MarginBottom += BorderBottom;
  }
  if (given(Prop::Width) && pixels[Prop::Width] > 0) {
    const TPropValue& width = box[Prop::Width];
    if (width.IsText() && width.AsText().find('%') != std::string_view::npos) {
      if (pixels[Prop::Width] <= 100) {
        PercentWidth = true;
        Percent = pixels[Prop::Width];
      }
    } else {
      GivenWidth = ControlSize(pixels[Prop::Width]);
    }
  }
  if (given(Prop::Height) && pixels[Prop::Height] > 0)
    GivenHeight = ControlSize(static_cast<long long>(pixels[Prop::Height]) - BorderTop - BorderBottom);
  // Sub and super have no place for a control: it keeps its alignment.
  if (const std::optional<int> align = properties.GetVerticalAlign(); align && *align >= 1 && *align <= 4)
    FormAlign = *align;
  BkColor = properties.GetBackgroundColor();
}

int TFormControlBase::TextWidth(const QString& text) const {
  return Document->Measurer().Widths(*m_font).TextWidth(reinterpret_cast<const char16_t*>(text.utf16()),
                                                         static_cast<int>(text.size()));
}

QColor TFormControlBase::BaseColor() const {
  return BkColor != ColorNone ? ToQColor(BkColor) : QColor(Qt::white);
}

void TFormControlBase::ApplyBaseColor(QWidget& widget) const {
  if (BkColor == ColorNone) return;
  QPalette palette = widget.palette();
  palette.setColor(QPalette::Base, BaseColor());
  widget.setPalette(palette);
}

void TFormControlBase::ShowAt(int x, int y) {
  if (!m_panel) return;
  if (!m_widget) {
    QWidget* widget = MakeWidget(m_panel);
    if (!widget) return;
    m_widget = widget;
    widget->setFont(m_font->Font());
    widget->setEnabled(!Disabled);
    if (!Title.isEmpty()) widget->setToolTip(Title);
    widget->installEventFilter(new TControlEventFilter(widget, this));
  }
  m_widget->setGeometry(x, y, Width(), Height());
  if (m_widget->isHidden()) m_widget->show();
}

void TFormControlBase::Hide() {
  if (!m_widget) return;
  if (m_widget->hasFocus()) {
    m_widget->hide();
    return;
  }
  // Out of view the window goes: the object keeps the state, and a page of thousands of controls keeps
  // only the few in view as windows, however far it has been scrolled.
  QWidget* widget = m_widget;
  m_widget = nullptr;
  Detach(*widget);
  widget->hide();
  widget->deleteLater();
}

bool TFormControlBase::CanFocus() const {
  return m_panel && !Disabled && !IsHidden() && !IsImageButton() && HasTabStop();
}

void TFormControlBase::SetFocus() {
  if (m_widget && m_widget->isVisible()) m_widget->setFocus(Qt::TabFocusReason);
}

void TFormControlBase::FocusGained() {
  Focused = true;
  TDocumentHost& host = Document->Host();
  host.InvalidatePanel();
  host.ControlFocused(*this);
  if (!OnFocusMessage.isEmpty()) host.ObjectFocus(*this, OnFocusMessage);
  if (!OnChangeMessage.isEmpty()) SaveContents();
}

void TFormControlBase::FocusLost() {
  Focused = false;
  TDocumentHost& host = Document->Host();
  if (!OnChangeMessage.isEmpty() && IsChanged()) host.ObjectChange(*this, OnChangeMessage);
  if (!OnBlurMessage.isEmpty()) host.ObjectBlur(*this, OnBlurMessage);
  host.InvalidatePanel();
}

void TFormControlBase::Clicked() { Document->Host().ObjectClick(*this, OnClickMessage); }

void TFormControlBase::ForwardKey(int key) { Document->Host().ViewerKeyDown(key); }

}  // namespace corvane
