#pragma once

#include <QString>

#include <functional>

class QMenu;
class QPageSize;
class QWidget;

namespace corvane {

struct TPrintSource;

// The document a window would print now; Empty when it shows none (the actions then say so).
struct TPrintRequest {
  std::function<bool()> HasDocument;
  std::function<TPrintSource()> Source;
  // The file name (without extension) a PDF is offered under.
  std::function<QString()> SuggestedName;
};

// Adds "&Print..." (Ctrl+P), "Print Pre&view..." and "E&xport PDF..." to menu, printing what request
// gives. A failure is told in a message box over parent.
void AddPrintActions(QMenu& menu, QWidget& parent, TPrintRequest request);

// The paper a PDF gets when nobody chose one: Letter where the locale measures in US units, A4
// elsewhere.
QPageSize DefaultPaper();

}  // namespace corvane
