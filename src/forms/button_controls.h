#pragma once

#include <QString>

#include <optional>

#include "forms/form_control_base.h"

namespace corvane {

class TEditFormControlObj;

// INPUT of type submit, reset or button, and the browse button of a file field.
class TButtonFormControlObj final : public TFormControlBase {
 public:
  enum class TKind { Submit, Reset, Button, Browse };
  TButtonFormControlObj(TSectionList* document, ThtmlForm* form, QWidget* panel, TProperties& properties,
                        const TAttributeList& attributes, TCodePageConverter& converter, TKind kind,
                        TEditFormControlObj* fileEdit = nullptr);

  void SizeControl() override;

  int Width() const override { return m_width; }
  int Height() const override { return m_height; }
  void SetWidth(int width) override { m_width = ControlSize(width); }
  void PaintAt(QPainter& canvas, int x, int y) override;
  bool GetSubmission(int, QString&) override { return false; }
  void SetData(int, const QString&) override {}

  TKind Kind() const { return m_kind; }
  const QString& Caption() const { return m_caption; }
  // What a click does: the object-click event, then reset, submit or browse.
  void Click();

 protected:
  QWidget* MakeWidget(QWidget* parent) override;

 private:
  TKind m_kind;
  QString m_caption;
  TEditFormControlObj* m_fileEdit;
  int m_width = 0;
  int m_height = 0;
};

// INPUT of type checkbox, and the base of radio buttons.
class TCheckBoxFormControlObj : public TFormControlBase {
 public:
  TCheckBoxFormControlObj(TSectionList* document, ThtmlForm* form, QWidget* panel, TProperties& properties,
                          const TAttributeList& attributes, TCodePageConverter& converter);

  int Width() const override { return m_width; }
  int Height() const override { return m_height; }
  void SetWidth(int) override {}
  int VerticalShift() const override { return 1; }
  void PaintAt(QPainter& canvas, int x, int y) override;

  void ResetToValue() override { SetChecked(m_initiallyChecked); }
  bool GetSubmission(int index, QString& entry) override;
  void SetDataInit() override { SetChecked(false); }
  void SetData(int, const QString& value) override;
  void SaveContents() override { m_saved = m_checked; }
  bool IsChanged() const override { return m_checked != m_saved; }

  bool Checked() const { return m_checked; }
  void SetChecked(bool checked);

 protected:
  QWidget* MakeWidget(QWidget* parent) override;
  // The toolkit control toggled it.
  virtual void Toggled(bool checked);

  bool m_checked = false;
  bool m_initiallyChecked = false;
  bool m_saved = false;
  int m_width = 13;
  int m_height = 13;
};

// INPUT of type radio. Buttons of one form with the same name in any letter case form a group in which
// one at most is checked.
class TRadioButtonFormControlObj final : public TCheckBoxFormControlObj {
 public:
  TRadioButtonFormControlObj(TSectionList* document, ThtmlForm* form, QWidget* panel, TProperties& properties,
                             const TAttributeList& attributes, TCodePageConverter& converter, double pixelsPerInch);

  int VerticalShift() const override { return 2; }
  void PaintAt(QPainter& canvas, int x, int y) override;
  void SetData(int index, const QString& value) override;
  // Moves the focus within the group: -1 to the previous button, +1 to the next.
  void MoveFocusInGroup(int step);
  bool TabStop() const { return m_tabStop; }

 protected:
  QWidget* MakeWidget(QWidget* parent) override;
  bool HasTabStop() const override { return m_tabStop; }
  void Toggled(bool checked) override;

 private:
  std::vector<TFormControlObj*>* Group() const;
  void UncheckOthers();

  bool m_tabStop = true;
};

// INPUT of type image: the picture in the text is the section's image object; this control takes its
// clicks and submits the point clicked.
class TImageFormControlObj final : public TFormControlBase {
 public:
  using TFormControlBase::TFormControlBase;

  bool IsImageButton() const override { return true; }
  int Width() const override { return 0; }
  int Height() const override { return 0; }
  void SetWidth(int) override {}
  void ShowAt(int, int) override {}
  void PaintAt(QPainter&, int, int) override {}
  void ImageClick(int x, int y) override;
  bool GetSubmission(int index, QString& entry) override;
  void SetData(int, const QString&) override {}

 protected:
  QWidget* MakeWidget(QWidget*) override { return nullptr; }

 private:
  std::optional<QPoint> m_clicked;
};

}  // namespace corvane
