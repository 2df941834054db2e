#include "sheets/link_resolver.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <string_view>

namespace corvane {

namespace {

bool IsHrefSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

// Characters of an address by what its absolute form does with them, by byte: 0 parsing may change
// it, 1 written as it is, 2 "." and 3 "/" (written as they are, but a "." or ".." segment is not).
constexpr std::array<unsigned char, 256> kByteKind = [] {
  std::array<unsigned char, 256> kind{};
  for (int c = 'a'; c <= 'z'; ++c) kind[static_cast<std::size_t>(c)] = 1;
  for (int c = 'A'; c <= 'Z'; ++c) kind[static_cast<std::size_t>(c)] = 1;
  for (int c = '0'; c <= '9'; ++c) kind[static_cast<std::size_t>(c)] = 1;
  for (const char c : std::string_view("-_~:?#@!$&()*+,;=")) kind[static_cast<unsigned char>(c)] = 1;
  kind['.'] = 2;
  kind['/'] = 3;
  return kind;
}();

// Not empty, every character kept as it is, and no "." or ".." segment (no "/." nor "./"): one pass
// over the address, looking back only at a "." or a "/".
bool IsPlain(std::string_view text) {
  if (text.empty()) return false;
  unsigned char previous = 0;
  for (const char c : text) {
    const unsigned char kind = kByteKind[static_cast<unsigned char>(c)];
    if (kind == 1) {
      previous = 1;
      continue;
    }
    // "./" or "/.": one is 2, the other 3, and no other pair adds up to 5.
    if (kind == 0 || previous + kind == 5) return false;
    previous = kind;
  }
  return true;
}

// "http://host/..." (and https, ftp) with a host name in lower case, without user or port: labels of
// letters, digits and hyphens, a hyphen at neither end, the last beginning with a letter (a host of
// numbers is an IPv4 address, which parsing writes anew), none in punycode ("xn--"), which parsing
// checks. Where its path begins (its end when it has none); npos for any other address. The scheme
// and such a host hold no character IsPlain refuses, nor "/." or "./".
std::size_t PlainAbsolutePath(std::string_view text) {
  constexpr std::size_t kNot = std::string_view::npos;
  // Most addresses that are not absolute are told by their first letter.
  if (text.empty() || (text.front() != 'h' && text.front() != 'f')) return kNot;
  std::size_t authority = 0;
  using namespace std::string_view_literals;
  for (const std::string_view scheme : {"http://"sv, "https://"sv, "ftp://"sv})
    if (text.starts_with(scheme)) authority = scheme.size();
  if (authority == 0) return kNot;
  const std::size_t end = std::min(text.find_first_of("/?#", authority), text.size());
  if (end == authority) return kNot;
  for (std::size_t label = authority; label < end;) {
    const std::size_t labelEnd = std::min(text.find('.', label), end);
    const std::string_view name = text.substr(label, labelEnd - label);
    if (name.empty() || name.front() == '-' || name.back() == '-' || name.starts_with("xn--")) return kNot;
    for (const char c : name)
      if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-')) return kNot;
    if (labelEnd == end && !(name.front() >= 'a' && name.front() <= 'z')) return kNot;
    label = labelEnd + 1;
    if (labelEnd + 1 == end) return kNot;  // a host ending in "."
  }
  // A path is written as given; an address without one gets none.
  return end == text.size() || text[end] == '/' ? end : kNot;
}

}  // namespace

QString ResolveLink(const QUrl& base, const std::string& href) {
  QString text = QString::fromUtf8(href.data(), static_cast<qsizetype>(href.size())).trimmed();
  text.remove(u'\t').remove(u'\n').remove(u'\r');
  const QUrl url = base.resolved(QUrl(text));
  static const QStringList kSchemes = {"http", "https", "ftp", "mailto", "file"};
  if (!url.isValid() || !kSchemes.contains(url.scheme())) return {};
  return url.toString(QUrl::FullyEncoded);
}

TLinkResolver::TLinkResolver(const std::string& base) {
  thread_local std::string lastBase;
  thread_local QUrl lastUrl;
  thread_local std::u16string lastFolder;
  if (base != lastBase) {
    lastUrl = QUrl(QString::fromStdString(base));
    lastFolder.clear();
    if (!lastUrl.isEmpty()) {
      // The base's folder, as resolving a name in it gives it.
      const std::string named = ResolveLink(lastUrl, "x").toStdString();
      // An absolute address is ASCII: its folder is kept as the characters a link begins with.
      if (!named.empty() && named.back() == 'x') lastFolder.assign(named.begin(), named.end() - 1);
    }
    lastBase = base;
  }
  m_base = lastUrl;
  m_folder = lastFolder;
  m_empty = m_base.isEmpty();
}

QString TLinkResolver::Resolve(const std::string& href) const {
  std::string_view text = href;
  while (!text.empty() && IsHrefSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsHrefSpace(text.back())) text.remove_suffix(1);
  // An absolute address's host is checked on its own, what follows it by IsPlain.
  const std::size_t path = PlainAbsolutePath(text);
  if (path != std::string_view::npos && (path == text.size() || IsPlain(text.substr(path))))
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
  if (!IsPlain(text)) return ResolveLink(m_base, href);
  const char first = text.front();
  const std::size_t colon = text.find(':');
  const bool relative = first != '/' && first != '?' && first != '#' && first != '.' &&
                        (colon == std::string_view::npos || colon > text.find_first_of("/?#"));
  if (!relative || m_folder.empty()) return ResolveLink(m_base, href);
  // The folder and the name written straight into the address, without a buffer between them.
  QString link(static_cast<qsizetype>(m_folder.size() + text.size()), Qt::Uninitialized);
  char16_t* out = reinterpret_cast<char16_t*>(link.data());
  out = std::copy(m_folder.begin(), m_folder.end(), out);
  for (const char c : text) *out++ = static_cast<unsigned char>(c);
  return link;
}

}  // namespace corvane
