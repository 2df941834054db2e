// Feeds arbitrary bytes through the HTML reader the way the document builders use it: a scan-only pass,
// then every token with the raw-content readers, include, script and style handlers, charset
// declarations, ids, image-map areas and the address functions on what the attributes hold. The first
// byte picks the document's code page. Besides crashes it traps on tokens whose source indices are out
// of order or outside the text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "html/html_reader.h"
#include "html/id_name_list.h"
#include "html/image_map.h"
#include "html/url_functions.h"
#include "html/url_target.h"

namespace {

using corvane::TagSymbol;

constexpr int kCodePages[] = {corvane::kCodePageSystem, corvane::kCodePageUtf8, corvane::kCodePageWindows1252,
                              corvane::kCodePageShiftJis, 936, 949, 950, corvane::kCodePageIso8859_2, 12345};

class TDiscardedLines : public corvane::TTextAreaContent {
 public:
  void AddLine(const QString& line) override { m_size += line.size(); }
  void ContentComplete() override {}

 private:
  qsizetype m_size = 0;
};

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

void CheckToken(const corvane::THtmlReader& reader, std::size_t textSize) {
  const corvane::TokenObj& token = reader.Token();
  Check(token.Chars().size() == token.Indices().size());
  int previous = 0;
  for (int index : token.Indices()) {
    Check(index >= previous && static_cast<std::size_t>(index) <= textSize);
    previous = index;
  }
  Check(token.S().size() == token.Count());
}

std::string Included(const std::string& command) {
  if (command == "a") return "<b title='&amp;'>in</b>";
  if (command == "again") return "x<!--#again--><!--#again-->";
  if (command == "nul") return std::string("a\0<!--#a-->b", 12);
  if (command == "open") return "<!-- open";
  return {};
}

void ReadAll(corvane::THtmlReader& reader, std::size_t textSize) {
  TDiscardedLines textArea;
  corvane::TMapItem map("m");
  try {
    for (reader.Start(); reader.Symbol() != TagSymbol::SymEof; reader.NextToken()) {
      CheckToken(reader, textSize);
      const corvane::TAttributeList& attributes = reader.Attributes();
      switch (reader.Symbol()) {
        case TagSymbol::SymMeta: reader.HandleMetaCharset(attributes); break;
        case TagSymbol::SymFont: (void)reader.FontCharset(attributes); break;
        case TagSymbol::SymArea: map.AddArea(attributes); break;
        case TagSymbol::SymA:
        case TagSymbol::SymLink:
          if (const corvane::TAttribute* href = attributes.Find(TagSymbol::SymHref)) {
            corvane::TUrlTarget target;
            target.Assign(href->Text, "", reader.Position(), &attributes);
            (void)corvane::CombineUrl(corvane::UrlBase(href->Text), href->Text);
            (void)corvane::RootedPath(href->Text, "/srv");
            (void)corvane::StyleUrl(href->Text, "http://server/css/");
            (void)corvane::StyleUrl(href->Text, "/home/u/");
            (void)corvane::IsFullUrl(href->Text);
          }
          break;
        default: break;
      }
      (void)attributes.ClassName();
      (void)attributes.Id();
      reader.ReadRawContent(&textArea);
    }
  } catch (const corvane::THtmlParseError&) {
  }
  for (int y = 0; y < 40; y += 7)
    for (int x = 0; x < 40; x += 7) (void)map.FindArea(x, y);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int codePage = kCodePages[data[0] % std::size(kCodePages)];
  std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

  corvane::TIDNameList ids;
  corvane::THtmlReader reader(text, codePage);
  const std::size_t textSize = reader.Text().size();
  reader.SetIdList(&ids);

  // The link pre-scan, as the builder does it: no handlers, nothing collected.
  reader.SetScanOnly(true);
  ReadAll(reader, textSize);
  reader.SetScanOnly(false);
  reader.Rewind();

  corvane::THtmlReaderHandlers handlers;
  // A handler that includes itself twice over is stopped by the reader's limits; the unit tests cover
  // those, here a few hundred calls per input keep the runs short.
  int includes = 0;
  handlers.Include = [&includes](const std::string& command, std::vector<std::string>) {
    return ++includes > 300 ? std::string() : Included(command);
  };
  std::size_t scriptBytes = 0;
  handlers.Script = [&scriptBytes](const std::string&, const std::string&, const std::string& script) {
    scriptBytes += script.size();
  };
  handlers.Style = [](char current, const std::function<char()>& next) {
    // Like the style sheet parser: up to the next "<" or the end.
    char c = current;
    do c = next();
    while (c != '\0' && c != '<');
    return c;
  };
  handlers.Progress = [](corvane::TProgressStage, int percent) { Check(percent >= 0 && percent <= 75); };
  handlers.ProgressScale = 75;
  reader.SetHandlers(handlers);
  ReadAll(reader, textSize);
  return 0;
}
