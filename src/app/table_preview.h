#pragma once

#include <QPlainTextEdit>

#include <string>
#include <vector>

class QWidget;

namespace corvane {

// What the table selection dialog asks of the control that shows the clicked table.
class TTablePreview {
 public:
  virtual ~TTablePreview() = default;
  virtual QWidget* Widget() = 0;
  // Shows nothing.
  virtual void Clear() = 0;
  // Shows the document made of lines (8-bit text), known by referenceName.
  virtual void LoadStrings(const std::vector<std::string>& lines, const std::string& referenceName) = 0;
};

// Shows the document's source text, read-only.
class TSourcePreview final : public TTablePreview {
 public:
  explicit TSourcePreview(QWidget* parent);
  QWidget* Widget() override { return m_text; }
  void Clear() override;
  void LoadStrings(const std::vector<std::string>& lines, const std::string& referenceName) override;

 private:
  QPlainTextEdit* m_text;  // owned by its parent widget
};

}  // namespace corvane
