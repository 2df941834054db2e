#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QVBoxLayout>

#include "layout/form_control.h"
#include "viewer/html_view.h"

namespace corvane {
namespace {

// A viewer at the Table Select dialog's size, showing html, with the submissions it raises.
struct TShownForm {
  explicit TShownForm(const std::string& html, QWidget* parent = nullptr) : View(parent) {
    View.OnFormSubmit = [this](const TFormSubmission& submission) { Submitted.push_back(submission.Entries); };
    View.resize(543, 435);
    if (!parent) View.show();
    QApplication::processEvents();
    View.LoadFromString(html, "test");
    View.PaintPanel()->repaint();
  }
  template <typename T>
  QList<T*> Widgets() const {
    return View.PaintPanel()->findChildren<T*>(Qt::FindDirectChildrenOnly);
  }
  int VisibleWidgets() const {
    int visible = 0;
    for (QWidget* widget : Widgets<QWidget>()) {
      if (!widget->isVisible()) continue;
      ++visible;
      EXPECT_TRUE(View.PaintPanel()->rect().intersects(widget->geometry())) << widget->y();
    }
    return visible;
  }

  THtmlView View;
  std::vector<QStringList> Submitted;
};

TEST(FormsInView, OnlyControlsInViewGetWindows) {
  std::string html = "<table>";
  for (int i = 0; i < 600; ++i) html += "<tr><td>row " + std::to_string(i) + "<td><input name=q" + std::to_string(i) + ">";
  TShownForm form(html + "</table>");
  const int first = form.Widgets<QWidget>().size();
  EXPECT_GT(first, 5);
  EXPECT_LT(first, 40);
  EXPECT_EQ(form.VisibleWidgets(), first);
  QTest::keyClicks(form.Widgets<QLineEdit>().at(0), "kept");
  // Down the whole page: the windows of the controls that left the view go.
  for (int y = 0; y <= form.View.DocumentHeight(); y += 100) {
    form.View.ScrollToY(y);
    form.View.PaintPanel()->repaint();
  }
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_LE(form.Widgets<QWidget>().size(), first + 1);
  EXPECT_EQ(form.VisibleWidgets(), form.Widgets<QWidget>().size());
  // What was typed into a control stays when its window goes.
  form.View.ScrollToY(0);
  form.View.PaintPanel()->repaint();
  QStringList texts;
  for (QLineEdit* edit : form.Widgets<QLineEdit>())
    if (edit->isVisible()) texts.push_back(edit->text());
  EXPECT_EQ(texts.count("kept"), 1);
}

TEST(FormsInView, ScrollingByLinesKeepsControlsInTheirPlaces) {
  std::string html = "<table>";
  for (int i = 0; i < 100; ++i) html += "<tr><td>row " + std::to_string(i) + "<td><input size=" + std::to_string(1 + i % 7) + ">";
  TShownForm form(html + "</table>");
  auto geometries = [&] {
    std::vector<std::pair<int, int>> shown;
    for (QWidget* widget : form.Widgets<QWidget>())
      if (widget->isVisible()) shown.emplace_back(widget->y(), widget->width());
    std::sort(shown.begin(), shown.end());
    return shown;
  };
  for (int step = 0; step < 7; ++step) {
    QTest::keyClick(&form.View, Qt::Key_Down);
    form.View.PaintPanel()->repaint();
  }
  const auto scrolled = geometries();
  // A whole paint places every control anew: nothing moves.
  form.View.PaintPanel()->update();
  form.View.PaintPanel()->repaint();
  EXPECT_EQ(geometries(), scrolled);
  EXPECT_GT(scrolled.size(), 5u);
}

TEST(FormsInView, TypingCheckingChoosingAndSubmitting) {
  TShownForm form(
      "<form><input name=q value=1 onfocus=in onblur=out onchange=changed><input type=checkbox name=c><select name=s><option>a<option>b</select>"
      "<input type=radio name=r value=1 checked><input type=radio name=r value=2>"
      "<input type=password name=p><input type=submit name=go value=Go></form>");
  QStringList events;
  for (auto [event, name] : {std::pair{&form.View.OnObjectFocus, "focus"}, {&form.View.OnObjectBlur, "blur"},
                             {&form.View.OnObjectChange, "change"}})
    *event = [&events, name](TFormControlObj& control, const QString& message) {
      events.push_back(name + (" " + control.Name + " " + message));
    };
  QLineEdit* edit = form.Widgets<QLineEdit>().at(0);
  edit->setFocus();
  QTest::keyClick(edit, Qt::Key_End);
  QTest::keyClicks(edit, "23");
  QTest::mouseClick(form.Widgets<QCheckBox>().at(0), Qt::LeftButton);
  QComboBox* combo = form.Widgets<QComboBox>().at(0);
  combo->setFocus();
  EXPECT_EQ(events, (QStringList{"focus q in", "change q changed", "blur q out"}));
  QTest::keyClick(combo, Qt::Key_Down);
  QRadioButton* second = form.Widgets<QRadioButton>().at(1);
  QTest::mouseClick(second, Qt::LeftButton);
  // A click on a checked radio button leaves it checked.
  QTest::mouseClick(second, Qt::LeftButton);
  EXPECT_TRUE(second->isChecked());
  EXPECT_FALSE(form.Widgets<QRadioButton>().at(0)->isChecked());
  QLineEdit* password = form.Widgets<QLineEdit>().at(1);
  QTest::keyClicks(password, "pw");
  EXPECT_EQ(password->echoMode(), QLineEdit::Password);
  EXPECT_EQ(password->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, password), '*');
  QTest::mouseClick(form.Widgets<QPushButton>().at(0), Qt::LeftButton);
  ASSERT_EQ(form.Submitted.size(), 1u);
  EXPECT_EQ(form.Submitted[0], (QStringList{"q=123", "c=on", "s=b", "r=2", "p=pw", "go=Go"}));
}

TEST(FormsInView, ReturnInAnEditSubmitsTheFormNotTheDialog) {
  QDialog dialog;
  auto* layout = new QVBoxLayout(&dialog);
  auto* form = new TShownForm("<form><input name=q value=x></form>", &dialog);
  layout->addWidget(&form->View);
  auto* extract = new QPushButton("Extract", &dialog);
  extract->setDefault(true);
  layout->addWidget(extract);
  dialog.resize(600, 500);
  dialog.show();
  QApplication::processEvents();
  form->View.PaintPanel()->repaint();
  ASSERT_EQ(form->Widgets<QLineEdit>().size(), 1);
  QLineEdit* edit = form->Widgets<QLineEdit>().at(0);
  edit->setFocus();
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), 0);
  EXPECT_EQ(form->Submitted, (std::vector<QStringList>{{"q=x"}}));
  delete form;
}

