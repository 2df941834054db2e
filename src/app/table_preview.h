#pragma once

#include <string>
#include <vector>

class QWidget;

namespace corvane {

class THtmlView;

// What the table selection dialog asks of the control that shows the clicked table.
class TTablePreview {
 public:
  virtual ~TTablePreview() = default;
  virtual QWidget* Widget() = 0;
  // Shows nothing.
  virtual void Clear() = 0;
  // Shows the document made of lines (8-bit text), known by referenceName.
  virtual void LoadStrings(std::vector<std::string> lines, const std::string& referenceName) = 0;
  // The character-set declaration of the page the next documents were cut from (a META element's text
  // or the UTF-8 byte-order mark; empty for none): documents that declare nothing are read in it.
  virtual void SetPageCharset(const std::string& declaration) = 0;
  // The file the next documents were cut from: their pictures are looked for beside it.
  virtual void SetPageAddress(const std::string& path) = 0;
};

// Shows the table rendered by the viewer control, on white, framed while it has the focus.
class TViewerPreview final : public TTablePreview {
 public:
  explicit TViewerPreview(QWidget* parent);
  QWidget* Widget() override;
  THtmlView& View() const { return *m_view; }
  void Clear() override;
  // Loading the document that is already shown again does nothing.
  void LoadStrings(std::vector<std::string> lines, const std::string& referenceName) override;
  // A different declaration makes the next LoadStrings load even the document already shown.
  void SetPageCharset(const std::string& declaration) override;
  void SetPageAddress(const std::string& path) override;

 private:
  THtmlView* m_view;  // owned by its parent widget
  bool m_showing = false;
};

}  // namespace corvane
