#include <gtest/gtest.h>

#include <QPainter>

#include "forms/button_controls.h"
#include "forms/control_painter.h"
#include "forms/form_controls.h"
#include "forms/list_controls.h"
#include "forms/text_controls.h"
#include "layout/layout_test_support.h"

namespace corvane {
namespace {

using test::TTestDocument;

// Records what the document tells its viewer about forms.
class TFormHost final : public TDocumentHost {
 public:
  bool HandlesFormSubmit() const override { return true; }
  void FormSubmit(const TFormSubmission& submission) override { Submissions.push_back(submission); }
  void ObjectClick(TFormControlObj&, const QString& message) override { Events.push_back("click " + message); }
  void ObjectChange(TFormControlObj&, const QString& message) override { Events.push_back("change " + message); }
  std::vector<TFormSubmission> Submissions;
  QStringList Events;
};

// A document with form controls drawn by themselves, measured with the fixed-pitch measurer (every
// character 10 pixels wide).
struct TFormDocument {
  explicit TFormDocument(const std::string& html) : Page(html, true, Handlers()) {
    Page.Document.SetHost(&Host);
    Page.LayOut(600);
  }
  static TBuilderHandlers Handlers() {
    static TFormControls factory;
    TBuilderHandlers handlers;
    handlers.FormControls = &factory;
    return handlers;
  }
  template <typename T = TFormControlObj>
  T& Control(std::size_t i) {
    return dynamic_cast<T&>(*Page.Document.FormControlList.at(i));
  }
  ThtmlForm& Form(std::size_t i = 0) { return *Page.Document.htmlFormList.at(i); }
  QStringList Entries(std::size_t form = 0) { return Form(form).Submission(nullptr).Entries; }

