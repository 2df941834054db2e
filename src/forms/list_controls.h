#pragma once

#include <QString>

#include <string>
#include <vector>

#include "forms/form_control_base.h"

namespace corvane {

// An OPTION of a SELECT: what it submits, whether it starts selected, its attributes.
struct TOptionObj {
  QString Value;
  bool Selected = false;
  std::vector<std::string> Attributes;
};

// The options of a SELECT: the shown text of each with its option.
struct ThtOptionStringList {
  std::vector<QString> Texts;
  std::vector<TOptionObj> Options;
  int Count() const { return static_cast<int>(Texts.size()); }
};

// What list boxes and drop-down lists share: the options and the widest of their texts.
class TOptionsFormControlObj : public TFormControlBase {
 public:
  using TFormControlBase::TFormControlBase;

  // An option as the reader hands it over; value is absent when the OPTION has no VALUE.
  void AddOption(const QString& text, const std::optional<QString>& value, bool selected,
                 std::vector<std::string> attributes);
  // The list is complete: the control fills itself and takes its size.
  void OptionsComplete();

  int Width() const override { return m_width; }
  int Height() const override { return m_height; }
  void SetWidth(int width) override { m_width = ControlSize(width); }
  const ThtOptionStringList& TheOptions() const { return m_options; }

 protected:
  ThtOptionStringList m_options;
  int m_widest = 3;
  int m_width = 0;
  int m_height = 0;
};

// SELECT with MULTIPLE or a SIZE above 1.
class TListBoxFormControlObj final : public TOptionsFormControlObj {
 public:
  TListBoxFormControlObj(TSectionList* document, ThtmlForm* form, QWidget* panel, TProperties& properties,
                         const TAttributeList& attributes, TCodePageConverter& converter);

  void SizeControl() override;
  void PaintAt(QPainter& canvas, int x, int y) override;

  void ResetToValue() override;
  bool GetSubmission(int index, QString& entry) override;
  void SetDataInit() override { m_firstValue = true; }
  void SetData(int index, const QString& value) override;
  void SaveContents() override { m_saved = m_selected; }
  bool IsChanged() const override { return m_selected != m_saved; }

  bool Multiple() const { return m_multiple; }
  int Rows() const { return m_rows; }
  // Options added after the list was last reset are not selected.
  bool IsSelected(int item) const {
    return item >= 0 && static_cast<std::size_t>(item) < m_selected.size() && m_selected[static_cast<std::size_t>(item)];
  }
  // Selects item (alone, without multiple selection) or takes it out of the selection.
  void SetSelected(int item, bool selected);
  int CurrentItem() const { return m_current; }

 protected:
  QWidget* MakeWidget(QWidget* parent) override;

 private:
  void PushSelection();
  // Keeps a place in the selection for every option, also those a page adds after the list was reset.
  void FitSelection() { m_selected.resize(static_cast<std::size_t>(m_options.Count()), false); }

  bool m_multiple = false;
  int m_size = 0;  // SIZE, 0 when not given
  int m_rows = 1;
  int m_current = -1;
  int m_top = 0;
  std::vector<bool> m_selected;
  std::vector<bool> m_saved;
  bool m_firstValue = false;
};

// SELECT shown as a drop-down list.
class TComboFormControlObj final : public TOptionsFormControlObj {
 public:
  using TOptionsFormControlObj::TOptionsFormControlObj;

  void SizeControl() override;
  void PaintAt(QPainter& canvas, int x, int y) override;

  void ResetToValue() override;
  bool GetSubmission(int index, QString& entry) override;
  void SetData(int index, const QString& value) override;
  void SaveContents() override { m_saved = m_index; }
  bool IsChanged() const override { return m_index != m_saved; }

  int SelectedIndex() const { return m_index; }
  void SetSelectedIndex(int index);

 protected:
  QWidget* MakeWidget(QWidget* parent) override;

 private:
  int m_index = -1;
  int m_saved = -1;
};

}  // namespace corvane
