#pragma once

#include <QColor>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <algorithm>
#include <functional>
#include <memory>

#include "html/html_symbols.h"
#include "layout/form_control.h"
#include "style/my_font.h"

class QKeyEvent;

namespace corvane {

class TAttributeList;
class TCodePageConverter;
class TProperties;

// Sizes are held here so that attribute values in the millions never reach the toolkit or overflow.
inline constexpr int kMaxControlSize = 65535;
// The frame of the toolkit's edit boxes, lists and text areas, on each side.
inline constexpr int kControlFrame = 2;
// The width of the system's vertical scroll bar.
inline constexpr int kScrollBarWidth = 14;

// What every control kind shares: the element's attributes and style, the font, the toolkit control and
// its focus and click events. The toolkit control is made when the control first comes into view on the
// viewer's panel, so a page of thousands of controls makes only the few it shows. Until then, and in a
// document without a viewer, the state lives in the object itself, which also draws the control.
class TFormControlBase : public TFormControlObj {
 public:
  // panel: where toolkit controls go; null for a document without a viewer.
  TFormControlBase(TSectionList* document, ThtmlForm* form, QWidget* panel, TProperties& properties,
                   const TAttributeList& attributes, TCodePageConverter& converter);
  ~TFormControlBase() override;
  TFormControlBase(const TFormControlBase&) = delete;
  TFormControlBase& operator=(const TFormControlBase&) = delete;

  // The computed style: margins, borders, given sizes, alignment, background colour.
  virtual void ProcessProperties(TProperties& properties);
  // Takes the control's size once its style has been applied (lists again when their options are in).
  virtual void SizeControl() {}

  void ShowAt(int x, int y) override;
  void Hide() override;
  bool CanFocus() const override;
  void SetFocus() override;

  const TMyFont& ControlFont() const { return *m_font; }
  // The toolkit control; null until the control has been shown.
  QWidget* Widget() const { return m_widget; }
  QWidget* Panel() const { return m_panel; }

  // Pixel measures in the control's font.
  int TextWidth(const QString& text) const;
  int HeightOfA() const { return std::max(1, m_font->TextHeight()); }
  int AverageCharWidth() const { return std::max(1, m_font->AverageCharWidth()); }

  // Focus and click, as the toolkit control reports them.
  void FocusGained();
  void FocusLost();
  void Clicked();
  // A key the control does not use goes to the viewer.
  void ForwardKey(int key);

  int GivenWidth = 0;
  int GivenHeight = 0;

 protected:
  // The kind's toolkit control, made on first show, with the state pushed into it.
  virtual QWidget* MakeWidget(QWidget* parent) = 0;
  // Whether a Tab stop is on the control (radio buttons of a group give theirs up).
  virtual bool HasTabStop() const { return true; }
  // Colours of the toolkit control and of the drawn one.
  QColor BaseColor() const;
  void ApplyBaseColor(QWidget& widget) const;
  // Cuts the toolkit control off from this object: no more events reach it.
  static void Detach(QWidget& widget);
  // The attribute's text in characters.
  static QString AttributeText(const TAttributeList& attributes, TagSymbol symbol, TCodePageConverter& converter);

  std::unique_ptr<TMyFont> m_font;
  QPointer<QWidget> m_widget;
  QWidget* m_panel;
};

// Calls handler with the key presses of widget before the widget sees them; handler answers whether it
// took the key.
void InstallKeyHandler(QWidget& widget, std::function<bool(QKeyEvent&)> handler);

// Clamps a 64-bit size to what a control may be.
inline int ControlSize(long long pixels) {
  return static_cast<int>(std::clamp<long long>(pixels, 0, kMaxControlSize));
}

}  // namespace corvane
