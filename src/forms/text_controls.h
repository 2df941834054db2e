#pragma once

#include <QString>
#include <QStringList>

#include <memory>

#include "forms/form_control_base.h"
#include "html/html_reader.h"

namespace corvane {

class TButtonFormControlObj;

// INPUT of type text, password or file (with a browse button of its own).
class TEditFormControlObj final : public TFormControlBase {
 public:
  enum class TKind { Text, Password, File };
  TEditFormControlObj(TSectionList* document, ThtmlForm* form, QWidget* panel, TProperties& properties,
                      const TAttributeList& attributes, TCodePageConverter& converter, TKind kind);
  ~TEditFormControlObj() override;

  void SizeControl() override;

  int Width() const override { return m_width; }
  int Height() const override { return m_height; }
  void SetWidth(int width) override { m_width = ControlSize(width); }
  void PaintAt(QPainter& canvas, int x, int y) override;
  TFormControlObj* Companion() const override;

  void ResetToValue() override { SetText(Value); }
  bool GetSubmission(int index, QString& entry) override;
  void SetData(int, const QString& value) override { SetText(value); }
  void SaveContents() override { m_saved = m_text; }
  bool IsChanged() const override { return m_text != m_saved; }

  const QString& Text() const { return m_text; }
  void SetText(const QString& text);
  int Size() const { return m_size; }
  int MaxLength() const { return m_maxLength; }
  bool IsPassword() const { return m_kind == TKind::Password; }

 protected:
  QWidget* MakeWidget(QWidget* parent) override;

 private:
  TKind m_kind;
  int m_size = 15;
  int m_maxLength = 0;  // 0: no limit
  bool m_noFrame = false;
  int m_width = 120;
  int m_height = 0;
  QString m_text;
  QString m_saved;
  std::unique_ptr<TButtonFormControlObj> m_browse;
};

// TEXTAREA: its content arrives line by line from the reader.
class TTextAreaFormControlObj final : public TFormControlBase, public TTextAreaContent {
 public:
  enum class TWrap { Soft, Hard, Off };
  TTextAreaFormControlObj(TSectionList* document, ThtmlForm* form, QWidget* panel, TProperties& properties,
                          const TAttributeList& attributes, TCodePageConverter& converter);

  void SizeControl() override;

  int Width() const override { return m_width; }
  int Height() const override { return m_height; }
  void SetWidth(int width) override { m_width = ControlSize(width); }
  void PaintAt(QPainter& canvas, int x, int y) override;

  void ResetToValue() override { SetText(m_content); }
  bool GetSubmission(int index, QString& entry) override;
  void SetData(int, const QString& value) override { SetText(value); }
  void SaveContents() override { m_saved = m_text; }
  bool IsChanged() const override { return m_text != m_saved; }

  // TTextAreaContent.
  void AddLine(const QString& line) override;
  void ContentComplete() override;

  // The text with line breaks as "\n".
  const QString& Text() const { return m_text; }
  void SetText(const QString& text);
  TWrap Wrap() const { return m_wrap; }
  // The lines as the control shows them, wrapped at its width unless wrapping is off.
  QStringList DisplayedLines() const;

 protected:
  QWidget* MakeWidget(QWidget* parent) override;

 private:
  int ClientWidth() const;

  int m_rows = 5;
  int m_cols = 30;
  TWrap m_wrap = TWrap::Soft;
  int m_width = 0;
  int m_height = 0;
  QString m_content;
  QString m_text;
  QString m_saved;
};

// INPUT of type hidden: no control, no place in the text, one entry.
class THiddenFormControlObj final : public TFormControlBase {
 public:
  using TFormControlBase::TFormControlBase;

  bool IsHidden() const override { return true; }
  int Width() const override { return 0; }
  int Height() const override { return 0; }
  void SetWidth(int) override {}
  void ShowAt(int, int) override {}
  void PaintAt(QPainter&, int, int) override {}
  bool GetSubmission(int index, QString& entry) override;
  void SetData(int, const QString& value) override { Value = value; }

 protected:
  QWidget* MakeWidget(QWidget*) override { return nullptr; }
};

}  // namespace corvane
