// LINK elements: linked style sheets are fetched and read into the document's style list.
#include <filesystem>
#include <fstream>

#include "builder/document_builder.h"
#include "html/attribute_list.h"
#include "html/style_hookup.h"
#include "html/url_functions.h"
#include "layout/section_list.h"

namespace corvane {

namespace {

// Linked sheets are read only from regular files of at most this size, so that a name pointing at a
// device or a FIFO never blocks the viewer.
constexpr std::uintmax_t kMaxLinkedSheetBytes = std::uintmax_t{8} << 20;

std::optional<std::string> ReadRegularFile(const std::string& path) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (error || !std::filesystem::is_regular_file(status)) return std::nullopt;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error || size > kMaxLinkedSheetBytes) return std::nullopt;
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(size), '\0');
  file.read(bytes.data(), static_cast<std::streamsize>(size));
  bytes.resize(static_cast<std::size_t>(file.gcount()));
  return bytes;
}

std::string WithCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 32);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

}  // namespace

void THtmlBuilder::StyleSheetLink() {
  const TAttributeList& attributes = Attributes();
  auto text = [&attributes](TagSymbol symbol) {
    const TAttribute* attribute = attributes.Find(symbol);
    return attribute ? attribute->Text : std::string();
  };
  const std::string rel = text(TagSymbol::SymRel), rev = text(TagSymbol::SymRev);
  const std::string href = std::string(TrimmedView(text(TagSymbol::SymHref)));
  std::string lowerRel = rel;
  for (char& c : lowerRel) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);

  if (lowerRel == "stylesheet" && !href.empty()) {
    auto expandFile = [this](const std::string& name) {
      if (m_handlers.ExpandFileName) return m_handlers.ExpandFileName(name);
      const std::string path = UrlToFilePath(name);
      if (!path.empty() && path[0] == '/') return path;
      if (IsFullUrl(name)) return std::string();
      return UrlToFilePath(UrlBase(m_handlers.BaseAddress)) + path;
    };
    try {
      std::optional<std::string> bytes;
      std::string address;
      if (m_handlers.StreamRequest) {
        address = href;
        if (m_handlers.ExpandName) address = m_handlers.ExpandName(href);
        bytes = m_handlers.StreamRequest(address);
        if (!bytes && !m_handlers.ExpandName) {
          address = expandFile(href);
          if (!address.empty()) bytes = ReadRegularFile(address);
        }
      } else {
        address = expandFile(href);
        if (!address.empty()) bytes = ReadRegularFile(address);
      }
      if (bytes && !bytes->empty())
        ParseLinkedStyleSheet(m_document.Styles, WithCrLf(*bytes),
                              address.find("://") != std::string::npos ? address : address);
    } catch (const std::exception&) {
      // A sheet that cannot be fetched or read leaves the document as it was.
    }
  }
  if (m_handlers.Link) m_handlers.Link(rel, rev, href);
  NextToken();
}

}  // namespace corvane
