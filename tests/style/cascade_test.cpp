#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "style/style_sheet_parser.h"
#include "style_test_support.h"

namespace corvane {
namespace {

using testing::TStyledDocument;

double FontSizeOf(const TProperties& set) { return set.Value(Prop::FontSize).AsNumber(); }

TEST(Cascade, BuiltInSizesWithADefaultSizeOfTwelve) {
  struct TCase {
    const char* tag;
    double points;
  };
  const std::vector<TCase> cases = {{"h1", 24}, {"h2", 18}, {"h6", 8},   {"pre", 10},     {"code", 10},
                                    {"big", 15}, {"small", 9}, {"sup", 9}, {"input", 10}, {"p", 12}};
  for (const TCase& c : cases) {
    TStyledDocument document;
    document.Push("body");
    EXPECT_DOUBLE_EQ(FontSizeOf(document.Push(c.tag)), c.points) << c.tag;
  }
  // Under a size given in a fixed unit, monospace keeps the size it inherits.
  TStyledDocument document;
  document.PushSized("div", "10pt");
  EXPECT_DOUBLE_EQ(FontSizeOf(document.Push("code")), 10);
}

TEST(Cascade, FontSizesInEveryUnitUnderAParent) {
  const std::vector<std::pair<const char*, double>> cases = {
      {"1.2em", 12}, {"150%", 15}, {"larger", 12.5}, {"smaller", 7.5}, {"x-large", 24}, {"12px", 9}, {"2ex", 10}};
  for (const auto& [size, points] : cases) {
    TStyledDocument document;
    document.PushSized("div", "10pt");
    EXPECT_DOUBLE_EQ(FontSizeOf(document.PushSized("span", size)), points) << size;
  }
}

// A weight in a style attribute's font shorthand is never taken as a size: without a size of its own the
// element keeps its parent's (20pt), and 700 is no weight the shorthand sets.
TEST(Cascade, FontShorthandWeightsLeaveTheSizeInherited) {
  struct TCase {
    const char* style;
    double points;
    const char* weight;
  };
  const std::vector<TCase> cases = {
      {"font: 700 arial", 20, "normal"},       {"font: 12px 700 arial", 9, "normal"},
      {"font: 900 14pt arial", 14, "normal"},  {"font: bold 700 arial", 20, "bold"},
      {"font: 100 arial; font-weight: 700", 20, "700"},
  };
  for (const TCase& c : cases) {
    TStyledDocument document;
    TProperties style(document.Styles().Context());
    ParseInlineStyle(c.style, style);
    document.PushSized("div", "20pt");
    const TProperties& span = document.Push("span", {}, {}, {}, &style);
    EXPECT_DOUBLE_EQ(FontSizeOf(span), c.points) << c.style;
    EXPECT_EQ(span.Value(Prop::FontWeight).AsText(), c.weight) << c.style;
    EXPECT_EQ(span.Value(Prop::FontFamily).AsText(), "arial") << c.style;
  }
}

// The cascade result of an element is kept for its siblings alike; it must be what a fresh cascade
// gives, and it must not outlive a change of the parent or of the style sheet.
TEST(Cascade, KeptResultsEqualFreshOnesAndFollowChanges) {
  TStyledDocument document;
  document.AddRule("div em", {{"color", "red"}});
  document.AddRule("em.x", {{"font-weight", "bold"}});
  document.Push("div");
  document.Push("p");
  auto colourOf = [](const TProperties& set) { return set.Value(Prop::Color).AsInteger(); };
  const TProperties& first = document.Push("em", "x");
  const std::int32_t red = colourOf(first);
  const std::string_view weight = first.Value(Prop::FontWeight).AsText();
  EXPECT_EQ(weight, "bold");
  document.Stack().PopProperties("em");
  const TProperties& second = document.Push("em", "x");
  EXPECT_EQ(colourOf(second), red);
  EXPECT_EQ(second.Value(Prop::FontWeight).AsText(), "bold");
  EXPECT_EQ(second.ElementClass(), "x");
  document.Stack().PopProperties("em");
  // A changed parent: its children are cascaded again.
  document.Stack().Top().SetFromAttribute(Prop::FontStyle, TPropValue::Text("italic"));
  EXPECT_EQ(document.Push("em", "x").Value(Prop::FontStyle).AsText(), "italic");
  document.Stack().PopProperties("em");
  // A new rule: so are they.
  document.AddRule("em", {{"text-decoration", "underline"}});
  EXPECT_EQ(document.Push("em", "x").Value(Prop::TextDecoration).AsText(), "underline");
  document.Stack().PopProperties("em");
  // Cousins under parents made alike share results; a parent with its own style attribute does not.
  document.Stack().PopProperties("p");
  document.Push("p");
  EXPECT_EQ(colourOf(document.Push("em", "x")), red);
  document.Stack().PopProperties("p");
  document.Push("p", {}, {}, {}, document.InlineStyle({{"font-size", "20pt"}}));
  EXPECT_DOUBLE_EQ(document.Push("em").Value(Prop::FontSize).AsNumber(), 20);
}

// More kept results than the cascade keeps at once (it grows its table, then starts it afresh): each
// element, first or again, takes the result of its own class.
TEST(Cascade, ManyKeptResultsEachStayTheirOwn) {
  TStyledDocument document;
  constexpr int kClasses = 1300;
  for (int k = 0; k < kClasses; ++k)
    document.AddRule(".c" + std::to_string(k), {{"margin-left", std::to_string(k) + "px"}});
  document.Push("div");
  for (int round = 0; round < 2; ++round) {
    for (int k = 0; k < kClasses; ++k) {
      const std::string cls = "c" + std::to_string(k);
      const TProperties& set = document.Push("span", cls);
      EXPECT_EQ(set.Value(Prop::MarginLeft).AsText(), std::to_string(k) + "px") << round << " " << cls;
      EXPECT_EQ(set.ElementClass(), cls);
      document.Stack().PopProperties("span");
    }
  }
}

// Elements that differ only in ids no rule names share one kept result, and so do their children; each
// still carries its own id. Ids that rules name, alone or as an ancestor, are cascaded as before.
TEST(Cascade, IdsNoRuleNamesShareResultsAndKeepTheirOwnId) {
  const char* sheet =
      "#main { color: red } div#side p { font-style: italic } #toc a { text-decoration: none } "
      "p.x#k { text-align: right } em { font-weight: bold }";
  struct TCase {
    const char* divId;
    const char* pId;
    const char* pClass;
    bool red;         // the div (colours are stored blue, green, red)
    bool italic;      // the paragraph
    bool right;       // the paragraph
    bool undecorated;  // the link
  };
  const std::vector<TCase> cases = {
      {"s1", "", "", false, false, false, false},   {"s2", "q", "", false, false, false, false},
      {"main", "", "", true, false, false, false},  {"MAIN", "", "", true, false, false, false},
      {"side", "", "", false, true, false, false},  {"toc", "", "", false, false, false, true},
      {"s3", "k", "x", false, false, true, false},  {"s4", "k", "", false, false, false, false},
      {"s5", "", "", false, false, false, false},
  };
  // One document for all cases, so that later ones meet the results the earlier ones kept; each
  // compared with a fresh document's.
  TStyledDocument kept;
  kept.AddSheet(sheet);
  kept.Push("body");
  for (const TCase& c : cases) {
    TStyledDocument fresh;
    fresh.AddSheet(sheet);
    fresh.Push("body");
    std::vector<const TProperties*> sets[2];
    for (int d = 0; d < 2; ++d) {
      TStyledDocument& document = d == 0 ? kept : fresh;
      const TProperties& div = document.Push("div", "section", c.divId);
      const TProperties& p = document.Push("p", c.pClass, c.pId);
      const TProperties& a = document.Push("a", {}, "", "link");
      const TProperties& em = document.Push("em");
      sets[d] = {&div, &p, &a, &em};
      EXPECT_EQ(div.ElementId(), c.divId);
      EXPECT_EQ(p.ElementId(), c.pId);
      EXPECT_EQ(div.GetOwnColor() == 0x0000FFu, c.red) << c.divId;
      EXPECT_EQ(p.Value(Prop::FontStyle).AsText() == "italic", c.italic) << c.divId;
      EXPECT_EQ(p.Value(Prop::TextAlign).AsText() == "right", c.right) << c.divId;
      EXPECT_EQ(a.Value(Prop::TextDecoration).AsText() == "none", c.undecorated) << c.divId;
      EXPECT_EQ(em.Value(Prop::FontWeight).AsText(), "bold") << c.divId;
    }
    for (std::size_t e = 0; e < sets[0].size(); ++e) {
      for (int i = 0; i < Prop::Count; ++i)
        EXPECT_TRUE(sets[0][e]->Value(i) == sets[1][e]->Value(i)) << c.divId << " element " << e << " value " << i;
      EXPECT_EQ(sets[0][e]->HasLinkFonts(), sets[1][e]->HasLinkFonts()) << c.divId << " element " << e;
    }
    kept.Stack().PopToCount(2);
  }
}

// Sets made from one kept cascade result hold its values until they change; a change stays with the set
// that made it, whether that set computed the result or took it, and whichever way it was changed.
TEST(PropStack, SetsSharingKeptValuesChangeAlone) {
  struct TCase {
    const char* name;
    void (*change)(TProperties&);
    int index;
    const char* text;  // the changed set's value afterwards
  };
  const std::vector<TCase> cases = {
      {"attribute", [](TProperties& p) { p.SetFromAttribute(Prop::TextAlign, TPropValue::Text("right")); },
       Prop::TextAlign, "right"},
      {"value", [](TProperties& p) { p.SetValue(Prop::FontVariant, TPropValue::Text("small-caps")); },
       Prop::FontVariant, "small-caps"},
      {"declaration", [](TProperties& p) { p.SetDeclarationByName("font-style", "italic"); }, Prop::FontStyle,
       "italic"},
      {"border style", [](TProperties& p) { p.SetDeclarationByName("border-style", "dotted"); },
       Prop::BorderLeftStyle, "dotted"},
  };
  for (const TCase& c : cases) {
    TStyledDocument fresh;
    fresh.Push("div");
    std::vector<TPropValue> expected;
    const TProperties& model = fresh.Push("p", "x");
    for (int i = 0; i < Prop::Count; ++i) expected.push_back(model.Value(i));

    TStyledDocument document;
    document.Push("div");
    for (int round = 0; round < 3; ++round) {
      // Round 0 computes the result, the others take it.
      TProperties& p = document.Push("p", "x");
      for (int i = 0; i < Prop::Count; ++i)
        EXPECT_TRUE(p.Value(i) == expected[static_cast<std::size_t>(i)])
            << c.name << " round " << round << " value " << i;
      c.change(p);
      EXPECT_EQ(p.Value(c.index).AsText(), c.text) << c.name << " round " << round;
      // A child of the changed set inherits the change.
      if (InheritanceOf(c.index) == TInheritance::Copied) {
        EXPECT_EQ(document.Push("em").Value(c.index).AsText(), c.text) << c.name << " round " << round;
      }
      document.Stack().PopToCount(2);
    }
  }
}

// A set unchanged since it was opened takes the result that an earlier set of its shape sealed for the
// same change, and then holds what making the change itself gives, with its own id.
TEST(PropStack, SealedChangesAreTakenByLaterSetsOfTheShape) {
  struct TCase {
    const char* id;
    const char* align;
    bool italic;  // made italic first, and sealed so: another shape
    bool taken;
  };
  const std::vector<TCase> cases = {
      {"a", "right", false, false}, {"b", "right", false, true},  {"c", "center", false, false},
      {"d", "center", false, true}, {"e", "right", true, false},  {"f", "right", true, true},
      {"g", "right", false, true},  {"h", "left", false, false},  {"i", "center", false, true},
  };
  TStyledDocument document;
  document.Push("table");
  for (const TCase& c : cases) {
    TStyledDocument fresh;
    fresh.Push("table");
    TProperties& model = fresh.Push("td", "", c.id);
    if (c.italic) model.SetDeclarationByName("font-style", "italic");
    model.SetFromAttribute(Prop::TextAlign, TPropValue::Text(c.align));

    TProperties& cell = document.Push("td", "", c.id);
    if (c.italic) {
      cell.SetDeclarationByName("font-style", "italic");
      document.Stack().SealShape(cell, "font-style:italic");
    }
    const bool taken = document.Stack().TakeSealedShape(cell, "text-align:", c.align);
    EXPECT_EQ(taken, c.taken) << c.id;
    if (!taken) {
      cell.SetFromAttribute(Prop::TextAlign, TPropValue::Text(c.align));
      document.Stack().SealShape(cell, "text-align:", c.align);
    }
    EXPECT_EQ(cell.ElementId(), c.id);
    EXPECT_TRUE(cell.StyleSet(Prop::TextAlign)) << c.id;
    for (int i = 0; i < Prop::Count; ++i)
      EXPECT_TRUE(cell.Value(i) == model.Value(i)) << c.id << " value " << i;
    EXPECT_EQ(document.Push("em").Value(Prop::TextAlign).AsText(), c.align) << c.id;
    document.Stack().PopToCount(2);
  }
  // A set changed and not yet sealed has no known shape.
  TProperties& cell = document.Push("td");
  cell.SetValue(Prop::FontVariant, TPropValue::Text("small-caps"));
  EXPECT_FALSE(document.Stack().TakeSealedShape(cell, "text-align:", "right"));
}

// The box values are read once for the sets of one shape; a set changed since reads its own, and the
// others keep theirs.
TEST(PropStack, BoxValuesReadOnceForAShape) {
  struct TCase {
    const char* margin;  // given to the second paragraph; nullptr for none
    bool shared;
  };
  const std::vector<TCase> cases = {{nullptr, true}, {"5px", false}, {"2em", false}};
  for (const TCase& c : cases) {
    TStyledDocument document;
    document.Push("body");
    const TProperties& first = document.Push("p");
    const std::shared_ptr<const TBoxValues> firstBox = first.SharedBoxValues();
    document.Stack().PopToCount(2);
    TProperties& second = document.Push("p");
    if (c.margin) second.SetDeclarationByName("margin-left", c.margin);
    const std::shared_ptr<const TBoxValues> secondBox = second.SharedBoxValues();
    EXPECT_EQ(firstBox == secondBox, c.shared) << (c.margin ? c.margin : "-");
    const TBoxValues fresh = second.GetBoxValues();
    for (int i = TBoxValues::First; i <= TBoxValues::Last; ++i)
      EXPECT_TRUE((*secondBox)[i] == fresh[i]) << (c.margin ? c.margin : "-") << " " << i;
    EXPECT_EQ((*firstBox)[Prop::MarginLeft].IsText(), false);
  }
}

// Documents styled on several threads at once, as the Python module renders them, each share values
// within themselves only: every thread's sets equal those of a document styled alone.
TEST(PropStack, DocumentsOnEveryThreadCascadeAlike) {
  const char* sheet = "p { margin: 4px } code.fn { color: #795e26 } div p em { font-style: normal }";
  auto styleOne = [sheet](std::vector<TPropValue>& out) {
    TStyledDocument document;
    document.AddSheet(sheet);
    document.Push("body");
    for (int section = 0; section < 200; ++section) {
      document.Push("div", "section", "s" + std::to_string(section));
      document.Push("p");
      document.Push("code", "fn");
      TProperties& em = document.Push("em");
      if (section % 7 == 0) em.SetFromAttribute(Prop::TextAlign, TPropValue::Text("right"));
      if (section == 199)
        for (int i = 0; i < Prop::Count; ++i) out.push_back(em.Value(i));
      document.Stack().PopToCount(2);
    }
  };
  std::vector<TPropValue> alone;
  styleOne(alone);
  std::vector<std::vector<TPropValue>> results(4);
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < results.size(); ++t) threads.emplace_back([&, t] { styleOne(results[t]); });
  for (std::thread& thread : threads) thread.join();
  for (std::size_t t = 0; t < results.size(); ++t) {
    ASSERT_EQ(results[t].size(), alone.size()) << t;
    for (std::size_t i = 0; i < alone.size(); ++i) EXPECT_TRUE(results[t][i] == alone[i]) << t << " value " << i;
  }
}

TEST(StyleList, IdsNamedByKeys) {
  TStyleList styles(96.0);
  for (const char* key : {"#a", "p#b", ".c#d:hover", "li 210#e> ", "em 110#f ", "x#g.h", "#i#j"})
    styles.AddDeclaration(key, "color", "red");
  const std::vector<std::pair<const char*, bool>> cases = {
      {"a", true},  {"b", true}, {"d", true},  {"e", true},  {"f", true},  {"g", true}, {"i", true},
      {"j", true},  {"A", true}, {"B", true},  {"c", false}, {"h", false}, {"", false}, {"hover", false},
      {"ab", false}, {"g.h", false}, {"li", false}};
  for (const auto& [id, named] : cases) EXPECT_EQ(styles.IdInRules(id), named) << id;
  styles.Clear();
  EXPECT_FALSE(styles.IdInRules("a"));
}

TEST(Cascade, LaterDeclarationsOfOneRuleWin) {
  TStyledDocument document;
  document.AddRule("p", {{"color", "blue"}});
  document.AddRule("p", {{"color", "red"}});
  EXPECT_EQ(document.Styles().EqualRange("p").second - document.Styles().EqualRange("p").first, 1u);
  EXPECT_EQ(document.Push("p").GetOwnColor(), 0xFFu);
}

TEST(Cascade, SpecificityOrderAndTheStyleAttributeLast) {
  TStyledDocument document;
  document.AddRule("#main", {{"color", "red"}, {"font-weight", "bold"}});
  document.AddRule("p.note", {{"color", "green"}, {"font-style", "italic"}, {"text-align", "right"}});
  document.AddRule(".note", {{"color", "blue"}, {"text-align", "center"}});
  document.AddRule("p", {{"color", "navy"}, {"text-indent", "5px"}});
  const TProperties* inlineStyle = document.InlineStyle({{"text-align", "justify"}});
  const TProperties& p = document.Push("p", "note", "main", {}, inlineStyle);
  EXPECT_EQ(p.GetOwnColor(), 0xFFu);
  EXPECT_EQ(p.Value(Prop::FontStyle).AsText(), "italic");
  EXPECT_EQ(p.Value(Prop::TextIndent).AsText(), "5px");
  EXPECT_EQ(p.Value(Prop::TextAlign).AsText(), "justify");
  EXPECT_EQ(p.ElementTag(), "p");
  EXPECT_EQ(p.ElementId(), "main");
}

TEST(Cascade, EveryClassOfAClassList) {
  TStyledDocument document;
  document.AddRule(".a", {{"color", "red"}});
  document.AddRule(".b", {{"font-weight", "bold"}});
  document.AddRule(".a.b", {{"font-style", "italic"}});
  document.AddRule("p", {{"font-size", "2em"}});
  document.PushSized("div", "10pt");
  const TProperties& p = document.Push("p", "a.b");
  EXPECT_EQ(p.GetOwnColor(), 0xFFu);
  EXPECT_EQ(p.Value(Prop::FontWeight).AsText(), "bold");
  EXPECT_EQ(p.Value(Prop::FontStyle).AsText(), "italic");
  // The tag rule is merged on each of the three passes; its relative size is taken once.
  EXPECT_DOUBLE_EQ(FontSizeOf(p), 20);
}

// One element of a path opened under BODY: tag, class names joined by ".", style attribute.
struct TStep {
  const char* tag;
  const char* cls = "";
  const char* style = "";
};

// Opens body and the path under the rules of sheet; returns the innermost element.
TProperties& OpenPath(TStyledDocument& document, const char* sheet, const std::vector<TStep>& path) {
  document.AddSheet(sheet);
  TProperties* top = &document.Push("body");
  for (const TStep& step : path) {
    const TProperties* style = *step.style ? document.StyleAttribute(step.style) : nullptr;
    top = &document.Push(step.tag, step.cls, {}, {}, style);
  }
  return *top;
}

std::string Describe(const char* sheet, const std::vector<TStep>& path) {
  std::string text = sheet;
  for (const TStep& step : path) text += std::string(" <") + step.tag + "." + step.cls + " " + step.style + ">";
  return text;
}

// With a default size of 12 points: a relative size is taken once, of the parent's size, whatever number
// of class names the element carries; monospace is 10/12 of the size around it when the size still
// follows the default, whatever tag makes it monospace.
TEST(Cascade, FontSizesFollowTheParentOnceAndTheFamilyKind) {
  struct TCase {
    const char* sheet;
    std::vector<TStep> path;
    double points;
  };
  const std::vector<TCase> cases = {
      // Class names do not repeat a relative size.
      {"", {{"small", "a.b"}}, 9}, {"", {{"h2", "a.b"}}, 18}, {"", {{"code", "a.b.c.d"}}, 10},
      {"", {{"tt", "a.b"}, {"span", "pre"}}, 10}, {"", {{"span", "a.b", "font-size: 2em"}}, 24},
      {".big { font-size: 150% }", {{"span", "big.x"}}, 18},
      {".big { font-size: 150% }", {{"span", "big.x"}, {"small", "a.b"}}, 13.5},
      // Monospace inside monospace keeps its size; the family makes the size, not the tag.
      {"", {{"tt"}, {"tt"}}, 10}, {"", {{"pre"}, {"font"}, {"code"}}, 10},
      {".m { font-family: monospace }", {{"div", "m"}}, 10},
      {".m { font-family: Courier New }", {{"div", "m"}}, 10},
      {".m { font-family: \"Courier New\", monospace }", {{"div", "m"}}, 12},
      {"pre.s { font-family: serif }", {{"pre", "s"}}, 12},
      {"", {{"code"}, {"span", "", "font-family: arial"}}, 12},
      // Sizes around and on the element; keyword sizes are not scaled, what they hold is.
      {"", {{"h2"}, {"code"}}, 15}, {"", {{"code"}, {"small"}}, 7.5}, {"", {{"code", "", "font-size: 2em"}}, 20},
      {"", {{"code", "", "font-size: 14pt"}}, 14}, {"", {{"div", "", "font-size: large"}, {"code"}}, 15},
      {"", {{"div", "", "font-family: monospace; font-size: large"}}, 18},
      // A size in a fixed unit above stays as given, as a browser keeps it.
      {"", {{"div", "", "font-size: 20px"}, {"span", "", "font-size: 150%"}, {"tt"}}, 22.5},
      {"body { font-size: 9pt }", {{"p"}, {"code"}}, 9},
  };
  for (const TCase& c : cases) {
    TStyledDocument document;
    EXPECT_DOUBLE_EQ(FontSizeOf(OpenPath(document, c.sheet, c.path)), c.points) << Describe(c.sheet, c.path);
  }
}

// The looks of a link take the element's size too: once, and smaller for monospace.
TEST(Cascade, LinkLooksTakeTheSizeOnce) {
  const std::vector<std::pair<TStep, double>> cases = {{{"code"}, 10}, {{"small", "a.b"}, 9}, {{"b", "a.b"}, 12}};
  for (const auto& [step, points] : cases) {
    TStyledDocument document;
    document.Push("body");
    document.Push("a", {}, {}, "link");
    const TProperties& inside = document.Push(step.tag, step.cls);
    ASSERT_TRUE(inside.HasLinkFonts());
    for (const ThtFontInfo& look : inside.LinkFonts()->Fonts) EXPECT_DOUBLE_EQ(look.Size, points) << step.tag;
  }
  TStyledDocument document;
  document.Push("code");
  const TProperties& link = document.Push("a", {}, {}, "link");
  for (const ThtFontInfo& look : link.LinkFonts()->Fonts) EXPECT_DOUBLE_EQ(look.Size, 10);
}

// FONT FACE gives the family after the cascade; the size follows it as it follows a rule's family, unless
// the element has a size of its own. A SIZE attribute is like a size keyword: it is not scaled itself,
// but what leaves its monospace is larger.
TEST(Cascade, FontFaceChangesTheSizeLikeARule) {
  for (const bool sized : {false, true}) {
    TStyledDocument document;
    document.Push("body");
    TProperties& font = document.Push("font");
    if (sized) font.SetFromAttribute(Prop::FontSize, TPropValue::Number(14));
    font.SetFromAttribute(Prop::FontFamily, TPropValue::Text("Courier New"));
    EXPECT_DOUBLE_EQ(FontSizeOf(font), sized ? 14 : 10);
    EXPECT_DOUBLE_EQ(FontSizeOf(document.Push("span", {}, {}, {}, document.StyleAttribute("font-family: serif"))),
                     sized ? 14 * 1.2 : 12);
  }
}

// Preformatted text keeps the weight, style and decoration of what is around it.
TEST(Cascade, PreKeepsTheLookAroundIt) {
  struct TCase {
    std::vector<TStep> path;
    bool bold, italic, underline;
  };
  const std::vector<TCase> cases = {
      {{{"pre"}}, false, false, false}, {{{"table"}, {"tr"}, {"th"}, {"pre"}}, true, false, false},
      {{{"b"}, {"pre"}}, true, false, false}, {{{"i"}, {"pre"}}, false, true, false},
      {{{"u"}, {"pre"}}, false, false, true}, {{{"th"}, {"pre", "s"}}, true, false, false},
  };
  for (const TCase& c : cases) {
    TStyledDocument document;
    ThtFontInfo info;
    OpenPath(document, "pre.s { font-family: serif }", c.path).FillFontInfo(info);
    const std::string what = Describe("", c.path);
    EXPECT_EQ(info.Style.Bold, c.bold) << what;
    EXPECT_EQ(info.Style.Italic, c.italic) << what;
    EXPECT_EQ(info.Style.Underline, c.underline) << what;
  }
}

// PRE is one line of its own font away from its neighbours; a list inside another list has no paragraph
// space above or below, unless a style sheet gives it margins.
TEST(Cascade, VerticalMarginsOfPreAndNestedLists) {
  struct TCase {
    const char* sheet;
    std::vector<TStep> path;
    int top, bottom;
    bool paragraph;  // the top margin is the paragraph space
  };
  const std::vector<TCase> cases = {
      {"", {{"pre"}}, 13, 13, false}, {"", {{"h2"}, {"pre"}}, 20, 20, false},
      {"pre { margin: 0 }", {{"pre"}}, 0, 0, false}, {"", {{"div"}, {"ul"}}, 14, 14, true},
      {"", {{"ul"}, {"li"}, {"ul"}}, 0, 0, false}, {"", {{"dir"}, {"li"}, {"menu"}}, 0, 0, false},
      {"", {{"ol"}, {"li"}, {"div"}, {"ol"}}, 0, 0, false}, {"", {{"dl"}, {"dd"}, {"ul"}}, 0, 0, false},
      {"", {{"ul"}, {"li"}, {"blockquote"}}, 14, 14, true},
      {"ul { margin-top: 5px; margin-bottom: 6px }", {{"ul"}, {"li"}, {"ul"}}, 5, 6, false},
  };
  for (const TCase& c : cases) {
    TStyledDocument document;
    TProperties& element = OpenPath(document, c.sheet, c.path);
    element.Font();  // the element's own em
    TMarginArray pixels;
    const TParagraphMargins flags =
        ConvertVerticalMargins(element.GetBoxValues(), 400, element.EmSize(), element.ExSize(), 96, pixels);
    const std::string what = Describe(c.sheet, c.path);
    EXPECT_EQ(pixels[Prop::MarginTop], c.top) << what;
    EXPECT_EQ(pixels[Prop::MarginBottom], c.bottom) << what;
    EXPECT_EQ(flags.TopIsParagraph, c.paragraph) << what;
  }
}

TEST(Cascade, InheritanceFromSpansAndRowGroups) {
  TStyledDocument document;
  document.Push("body");
  document.Push("span", {}, {}, {},
                document.InlineStyle({{"margin-left", "7px"}, {"border-style", "solid"}, {"background-color", "red"},
                                      {"width", "50px"}}));
  const TProperties& inSpan = document.Push("b");
  EXPECT_EQ(inSpan.Value(Prop::MarginLeft).AsText(), "7px");
  EXPECT_EQ(inSpan.Value(Prop::Width).AsText(), "50px");
  EXPECT_EQ(inSpan.Value(Prop::BorderTopStyle).AsText(), "solid");
  EXPECT_EQ(inSpan.Value(Prop::BackgroundColor).AsInteger(), 0xFF);
  EXPECT_FALSE(inSpan.HasBorderStyle());
  EXPECT_FALSE(inSpan.StyleSet(Prop::MarginLeft));

  document.Stack().PopToCount(2);
  document.Push("tbody", {}, {}, {}, document.InlineStyle({{"color", "green"}, {"height", "9px"}}));
  TProperties& row = document.Push("tr");
  EXPECT_EQ(row.Value(Prop::Height).AsText(), "9px");
  EXPECT_TRUE(row.StyleSet(Prop::Color));
  row.SetFromAttribute(Prop::Color, TPropValue::Integer(0x020000FF));
  EXPECT_EQ(row.GetOwnColor(), 0x8000u);

  document.Stack().PopToCount(2);
  TProperties& div = document.Push("div", {}, {}, {}, document.InlineStyle({{"word-wrap", "break-word"}, {"margin-top", "3px"}}));
  EXPECT_EQ(document.Push("table").Value(Prop::WordWrap).AsText(), "normal");
  document.Stack().PopTop();
  const TProperties& inner = document.Push("p");
  EXPECT_EQ(inner.Value(Prop::WordWrap).AsText(), "break-word");
  EXPECT_EQ(div.Value(Prop::MarginTop).AsText(), "3px");
  EXPECT_TRUE(inner.Value(Prop::MarginTop).IsInteger(ParagraphSpace));
}

TEST(Cascade, ContextualRules) {
  TStyledDocument document;
  TStyleList& styles = document.Styles();
  // Two blocks with the same selector ul li, and ul > li.
  const std::string first = "li 1" + styles.NextContextNumber() + "ul ";
  const std::string second = "li 1" + styles.NextContextNumber() + "ul ";
  const std::string child = "li 1" + styles.NextContextNumber() + "ul> ";
  EXPECT_EQ(first, "li 110ul ");
  EXPECT_EQ(second, "li 111ul ");
  document.AddRule(first, {{"color", "red"}, {"text-indent", "4px"}});
  document.AddRule(second, {{"color", "blue"}});
  document.AddRule(child, {{"float", "left"}});
  document.AddRule("p 2" + styles.NextContextNumber() + ".x div.y ", {{"text-align", "right"}});

  document.Push("body");
  document.Push("ul");
  const TProperties& li = document.Push("li");
  EXPECT_EQ(li.GetOwnColor(), 0xFF0000u);
  EXPECT_EQ(li.Value(Prop::TextIndent).AsText(), "4px");
  EXPECT_EQ(li.GetFloat(), 5);
  document.Push("div");
  const TProperties& nested = document.Push("li");
  EXPECT_EQ(nested.GetOwnColor(), 0xFF0000u);
  EXPECT_EQ(nested.GetFloat(), std::nullopt);

  document.Stack().PopToCount(1);
  document.Push("div", "y.z");
  document.Push("span", "x");
  EXPECT_EQ(document.Push("p").Value(Prop::TextAlign).AsText(), "right");
  document.Stack().PopTop();
  document.Stack().PopTop();
  document.Push("span", "w");
  EXPECT_EQ(document.Push("p").Value(Prop::TextAlign).AsText(), "left");

  // The outermost element can be the last ancestor of a key.
  document.Stack().PopToCount(1);
  document.Push("ul");
  EXPECT_EQ(document.Push("li").GetOwnColor(), 0xFF0000u);

  // The built-in rule for a paragraph inside "pre".
  document.Stack().PopToCount(1);
  document.Push("pre");
  EXPECT_TRUE(document.Push("p").Value(Prop::MarginTop).IsInteger(0));
}

TEST(Cascade, LinkColours) {
  struct TCase {
    std::vector<std::pair<const char*, const char*>> rules;  // key, colour
    TColor link, visited, hover, visitedHover;
  };
  const TColor blue = 0x02FF0000, purple = 0x02800080, green = 0x8000, red = 0xFF;
  const std::vector<TCase> cases = {
      {{}, blue, purple, blue, blue},
      {{{"a", "green"}}, green, purple, blue, blue},
      {{{":link", "green"}}, green, green, green, green},
      {{{":link", "green"}, {":hover", "red"}}, green, green, red, red},
      {{{":visited", "green"}}, blue, green, green, green},
      {{{"a:hover", "red"}}, blue, purple, red, red},
  };
  for (std::size_t n = 0; n < cases.size(); ++n) {
    const TCase& c = cases[n];
    TStyledDocument document;
    for (const auto& [key, colour] : c.rules) document.AddRule(key, {{"color", colour}});
    document.Push("body");
    const TProperties& link = document.Push("a", {}, {}, "link");
    ASSERT_TRUE(link.HasLinkFonts());
    const TFontInfoArray& fonts = *link.LinkFonts();
    EXPECT_EQ(fonts[TFontInfoArray::Link].Color, c.link) << n;
    EXPECT_EQ(fonts[TFontInfoArray::Visited].Color, c.visited) << n;
    EXPECT_EQ(fonts[TFontInfoArray::Hover].Color, c.hover) << n;
    EXPECT_EQ(fonts[TFontInfoArray::VisitedHover].Color, c.visitedHover) << n;
    EXPECT_TRUE(fonts[TFontInfoArray::Link].Style.Underline);
    // The short-lived entries are gone again.
    EXPECT_EQ(document.Stack().Count(), 3);
  }
}

TEST(Cascade, LinksInsideLinksAndWithoutUnderline) {
  TStyleDefaults defaults;
  defaults.LinkUnderline = false;
  TStyledDocument document(defaults);
  document.AddRule("::hover", {{"text-decoration", "underline"}});
  document.AddRule("a:hover", {{"background-color", "yellow"}});
  EXPECT_TRUE(document.Styles().HoverRulesPresent());
  document.Push("body");
  document.Push("a", {}, {}, "link");
  const TProperties& inside = document.Push("b");
  ASSERT_TRUE(inside.HasLinkFonts());
  const TFontInfoArray& fonts = *inside.LinkFonts();
  EXPECT_FALSE(fonts[TFontInfoArray::Link].Style.Underline);
  EXPECT_TRUE(fonts[TFontInfoArray::Hover].Style.Underline);
  EXPECT_EQ(fonts[TFontInfoArray::Hover].BackgroundColor, 0xFFFFu);
  EXPECT_EQ(fonts[TFontInfoArray::Link].BackgroundColor, ColorNone);
  // A font attribute inside the link reaches all four looks.
  TProperties& font = document.Push("font");
  font.SetFromAttribute(Prop::Color, TPropValue::Integer(0x020000FF));
  for (const ThtFontInfo& look : font.LinkFonts()->Fonts) EXPECT_EQ(look.Color, 0x020000FFu);
}

TEST(PropStack, ClosingAnElementReDerivesTheOnesAboveIt) {
  // '<b>a<i>b</b>c</i>', with and without a body around it.
  for (bool body : {true, false}) {
    TStyledDocument document;
    if (body) document.Push("body");
    document.Push("b");
    document.Push("i");
    const TPoppedEntry popped = document.Stack().PopProperties("b");
    EXPECT_TRUE(popped.Found);
    EXPECT_FALSE(popped.HasBorderStyle);
    const TProperties& i = document.Stack().Top();
    EXPECT_EQ(i.ElementTag(), "i");
    EXPECT_EQ(i.Value(Prop::FontWeight).AsText(), "normal") << body;
    EXPECT_EQ(i.Value(Prop::FontStyle).AsText(), "italic");
    EXPECT_FALSE(document.Stack().PopProperties("b").Found);
    EXPECT_FALSE(document.Stack().PopProperties("default").Found);
  }
  TStyledDocument document;
  document.Push("span", {}, {}, {}, document.InlineStyle({{"border", "x"}, {"border-style", "solid"}}));
  document.Push("big");
  const std::uint32_t serial = document.Stack()[1].SerialNumber();
  const TPoppedEntry popped = document.Stack().PopProperties("span");
  EXPECT_TRUE(popped.HasBorderStyle);
  EXPECT_EQ(popped.SerialNumber, serial);
  EXPECT_DOUBLE_EQ(FontSizeOf(document.Stack().Top()), 15);
}

// '<big><code>a</big>b</code>': the code that stays open is monospace under the body's size again.
TEST(PropStack, ReDerivedSizesFollowTheFamilyKind) {
  TStyledDocument document;
  document.Push("body");
  document.Push("big");
  document.Push("a", {}, {}, "link");
  EXPECT_DOUBLE_EQ(FontSizeOf(document.Push("code")), 12.5);
  document.Stack().PopProperties("big");
  const TProperties& code = document.Stack().Top();
  EXPECT_DOUBLE_EQ(FontSizeOf(code), 10);
  ASSERT_TRUE(code.HasLinkFonts());
  for (const ThtFontInfo& look : code.LinkFonts()->Fonts) EXPECT_DOUBLE_EQ(look.Size, 10);
}

TEST(PropStack, PopByLevelKeepsTheRoot) {
  TStyledDocument document;
  for (const char* tag : {"body", "table", "tbody", "tr", "td"}) document.Push(tag);
  document.Stack().PopToCount(3);
  EXPECT_EQ(document.Stack().Top().ElementTag(), "table");
  document.Stack().PopToCount(0);
  EXPECT_EQ(document.Stack().Count(), 1);
  document.Stack().PopTop();
  EXPECT_EQ(document.Stack().Top().ElementTag(), "default");
}

TEST(StyleList, KeysCompareWithoutCaseAndNewEqualKeysGoFirst) {
  TStyledDocument document;
  TStyleList& styles = document.Styles();
  const TProperties& original = *styles.FindRule("B");
  const TProperties& copy = styles.AddCopy("b", original);
  const auto [first, last] = styles.EqualRange("b");
  ASSERT_EQ(last - first, 2u);
  EXPECT_EQ(&styles.RuleAt(first), &copy);
  EXPECT_EQ(copy.Value(Prop::FontWeight).AsText(), "bold");
  EXPECT_FALSE(styles.AddDeclaration("p", "colour", "red"));
  // An unreadable colour makes no rule.
  EXPECT_TRUE(styles.AddDeclaration("p.x", "color", "nonsense"));
  EXPECT_EQ(styles.FindRule("p.x"), nullptr);
  styles.Clear();
  EXPECT_EQ(styles.Count(), 0u);
  EXPECT_EQ(styles.NextContextNumber(), "10");
  EXPECT_FALSE(styles.HoverRulesPresent());
}

TEST(StyleList, RulesAddedBetweenLookupsKeepTheOrder) {
  TStyleList styles(96.0);
  // Added, looked up, added again: the later rule of a key is first among its equal keys each time, and
  // the contextual positions follow the merged order.
  TProperties& firstB = styles.AddCopy("b", TProperties(styles.Context()));
  styles.AddCopy("li 110ul ", firstB);
  styles.AddCopy("a", firstB);
  ASSERT_EQ(styles.Count(), 3u);
  EXPECT_EQ(styles.KeyAt(0), "a");
  EXPECT_EQ(styles.NextContextual(0), 2u);
  TProperties& secondB = styles.AddCopy("B", firstB);
  styles.AddCopy("c", firstB);
  TProperties& thirdB = styles.AddCopy("b", firstB);
  EXPECT_EQ(styles.FindRule("b"), &thirdB);
  const auto [first, last] = styles.EqualRange("b");
  ASSERT_EQ(last - first, 3u);
  EXPECT_EQ(&styles.RuleAt(first), &thirdB);
  EXPECT_EQ(&styles.RuleAt(first + 1), &secondB);
  EXPECT_EQ(&styles.RuleAt(first + 2), &firstB);
  std::vector<std::string_view> keys;
  for (std::size_t i = 0; i < styles.Count(); ++i) keys.push_back(styles.KeyAt(i));
  EXPECT_EQ(keys, (std::vector<std::string_view>{"a", "b", "b", "b", "c", "li 110ul "}));
  EXPECT_EQ(styles.NextContextual(0), 5u);
  EXPECT_EQ(styles.NextContextual(5), 5u);
}

TEST(StyleList, ZIndexIsOnlyGivenByDeclarations) {
  TStyledDocument document;
  document.AddRule("div", {{"z-index", "3"}});
  document.AddRule("#x", {{"color", "red"}});
  EXPECT_EQ(document.Push("div", {}, "x").GetZIndex(), 3);
}

}  // namespace
}  // namespace corvane
