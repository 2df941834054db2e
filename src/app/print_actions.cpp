#include "app/print_actions.h"

#include <QApplication>
#include <QFileDialog>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include <memory>

#include "app/ui_texts.h"
#include "viewer/print_document.h"

namespace corvane {

namespace {

// A busy cursor while a long document is laid out for the paper.
struct TBusyCursor {
  TBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~TBusyCursor() { QApplication::restoreOverrideCursor(); }
};

bool CheckDocument(QWidget& parent, const TPrintRequest& request) {
  if (request.HasDocument()) return true;
  QMessageBox::information(&parent, kApplicationTitle, kNothingToPrint);
  return false;
}

void Fail(QWidget& parent, const QString& what, const QString& error) {
  QMessageBox::warning(&parent, kApplicationTitle, what + error);
}

}  // namespace

QPageSize DefaultPaper() {
  return QPageSize(QLocale::system().measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter
                                                                                      : QPageSize::A4);
}

void AddPrintActions(QMenu& menu, QWidget& parent, TPrintRequest request) {
  auto shared = std::make_shared<TPrintRequest>(std::move(request));
  QAction* print = menu.addAction(kPrintAction, &parent, [&parent, shared] {
    if (!CheckDocument(parent, *shared)) return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(DefaultPaper());
    QPrintDialog dialog(&printer, &parent);
    if (dialog.exec() != QDialog::Accepted) return;
    QString error;
    TBusyCursor busy;
    if (!PrintHtml(shared->Source(), printer, &error)) Fail(parent, kCannotPrint, error);
  });
  print->setObjectName("Print1");
  print->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
  QAction* preview = menu.addAction(kPrintPreviewAction, &parent, [&parent, shared] {
    if (!CheckDocument(parent, *shared)) return;
    std::unique_ptr<QPrintPreviewDialog> dialog;
    {
      TBusyCursor busy;
      dialog.reset(MakePreviewDialog(shared->Source(), &parent));
    }
    dialog->exec();
  });
  preview->setObjectName("PrintPreview1");
  QAction* pdf = menu.addAction(kExportPdfAction, &parent, [&parent, shared] {
    if (!CheckDocument(parent, *shared)) return;
    QString name = QFileDialog::getSaveFileName(&parent, QString(), shared->SuggestedName() + ".pdf", kPdfFilter);
    if (name.isEmpty()) return;
    if (!name.endsWith(".pdf", Qt::CaseInsensitive)) name += ".pdf";
    QString error;
    TBusyCursor busy;
    if (!ExportPdf(shared->Source(), name, DefaultPaper(), &error)) Fail(parent, kCannotExportPdf, error);
  });
  pdf->setObjectName("ExportPdf1");
}

}  // namespace corvane
