// Measures the cascade: 100,000 elements opened and closed on a property stack against a style sheet of
// 500 rules (tags, classes, tags with classes, ids, pseudo-classes and contextual rules), then the fonts
// of all of them. The element stream is random with a fixed seed; the best of five runs is reported.
//
//   corvane_style_bench [--elements N] [--rules N]
#include <QGuiApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "style/prop_stack.h"
#include "style/style_list.h"

namespace {

using Clock = std::chrono::steady_clock;
using corvane::TElementIdentity;
using corvane::TProperties;
using corvane::TPropStack;
using corvane::TStyleList;

const std::vector<std::string> kTags = {"div", "p",    "span", "td", "tr",  "table", "ul",   "li",
                                        "a",   "b",    "i",    "h1", "h2",  "h3",    "em",   "strong",
                                        "code", "pre", "font", "big", "small", "center", "form", "dd"};

const char* const kDeclarations[][2] = {
    {"color", "#336699"},     {"margin-top", "4px"},        {"font-size", "1.1em"},   {"padding-left", "2%"},
    {"font-weight", "bold"},  {"background-color", "ivory"}, {"text-align", "center"}, {"border-style", "solid"},
    {"font-family", "Arial"}, {"line-height", "1.4"},       {"font-style", "italic"}, {"width", "50%"},
};

std::string ClassName(int n) {
  std::string name = "c";
  name.append(std::to_string(n));
  return name;
}

std::string Joined(std::initializer_list<std::string_view> pieces) {
  std::string text;
  for (std::string_view piece : pieces) text.append(piece);
  return text;
}

// Rules on distinct keys: every tag, then classes, tags with classes, ids, tags with ":hover" and
// contextual selectors (one or two ancestors, some with a child combinator), in that proportion.
void AddStyleSheet(TStyleList& styles, int ruleCount, std::mt19937& random) {
  auto declare = [&](const std::string& key) {
    const int count = 1 + static_cast<int>(random() % 3);
    for (int i = 0; i < count; ++i) {
      const auto& declaration = kDeclarations[random() % std::size(kDeclarations)];
      styles.AddDeclaration(key, declaration[0], declaration[1]);
    }
  };
  const int tagCount = static_cast<int>(kTags.size());
  std::vector<std::string> keys;
  for (const std::string& tag : kTags) keys.push_back(tag);
  for (int n = 0; n < 200; ++n) keys.push_back(Joined({".", ClassName(n)}));
  for (int n = 0; n < 150; ++n) keys.push_back(Joined({kTags[static_cast<std::size_t>(n % tagCount)], ".", ClassName(n)}));
  for (int n = 0; n < 30; ++n) keys.push_back(Joined({"#id", std::to_string(n)}));
  for (const std::string& tag : kTags) keys.push_back(Joined({tag, ":hover"}));
  for (int n = 0; static_cast<int>(keys.size()) < ruleCount; ++n) {
    const std::string& tag = kTags[random() % kTags.size()];
    const std::string& parent = kTags[random() % kTags.size()];
    if (n % 3 == 0) {
      keys.push_back(Joined({tag, " 2", styles.NextContextNumber(), parent, " ", kTags[random() % kTags.size()], " "}));
    } else {
      keys.push_back(Joined({tag, " 1", styles.NextContextNumber(), parent, n % 3 == 1 ? "> " : " "}));
    }
  }
  keys.resize(static_cast<std::size_t>(ruleCount));
  for (const std::string& key : keys) declare(key);
}

struct TElement {
  std::string Tag;
  std::string Class;
  std::string Id;
  std::string Pseudo;
  bool Inline = false;
  bool Pop = false;  // close an open element instead
  int PopDepth = 0;  // how far below the top the closed element lies
};

std::vector<TElement> ElementStream(int elementCount, std::mt19937& random) {
  std::vector<TElement> stream;
  int depth = 0;
  int pushed = 0;
  while (pushed < elementCount) {
    if (depth > 0 && (depth >= 14 || random() % 100 < 45)) {
      TElement pop;
      pop.Pop = true;
      // Mostly the innermost element; now and then one further down, as with badly nested tags.
      pop.PopDepth = random() % 20 == 0 ? static_cast<int>(random() % static_cast<unsigned>(depth)) : 0;
      stream.push_back(pop);
      --depth;
      continue;
    }
    TElement element;
    element.Tag = kTags[random() % kTags.size()];
    const unsigned classes = random() % 100;
    if (classes >= 40) element.Class = ClassName(static_cast<int>(random() % 200));
    if (classes >= 85) {
      std::string other = ClassName(static_cast<int>(random() % 200));
      element.Class = Joined({std::min(element.Class, other), ".", std::max(element.Class, other)});
    }
    if (random() % 100 < 3) element.Id = Joined({"id", std::to_string(random() % 50)});
    if (element.Tag == "a" && random() % 2 == 0) element.Pseudo = "link";
    element.Inline = random() % 100 < 5;
    stream.push_back(element);
    ++depth;
    ++pushed;
  }
  return stream;
}

struct TRun {
  double CascadeMs = 0;
  double FontsMs = 0;
};

TRun RunOnce(const TStyleList& styles, const std::vector<TElement>& stream, const TProperties& inlineStyle) {
  TRun run;
  TPropStack stack(styles);
  std::vector<std::string> openTags;
  const Clock::time_point start = Clock::now();
  for (const TElement& element : stream) {
    if (element.Pop) {
      const std::size_t at = openTags.size() - 1 - static_cast<std::size_t>(element.PopDepth);
      stack.PopProperties(openTags[at]);
      openTags.erase(openTags.begin() + static_cast<std::ptrdiff_t>(at));
      continue;
    }
    stack.PushProperties(TElementIdentity{element.Tag, element.Class, element.Id, element.Pseudo, {},
                                          element.Inline ? &inlineStyle : nullptr});
    openTags.push_back(element.Tag);
  }
  run.CascadeMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();

  // The fonts that text sections ask for: one per element, on a fresh walk of the same stream.
  TPropStack fontStack(styles);
  openTags.clear();
  std::size_t checksum = 0;
  const Clock::time_point fontsStart = Clock::now();
  for (const TElement& element : stream) {
    if (element.Pop) {
      const std::size_t at = openTags.size() - 1 - static_cast<std::size_t>(element.PopDepth);
      fontStack.PopProperties(openTags[at]);
      openTags.erase(openTags.begin() + static_cast<std::ptrdiff_t>(at));
      continue;
    }
    TProperties& top = fontStack.PushProperties(TElementIdentity{element.Tag, element.Class, element.Id,
                                                                 element.Pseudo, {},
                                                                 element.Inline ? &inlineStyle : nullptr});
    checksum += static_cast<std::size_t>(top.MakeFont()->TextHeight());
    openTags.push_back(element.Tag);
  }
  run.FontsMs = std::chrono::duration<double, std::milli>(Clock::now() - fontsStart).count() - run.CascadeMs;
  if (checksum == 0) std::fprintf(stderr, "no fonts measured\n");
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  int elementCount = 100'000;
  int ruleCount = 500;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--elements") {
      elementCount = std::stoi(argv[i + 1]);
    } else if (option == "--rules") {
      ruleCount = std::stoi(argv[i + 1]);
    } else {
      std::fprintf(stderr, "usage: corvane_style_bench [--elements N] [--rules N]\n");
      return 2;
    }
  }
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);

  std::mt19937 random(20240611);
  TStyleList styles(96.0);
  styles.LoadDefaults({});
  AddStyleSheet(styles, ruleCount, random);
  const std::vector<TElement> stream = ElementStream(elementCount, random);
  TProperties inlineStyle(styles.Context());
  inlineStyle.SetDeclarationByName("color", "red");
  inlineStyle.SetDeclarationByName("margin-left", "1em");

  TRun best{1e300, 1e300};
  for (int attempt = 0; attempt < 5; ++attempt) {
    const TRun run = RunOnce(styles, stream, inlineStyle);
    best.CascadeMs = std::min(best.CascadeMs, run.CascadeMs);
    best.FontsMs = std::min(best.FontsMs, run.FontsMs);
  }
  std::printf("style sheet: %d rules (%zu with the built-in ones)\n", ruleCount, styles.Count());
  std::printf("cascade: %d elements pushed and closed in %.1f ms (%.2f us per element)\n", elementCount,
              best.CascadeMs, best.CascadeMs * 1000.0 / elementCount);
  std::printf("fonts: MakeFont on every element adds %.1f ms\n", best.FontsMs);
  return 0;
}
