#include <QFontInfo>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "style/font_list.h"
#include "style/monospace_size.h"
#include "style_test_support.h"

namespace corvane {
namespace {

using testing::TStyledDocument;

TEST(FirstInstalledFont, ListsWithGenericNamesAndQuotes) {
  // The Liberation fonts stand in for the three common families through fontconfig's metric aliases.
  const std::vector<std::pair<const char*, std::optional<std::string>>> cases = {
      {"Foo, sans-serif", "Arial"},
      {"'Times New Roman'", "Times New Roman"},
      {"\"courier new\", monospace", "courier new"},
      {"Foo, , Arial", std::nullopt},
      {"serif", "Times New Roman"},
      {"MONOSPACE", "Courier New"},
      {"Helvetica, Foo", "Arial"},
      {"Arial Unicode MS, Arial", "Arial"},
      {"Liberation Sans", "Liberation Sans"},
      {"Georgia, Foo", std::nullopt},
      {"cursive", std::nullopt},
      {"", std::nullopt},
  };
  TInstalledFonts fonts;
  for (const auto& [list, expected] : cases) EXPECT_EQ(fonts.FirstInstalledFont(list), expected) << list;
}

TEST(FontFamilyIndex, SharedAnswersEqualFreshOnesOnEveryThread) {
  // Families, metric aliases and names that are nowhere, in both cases; each list asked twice, so that
  // the second answer comes from the document's memory of lists.
  const std::vector<std::string> lists = {
      "Times New Roman", "times new roman", "Arial", "ARIAL", "Courier New", "Helvetica, Foo",
      "Liberation Serif", "DejaVu Sans", "Georgia", "Segoe UI, Roboto, Arial", "Consolas, monospace",
      "Menlo", "'Lucida Console', serif", "Foo, , Arial", "", "Verdana, Tahoma, sans-serif",
  };
  std::vector<std::optional<std::string>> fresh;
  {
    TFontFamilyIndex index;
    TInstalledFonts fonts(index);
    for (const std::string& list : lists) fresh.push_back(fonts.FirstInstalledFont(list));
  }
  ASSERT_EQ(fresh[0], std::optional<std::string>("Times New Roman"));
  ASSERT_EQ(fresh[8], std::nullopt);

  // Four threads, each with a document's view of one new shared index, ask at the same time, from
  // different starting points so that they race on the same new families.
  TFontFamilyIndex shared;
  std::vector<std::vector<std::optional<std::string>>> answers(4);
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < answers.size(); ++t) {
    threads.emplace_back([&, t] {
      TInstalledFonts fonts(shared);
      std::vector<std::optional<std::string>>& out = answers[t];
      out.resize(lists.size());
      for (int round = 0; round < 2; ++round)
        for (std::size_t k = 0; k < lists.size(); ++k) {
          const std::size_t i = (k + t * 5) % lists.size();
          out[i] = fonts.FirstInstalledFont(lists[i]);
        }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (std::size_t t = 0; t < answers.size(); ++t)
    for (std::size_t i = 0; i < lists.size(); ++i) EXPECT_EQ(answers[t][i], fresh[i]) << t << " " << lists[i];

  // The process's index gives the same answers as a fresh one, family by family.
  TFontFamilyIndex another;
  for (const char* family : {"Times New Roman", "arial", "Georgia", "Courier New", "Segoe UI", "Liberation Mono"})
    EXPECT_EQ(TFontFamilyIndex::Process().IsInstalled(family), another.IsInstalled(family)) << family;
}

TEST(MonospaceFamily, TheGenericNameOrThePreformattedFontAlone) {
  struct TCase {
    const char* family;
    const char* preFontName;
    bool monospace;
  };
  const std::vector<TCase> cases = {
      {"monospace", "Courier New", true},        {" MonoSpace ", "Courier New", true},
      {"Courier New", "Courier New", true},      {"'courier new'", "Courier New", true},
      {"\"Courier New\"", "Courier New", true},  {"Consolas", "Consolas", true},
      {"Courier New", "Consolas", false},        {"\"monospace\"", "Courier New", false},
      {"monospace, serif", "Courier New", false}, {"Courier New, monospace", "Courier New", false},
      {"serif", "Courier New", false},           {"", "Courier New", false},
      {"", "", false},                           {"'", "Courier New", false},
  };
  for (const TCase& c : cases) EXPECT_EQ(IsMonospaceFamily(c.family, c.preFontName), c.monospace) << c.family;

}

TEST(FillFontInfo, DescriptionOfTheElementsFont) {
  struct TCase {
    std::vector<std::pair<std::string, std::string>> style;
    std::string name;
    TFontStyles styles;
  };
  const std::vector<TCase> cases = {
      {{}, "Times New Roman", {}},
      {{{"font-family", "Foo, Bar"}}, "Times New Roman", {}},
      {{{"font-family", "arial"}, {"font-weight", "600"}}, "arial", {true, false, false, false}},
      {{{"font-weight", "599"}, {"font-style", "oblique"}}, "Times New Roman", {false, true, false, false}},
      {{{"font-weight", "bolder"}, {"text-decoration", "line-through"}}, "Times New Roman", {true, false, false, true}},
      {{{"text-decoration", "underline"}}, "Times New Roman", {false, false, true, false}},
  };
  for (const TCase& c : cases) {
    TStyledDocument document;
    TProperties& set = document.Push("div", {}, {}, {}, document.InlineStyle(c.style));
    ThtFontInfo info;
    set.FillFontInfo(info);
    EXPECT_EQ(info.Name, c.name);
    EXPECT_EQ(info.Style, c.styles) << c.name;
    EXPECT_DOUBLE_EQ(info.Size, 12);
  }
}

TEST(MakeFont, SizesInPixelsAndTheEmSize) {
  TStyledDocument document;
  TProperties& set = document.Push("body");
  const std::unique_ptr<TMyFont> font = set.MakeFont();
  EXPECT_EQ(font->Height(), -16);
  EXPECT_EQ(font->Font().pixelSize(), 16);
  EXPECT_EQ(QFontInfo(font->Font()).family(), "Liberation Serif");
  EXPECT_EQ(set.EmSize(), 16);
  EXPECT_EQ(set.ExSize(), 8);
  EXPECT_GT(font->TextHeight(), font->Descent());
  // Later calls hand out copies of the one font.
  const TMyFont* cached = set.CachedFont();
  EXPECT_EQ(set.MakeFont()->TextHeight(), font->TextHeight());
  EXPECT_EQ(set.CachedFont(), cached);
  // A child's font is made when asked for, and the child's ex follows its em.
  TProperties& h1 = document.Push("h1");
  EXPECT_EQ(h1.EmSize(), 16);
  EXPECT_EQ(h1.MakeFont()->Height(), -32);
  EXPECT_TRUE(h1.MakeFont()->Font().bold());
  EXPECT_EQ(h1.EmSize(), 32);
}

TEST(MakeFont, LetterSpacingInPixels) {
  const std::vector<std::pair<const char*, int>> cases = {
      {"0.1em", 2}, {"normal", 0}, {"3px", 3}, {"0.5ex", 5}, {"1in", 96}, {"wide", 0}};
  for (const auto& [spacing, pixels] : cases) {
    TStyledDocument document;
    document.PushSized("div", "15pt");
    TProperties& span = document.Push("span", {}, {}, {}, document.InlineStyle({{"letter-spacing", spacing}}));
    const std::unique_ptr<TMyFont> font = span.MakeFont();
    ASSERT_EQ(span.EmSize(), 20);
    EXPECT_EQ(font->LetterSpacing(), pixels) << spacing;
    EXPECT_EQ(font->DrawingFont().letterSpacing(), pixels) << spacing;
  }
}

std::unique_ptr<TMyFont> FontOf(double size, bool italic) {
  ThtFontInfo info;
  info.Name = "Liberation Serif";
  info.Size = size;
  info.Style.Italic = italic;
  return std::make_unique<TMyFont>(info, 96.0);
}

TEST(FontObj, MetricsAndItalicOverhang) {
  TFontObj italic(nullptr, 0, FontOf(18, true));
  EXPECT_GE(italic.TextHeight(), 20);
  EXPECT_EQ(italic.Overhang(), italic.TextHeight() / 10);
  EXPECT_EQ(italic.LineHeight(), italic.Font().TextHeight() + italic.Font().ExternalLeading());
  TFontObj upright(nullptr, 0, FontOf(18, false));
  EXPECT_EQ(upright.Overhang(), 0);
  upright.ReplaceFont(FontOf(9, true));
  EXPECT_LT(upright.TextHeight(), italic.TextHeight());
  EXPECT_EQ(upright.Overhang(), upright.TextHeight() / 10);
}

TFontList RunsAt(std::vector<int> starts) {
  TFontList runs;
  for (int start : starts) runs.Add(std::make_unique<TFontObj>(nullptr, start, FontOf(12, false)));
  return runs;
}

TEST(FontList, RunLookups) {
  const TFontList runs = RunsAt({0, 5, 10});
  // {index, run number, characters to the next run or to length 20}
  const std::vector<std::tuple<int, int, int>> cases = {{0, 0, 5}, {4, 0, 1},  {5, 1, 5},
                                                        {7, 1, 3}, {10, 2, 10}, {25, 2, -5}};
  for (const auto& [index, number, count] : cases) {
    EXPECT_EQ(runs.GetFontObjAt(index).RunNumber, number) << index;
    EXPECT_EQ(runs.GetFontObjAt(index).Run, &runs[number]) << index;
    EXPECT_EQ(runs.GetFontAt(index).Font, &runs[number].Font()) << index;
    EXPECT_EQ(runs.GetFontCountAt(index, 20), count) << index;
  }
  EXPECT_EQ(TFontList().GetFontAt(3).Font, nullptr);
}

class TFakeProxy : public TFocusProxy {
 public:
  void SetRun(TFontObj& run) override { Run = &run; }
  TFontObj* Run = nullptr;
};

class TFakeDocument : public TLinkDocument {
 public:
  std::vector<TFontObj*>& LinkRuns() override { return Runs; }
  std::unique_ptr<TFocusProxy> MakeFocusProxy(TFontObj& run) override {
    auto proxy = std::make_unique<TFakeProxy>();
    proxy->SetRun(run);
    return proxy;
  }
  int TabOrderCount() const override { return static_cast<int>(TabOrder.size()); }
  void AddToTabOrder(int tabIndex, TFocusProxy&) override { TabOrder.push_back(std::to_string(tabIndex)); }
  void RemoveFromTabOrder(TFocusProxy&) override { Log.push_back("removed"); }
  void LinkFocused(TFontObj& run) override { Log.push_back("focused " + std::to_string(run.StartIndex())); }
  void RepaintLinks() override { Log.push_back("repaint"); }
  void FollowLink(const TRunTarget& target) override { Log.push_back("follow " + target.Url); }
  void ViewerKeyDown(int key) override { Log.push_back("key " + std::to_string(key)); }

  std::vector<TFontObj*> Runs;
  std::vector<std::string> TabOrder;
  std::vector<std::string> Log;
};

// Runs at the starts, with the link ids (0: no link); every link run joins the document's list.
TFontList LinkRuns(TFakeDocument& document, const std::vector<std::pair<int, int>>& runs) {
  TFontList list;
  for (const auto& [start, linkId] : runs) {
    auto run = std::make_unique<TFontObj>(nullptr, start, FontOf(12, false));
    run->EditRunTarget().LinkId = linkId;
    run->EditRunTarget().Url = linkId ? "u" + std::to_string(linkId) : "";
    if (linkId) {
      document.Runs.push_back(run.get());
      run->CreateFocusProxy(document, linkId == 1 ? 3 : 0);
    }
    list.Add(std::move(run));
  }
  return list;
}

TEST(FontList, OneFocusProxyPerLinkInTabOrder) {
  TFakeDocument document;
  TFontList runs = LinkRuns(document, {{0, 1}, {4, 1}, {6, 0}, {9, 2}});
  EXPECT_NE(runs[0].FocusProxy(), nullptr);
  EXPECT_EQ(runs[1].FocusProxy(), nullptr);
  EXPECT_NE(runs[3].FocusProxy(), nullptr);
  EXPECT_EQ(document.TabOrder, std::vector<std::string>{"3"});

  runs[1].SetLinkY(document.Runs, 40);
  EXPECT_EQ(runs[0].LinkY(), 40);
  runs[1].FocusEntered();
  runs[0].FocusEntered();
  EXPECT_TRUE(runs[0].Active() && runs[1].Active());
  EXPECT_FALSE(runs[3].Active());
  runs[0].KeyPressed(13);
  runs[0].KeyPressed(40);
  runs[0].FocusLeft();
  EXPECT_FALSE(runs[1].Active());
  EXPECT_EQ(document.Log, (std::vector<std::string>{"focused 0", "follow u1", "key 40", "repaint"}));
}

TEST(FontList, DecrementRemovesEmptyRunsAndHandsOverTheProxy) {
  TFakeDocument document;
  TFontList runs = LinkRuns(document, {{0, 0}, {3, 1}, {4, 1}, {8, 2}, {9, 3}});
  TFocusProxy* proxy = runs[1].FocusProxy();
  // Deleting the only character of the first run of link 1: the next run of the link takes its proxy.
  runs.Decrement(3, document);
  ASSERT_EQ(runs.Count(), 4);
  EXPECT_EQ(runs[1].StartIndex(), 3);
  EXPECT_EQ(runs[1].FocusProxy(), proxy);
  EXPECT_EQ(static_cast<TFakeProxy*>(proxy)->Run, &runs[1]);
  EXPECT_EQ(runs[2].StartIndex(), 7);
  EXPECT_EQ(document.Runs.size(), 3u);
  EXPECT_TRUE(document.Log.empty());
  // The only character of link 2, followed by link 3: its proxy leaves the tab order with it.
  runs.Decrement(7, document);
  ASSERT_EQ(runs.Count(), 3);
  EXPECT_EQ(runs[2].RunTarget().LinkId, 3);
  EXPECT_EQ(document.Log, std::vector<std::string>{"removed"});
  // Before every run: all move down.
  runs.Decrement(0, document);
  EXPECT_EQ(runs[1].StartIndex(), 2);
  EXPECT_EQ(runs[0].StartIndex(), 0);
}

std::vector<int> StartsOf(const TFontList& runs) {
  std::vector<int> starts;
  for (int i = 0; i < runs.Count(); ++i) starts.push_back(runs[i].StartIndex());
  return starts;
}

TEST(FontRunPool, BlocksGrowToTheirLargestAndSlotsAreUsedAgain) {
  // {runs alive at once, blocks made}: blocks of 8, 16, 32 ... 256 slots, then 256 each.
  const struct {
    int Runs;
    int Blocks;
  } cases[] = {{1, 1}, {8, 1}, {9, 2}, {24, 2}, {25, 3}, {504, 6}, {505, 7}, {760, 7}, {761, 8}};
  const std::unique_ptr<TMyFont> font = FontOf(12, false);
  for (const auto& c : cases) {
    TFontRunPool pool;
    std::vector<TFontObj*> made;
    {
      TFontList runs(&pool);
      for (int i = 0; i < c.Runs; ++i) made.push_back(&runs.Emplace(nullptr, i, *font));
      EXPECT_EQ(pool.BlockCount(), c.Blocks) << c.Runs;
      // Growing the list moved no run: the first ones are where they were made.
      EXPECT_EQ(&runs[0], made[0]) << c.Runs;
      EXPECT_EQ(runs[c.Runs - 1].StartIndex(), c.Runs - 1) << c.Runs;
    }
    // The list gave its runs back: as many again take no new block.
    TFontList again(&pool);
    for (int i = 0; i < c.Runs; ++i) again.Emplace(nullptr, i, *font);
    EXPECT_EQ(pool.BlockCount(), c.Blocks) << c.Runs;
  }
}

TEST(FontList, PooledRunsAreDeletedAndMadeAgainInTheirSlots) {
  // {starts of the runs made, characters deleted one after the other, starts left}
  const struct {
    std::vector<int> Starts;
    std::vector<int> Deleted;
    std::vector<int> Left;
  } cases[] = {
      {{0, 5, 10}, {}, {0, 5, 10}},
      {{0, 1, 4}, {0}, {0, 3}},
      {{0, 2, 3, 9}, {2, 1}, {0, 1, 7}},
      {{0, 1, 2, 3}, {0, 0, 0}, {0}},
      {{0, 3, 6}, {7, 6}, {0, 3, 6}},
  };
  const std::unique_ptr<TMyFont> font = FontOf(12, false);
  for (const bool pooled : {false, true}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(::testing::Message() << (pooled ? "pooled " : "heap ") << c.Starts.size() << " runs");
      TFontRunPool pool;
      TFakeDocument document;
      TFontList made(pooled ? &pool : nullptr);
      std::vector<TFontObj*> places;
      for (const int start : c.Starts) places.push_back(&made.Emplace(nullptr, start, *font));
      TFontList runs = std::move(made);
      EXPECT_EQ(made.Count(), 0);
      for (const int deleted : c.Deleted) runs.Decrement(deleted, document);
      EXPECT_EQ(StartsOf(runs), c.Left);
      // Runs made now take the slots of the deleted ones, not new ones.
      for (std::size_t i = c.Left.size(); pooled && i < c.Starts.size(); ++i) {
        TFontObj& run = runs.Emplace(nullptr, 100 + static_cast<int>(i), *font);
        EXPECT_NE(std::find(places.begin(), places.end(), &run), places.end());
      }
      runs.RemoveLast();
      EXPECT_EQ(runs.Count(), static_cast<int>(pooled ? c.Starts.size() : c.Left.size()) - 1);
    }
  }
}

TEST(FontObj, LinkLooksFollowVisitedAndHover) {
  TFakeDocument document;
  TFontList runs = LinkRuns(document, {{0, 1}, {2, 1}, {5, 2}});
  for (int i = 0; i < runs.Count(); ++i) {
    runs[i].MakeLinkFonts();
    TFontInfoArray& looks = *runs[i].LinkFonts();
    for (int look = 0; look < 4; ++look) {
      looks[look].Name = "Liberation Sans";
      looks[look].Size = 12;
      looks[look].Color = static_cast<TColor>(look + 1);
    }
    looks[TFontInfoArray::Hover].Size = 24;
  }
  runs[1].SetHoverForLink(document.Runs, true);
  EXPECT_TRUE(runs[0].Hover() && runs[1].Hover());
  EXPECT_FALSE(runs[2].Hover());
  EXPECT_EQ(runs[0].Font().Color(), 3u);
  EXPECT_EQ(runs[0].Font().Height(), -32);
  EXPECT_GT(runs[0].TextHeight(), runs[2].TextHeight());
  runs[0].SetVisited(true);
  EXPECT_EQ(runs[0].Font().Color(), 4u);
  runs[0].SetHover(false);
  EXPECT_EQ(runs[0].Font().Color(), 2u);

  const std::unique_ptr<TFontObj> copy = TFontObj::CreateCopy(nullptr, runs[0]);
  EXPECT_EQ(copy->Font().Color(), 1u);
  EXPECT_EQ(copy->RunTarget().Url, "u1");
  EXPECT_EQ(copy->LinkFonts(), nullptr);
  EXPECT_EQ(copy->FocusProxy(), nullptr);
}

}  // namespace
}  // namespace corvane