  TTestDocument Page;
  TFormHost Host;
};

struct TSizeCase {
  const char* Html;
  int Width;
  int Height;
};

TEST(FormControls, SizesFromAttributesStyleAndFont) {
  const int average = [] {
    TFormDocument probe("<input>");
    return probe.Control<TEditFormControlObj>(0).ControlFont().AverageCharWidth();
  }();
  const int a = [] {
    TFormDocument probe("<input>");
    return probe.Control<TEditFormControlObj>(0).ControlFont().TextHeight();
  }();
  const TSizeCase cases[] = {
      {"<input>", average * 15 + 23, a + 8},
      {"<input size=3>", average * 3 + 23, a + 8},
      {"<input size=0>", average * 15 + 23, a + 8},
      {"<input size=99999999>", kMaxControlSize, a + 8},
      {"<input style='width:70px;height:40px'>", 70, 40},
      {"<input style='width:5px;height:3px'>", average * 15 + 23, std::max(a, 10)},
      // Captions are 10 pixels a character here.
      {"<input type=submit>", 60 + 20, a + 8},
      {"<input type=reset value='Start over'>", 100 + 20, a + 8},
      {"<input type=button style='width:90px'>", 90, a + 8},
      {"<input type=checkbox>", 13, 13},
      {"<input type=radio>", 13, 14},
      {"<select><option>one<option>three</select>", 14 + 50 + 10 + 4, a + 8},
      {"<select size=3><option>x</select>", 14 + 10 + 10, a * 3 + 4},
      {"<select multiple><option>1<option>2<option>3<option>4<option>5<option>6<option>7<option>8<option>9"
       "<option>10<option>11<option>12</select>",
       14 + 20 + 10, a * 8 + 4},
      {"<select multiple></select>", 14 + 3 + 10, a + 4},
      {"<textarea></textarea>", 10 * 30 + 5 + 4 + 14, a * 5 + 5 + 4},
      {"<textarea rows=2 cols=4 wrap=off></textarea>", 10 * 4 + 5 + 4 + 14, a * 2 + 5 + 4 + 14},
      {"<textarea rows=2147483647></textarea>", 10 * 30 + 5 + 4 + 14, kMaxControlSize},
  };
  for (const TSizeCase& c : cases) {
    TFormDocument document(c.Html);
    ASSERT_FALSE(document.Page.Document.FormControlList.empty()) << c.Html;
    const TFormControlObj& control = document.Control(0);
    EXPECT_EQ(control.Width(), c.Width) << c.Html;
    EXPECT_EQ(control.Height(), c.Height) << c.Html;
  }
}

TEST(FormControls, KindsChosenByTypeAndSelectShape) {
  TFormDocument document(
      "<input type=PASSWORD><input type=hidden name=h value=v><input type=unknown><input type=file name=f>"
      "<select size=1><option>a</select><select size=2></select><input type=image src=x.gif>");
  EXPECT_TRUE(document.Control<TEditFormControlObj>(0).IsPassword());
  EXPECT_TRUE(document.Control(1).IsHidden());
  EXPECT_FALSE(document.Control<TEditFormControlObj>(2).IsPassword());
  // A file field is an edit box and its own browse button.
  EXPECT_EQ(document.Control<TButtonFormControlObj>(4).Caption(), "Browse...");
  EXPECT_NO_THROW(document.Control<TComboFormControlObj>(5));
  EXPECT_NO_THROW(document.Control<TListBoxFormControlObj>(6));
  EXPECT_TRUE(document.Control(7).IsImageButton());
  // Hidden fields and image buttons have no placeholder in the text; the image button shows its picture.
  const std::u16string& text = document.Page.Sections().at(0)->Text();
  EXPECT_EQ(std::count(text.begin(), text.end(), u'\u0002'), 6);
  EXPECT_EQ(std::count(text.begin(), text.end(), kImageChar), 1);
}

TEST(FormControls, ControlsSitInTheirLinesAndCells) {
  // Text of 2 characters, then the control; a control in a cell widens the cell to hold it.
  TFormDocument document("ab<input type=checkbox>cd<table><tr><td><input style='width:200px'></table>");
  QImage picture = document.Page.Paint(600, 200);
  auto frameAt = [&](int fromX, int y0) {
    for (int y = y0; y < 200; ++y)
      for (int x = fromX; x < 600; ++x)
        if (picture.pixel(x, y) == kButtonShadow.rgb()) return QPoint(x, y);
    return QPoint(-1, -1);
  };
  const QPoint check = frameAt(0, 0);
  EXPECT_EQ(check.x(), test::kBodyX + 20);
  const TTestDocument& page = document.Page;
  const TSection& first = *page.Sections().at(0);
  // The check box sits on the baseline: its bottom is the descent above the text's bottom.
  // On the baseline: its bottom margin and the descent above it, then a check box's one pixel lower.
  const LineRec& line = first.Lines().at(0);
  const int baseline = line.Top + line.SpaceBefore + test::kLineHeight - test::kDescent;
  EXPECT_EQ(check.y(), baseline - 13 - 1 - test::kDescent + 1);
  const TFormControlObj& edit = document.Control(1);
  ThtmlTable* table = nullptr;
  for (TSectionBase* item : page.Document.PositionList())
    if ((table = dynamic_cast<ThtmlTable*>(item))) break;
  ASSERT_NE(table, nullptr);
  EXPECT_GE(table->TableWidth, edit.Width());
}

TEST(FormControls, RadioGroupsByFormAndNameInAnyCase) {
  TFormDocument document(
      "<form><input type=radio name=a checked><input type=radio name=A checked><input type=radio name=b checked>"
      "</form><form><input type=radio name=a checked></form>");
  auto checked = [&](std::size_t i) { return document.Control<TRadioButtonFormControlObj>(i).Checked(); };
  // The later checked button of a group wins; another name or another form is another group.
  EXPECT_EQ((std::vector<bool>{checked(0), checked(1), checked(2), checked(3)}),
            (std::vector<bool>{false, true, true, true}));
  EXPECT_FALSE(document.Control<TRadioButtonFormControlObj>(0).TabStop());
  document.Control<TRadioButtonFormControlObj>(0).SetData(0, "ON");
  EXPECT_EQ((std::vector<bool>{checked(0), checked(1)}), (std::vector<bool>{true, false}));
  document.Form(0).Reset();
  EXPECT_EQ((std::vector<bool>{checked(0), checked(1), checked(2)}), (std::vector<bool>{false, true, true}));

  TFormDocument none("<input type=radio name=x><input type=radio name=x>");
  none.Control<TRadioButtonFormControlObj>(1).SetChecked(true);
  none.Form().Reset();
  EXPECT_FALSE(none.Control<TRadioButtonFormControlObj>(1).Checked());
  EXPECT_TRUE(none.Control<TRadioButtonFormControlObj>(0).TabStop());
  EXPECT_FALSE(none.Control<TRadioButtonFormControlObj>(1).TabStop());
}

TEST(FormControls, SubmissionEntriesInFormOrder) {
  TFormDocument document(
      "<form action='/order' method=POSTING target=_top enctype=multipart/form-data>"
      "<input name=e value='a b'><input type=password name=p value=pw maxlength=0>"
      "<input type=checkbox name=c1><input type=checkbox name=c2 checked><input type=hidden name=h value=1>"
      "<input name=d1 value=x disabled><input name=d2 value=y disabled=no><input name=d3 value=z disabled=0>"
      "<select name=s><option value=1>one<option selected>two</select>"
      "<select name=m multiple><option>r<option selected value=G>g<option selected>b</select>"
      "<select name=empty></select><input name=cut value=abcdef maxlength=3>"
      "<textarea name=t>line one\nline two</textarea>"
      "<input type=submit name=go value=Go></form>");
  const QStringList expected = {"e=a b", "p=pw",  "c2=on", "h=1", "d2=y", "d3=z", "s=two",
                                "m=G",   "m=b",   "cut=abc", "t=line one\r\nline two"};
  EXPECT_EQ(document.Entries(), expected);
  document.Control<TButtonFormControlObj>(13).Click();
  ASSERT_EQ(document.Host.Submissions.size(), 1u);
  const TFormSubmission& sent = document.Host.Submissions[0];
  EXPECT_EQ(sent.Entries, expected + QStringList{"go=Go"});
  EXPECT_EQ((QStringList{sent.Action, sent.Method, sent.Target, sent.EncType}),
            (QStringList{"/order", "POST", "_top", "multipart/form-data"}));
  EXPECT_EQ(document.Host.Events, QStringList{"click "});
}

TEST(FormControls, ResetAndSetValues) {
  TFormDocument document(
      "<input name=e value=first><input type=checkbox value=Yes><select name=s><option>a<option value=B>b</select>"
      "<select name=m multiple><option>x<option>y<option selected>z</select><textarea name=t>one</textarea>");
  auto& edit = document.Control<TEditFormControlObj>(0);
  auto& box = document.Control<TCheckBoxFormControlObj>(1);
  auto& combo = document.Control<TComboFormControlObj>(2);
  auto& list = document.Control<TListBoxFormControlObj>(3);
  auto& area = document.Control<TTextAreaFormControlObj>(4);
  edit.SetData(0, "typed");
  box.SetData(0, "yes");
  combo.SetData(0, "b");
  list.SetDataInit();
  list.SetData(0, "Y");
  area.SetData(0, "new\r\ntext");
  EXPECT_EQ(edit.Text(), "typed");
  EXPECT_TRUE(box.Checked());
  EXPECT_EQ(combo.SelectedIndex(), 1);
  EXPECT_EQ((std::vector<bool>{list.IsSelected(0), list.IsSelected(1), list.IsSelected(2)}),
            (std::vector<bool>{false, true, false}));
  EXPECT_EQ(area.Text(), "new\ntext");
  document.Form().Reset();
  EXPECT_EQ(edit.Text(), "first");
  EXPECT_FALSE(box.Checked());
  EXPECT_EQ(combo.SelectedIndex(), 0);
  EXPECT_EQ((std::vector<bool>{list.IsSelected(0), list.IsSelected(1), list.IsSelected(2)}),
            (std::vector<bool>{false, false, true}));
  EXPECT_EQ(area.Text(), "one");
}

TEST(FormControls, ChangesFarDownAListAreSeen) {
  std::string html = "<select multiple name=l>";
  for (int i = 0; i < 60; ++i) html += "<option>" + std::to_string(i);
  TFormDocument document(html + "</select>");
  auto& list = document.Control<TListBoxFormControlObj>(0);
  list.SaveContents();
  EXPECT_FALSE(list.IsChanged());
  list.SetSelected(55, true);
  EXPECT_TRUE(list.IsChanged());
  EXPECT_EQ(document.Entries(), QStringList{"l=55"});
}

// A list whose options the page goes on adding after the list was reset (here, markup that a fuzzer
// mangled around an unclosed SELECT) paints and submits without reading past its selection.
TEST(FormControls, OptionsAddedAfterAResetArePaintedUnselected) {
  using namespace std::string_literals;
  const std::string html = "\x00""<tablt<option>Cherry</sel[ct>\n<select name=m "s + std::string(54, '\0') + "multiple><option>Red<option selected>Gree<font size=+2>ted>Blue<opti=0>x<!-- open\n</table>\n<table><tr><td><table><tr><'\x00"">1</td></tr></table></td></tr></table>\n"s;
  TFormDocument document(html);
  const QImage picture = document.Page.Paint(600, 400);
  EXPECT_FALSE(picture.isNull());
  static_cast<void>(document.Entries());
}

TEST(FormControls, HardWrapSubmitsTheShownLines) {
  TFormDocument document("<textarea name=t cols=10 wrap=hard>aaaa bbbb cccc dddd eeee ffff gggg</textarea>");
  auto& area = document.Control<TTextAreaFormControlObj>(0);
  const QStringList lines = area.DisplayedLines();
  ASSERT_GT(lines.size(), 1);
  EXPECT_EQ(document.Entries(), QStringList{"t=" + lines.join("\r\n")});
  EXPECT_EQ(lines.join("").remove(' '), "aaaabbbbccccddddeeeeffffgggg");
}

TEST(FormControls, ImageButtonSubmitsTheClickedPoint) {
  TFormDocument document("<input type=image name=map src=none.gif><input type=image src=none.gif>");
  document.Control(0).ImageClick(12, 7);
  ASSERT_EQ(document.Host.Submissions.size(), 1u);
  EXPECT_EQ(document.Host.Submissions[0].Entries, (QStringList{"map.x=12", "map.y=7"}));
  // The point is sent once.
  EXPECT_TRUE(document.Entries().isEmpty());
  document.Control(1).ImageClick(3, 4);
  EXPECT_EQ(document.Host.Submissions[1].Entries, (QStringList{"x=3", "y=4"}));
}

TEST(FormControls, DrawnWithoutAViewer) {
  TFormDocument document(
      "<input type=checkbox checked><input type=checkbox><select></select><textarea></textarea>"
      "<select multiple><option selected>x</select>");
  const QImage picture = document.Page.Paint(600, 200);
  // The check mark is drawn only in the checked box.
  auto inkInside = [&](const TFormControlObj& control, int fromX) {
    int black = 0;
    for (int y = 0; y < 200; ++y)
      for (int x = fromX; x < fromX + control.Width(); ++x) black += picture.pixel(x, y) == qRgb(0, 0, 0);
    return black;
  };
  EXPECT_GT(inkInside(document.Control(0), test::kBodyX), 5);
  EXPECT_EQ(inkInside(document.Control(1), test::kBodyX + 13), 0);
  // The selected option is shown in the highlight colour.
  int highlight = 0;
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 600; ++x) highlight += picture.pixel(x, y) == kHighlight.rgb();
  EXPECT_GT(highlight, 20);
}

}  // namespace
}  // namespace corvane