TEST(FormsInView, TabGoesByTabIndexThenDocumentOrderAndLeavesAtTheEnd) {
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  auto* form = new TShownForm(
      "<input name=c><input name=b tabindex=2><select name=x disabled><option>1</select><input name=a tabindex=1>",
      &window);
  layout->addWidget(&form->View);
  auto* after = new QPushButton("After", &window);
  layout->addWidget(after);
  window.resize(600, 500);
  window.show();
  QApplication::processEvents();
  form->View.PaintPanel()->repaint();
  auto focusedName = [&]() -> QString {
    for (TFormControlObj* control : form->View.Document().FormControlList)
      if (control->Focused) return control->Name;
    return QApplication::focusWidget() == after ? "after" : "?";
  };
  form->View.setFocus();
  QStringList visited;
  for (int i = 0; i < 4; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited.push_back(focusedName());
  }
  EXPECT_EQ(visited, (QStringList{"a", "b", "c", "after"}));
  delete form;
}

TEST(FormsInView, TabOrderPastAThousandEntriesKeepsItsNumbers) {
  std::string html;
  for (int i = 0; i < 1200; ++i) html += "<input name=n" + std::to_string(i) + " tabindex=" + std::to_string(1 + i % 2) + ">";
  TShownForm form(html);
  const std::vector<TFormControlObj*> order = form.View.Document().ControlFocusOrder();
  ASSERT_EQ(order.size(), 1200u);
  // Tab index 1 first (the even inputs in document order), then tab index 2.
  for (int i = 0; i < 1200; ++i) {
    const int expected = i < 600 ? 2 * i : 2 * (i - 600) + 1;
    ASSERT_EQ(order[static_cast<std::size_t>(i)]->Name, "n" + QString::number(expected)) << i;
  }
}

}  // namespace
}  // namespace corvane
