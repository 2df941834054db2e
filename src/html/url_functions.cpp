#include "html/url_functions.h"

#include <algorithm>

#include "html/attribute_list.h"

namespace corvane {

namespace {

constexpr std::size_t npos = std::string::npos;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Lowered(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), Lower);
  return lower;
}

std::size_t FindIgnoreCase(std::string_view text, std::string_view what) {
  return Lowered(text).find(what);  // what is lower case
}

bool StartsIgnoreCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && Lowered(text.substr(0, prefix.size())) == prefix;
}

std::string_view WithoutQuery(std::string_view url) { return url.substr(0, url.find('?')); }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The "/" that ends the root of an address: the "/" that begins the path of "file:///path" (file paths
// are rooted at "/"), the first "/" after the host of "scheme://host" (hostOnly when there is none, so that
// the address ends with its host), otherwise the first "/" of the text.
std::size_t RootEnd(std::string_view url, bool& hostOnly) {
  hostOnly = false;
  if (StartsIgnoreCase(url, "file:///")) return 7;
  if (const std::size_t scheme = url.find("://"); scheme != npos) {
    const std::size_t slash = url.find('/', scheme + 3);
    if (slash != npos) return slash;
    hostOnly = true;
    return scheme + 2;
  }
  return url.find('/');
}

void RemoveDotSegments(std::string& url, std::size_t root) {
  for (std::size_t at; (at = url.find("/../")) != npos;) {
    if (at > root) {
      const std::size_t segment = url.rfind('/', at - 1);
      if (segment == npos) break;
      url.erase(segment + 1, at + 4 - (segment + 1));
    } else {
      url.erase(at + 1, 3);
    }
  }
  for (std::size_t at = 0; (at = url.find("/./", at)) != npos;) url.erase(at + 1, 2);
}

}  // namespace

std::string UrlBase(std::string_view url) {
  const std::string base(WithoutQuery(TrimmedView(url)));
  const std::size_t scheme = base.find("//");
  std::size_t slash = base.rfind('/');
  if (scheme != npos ? (slash != npos && slash <= scheme + 1) : slash == 0) slash = npos;
  if (slash == npos) return base + "/";
  return base.substr(0, slash + 1);
}

std::string UrlScheme(std::string_view url) {
  const std::string_view address = WithoutQuery(url);
  if (const std::size_t scheme = address.find("://"); scheme != npos) return Lowered(address.substr(0, scheme));
  if (address.starts_with('/') || StartsIgnoreCase(address, "http:")) return "http";
  if (StartsIgnoreCase(address, "mailto:")) return "mailto";
  return {};
}

bool IsFullUrl(std::string_view url) {
  const std::string_view address = WithoutQuery(url);
  const std::size_t scheme = address.find("://");
  if (scheme != npos && address.find('/') > scheme) return true;
  return FindIgnoreCase(address, "mailto:") != npos;
}

std::string CombineUrl(std::string_view baseText, std::string_view relativeText) {
  std::string base(TrimmedView(baseText));
  const std::string scheme = UrlScheme(base);
  bool hostOnly = false;
  std::size_t root = RootEnd(base, hostOnly);
  if (root == npos || hostOnly) {
    // No path at all: the base is its own folder.
    base += '/';
    root = base.size() - 1;
  } else if (!base.ends_with('/')) {
    base.erase(base.rfind('/') + 1);  // the folder of the document the base names
  }

  const std::string relative(TrimmedView(relativeText));
  std::string url;
  if (relative.starts_with("//")) {
    url = scheme == "file" ? "file:///" + relative : scheme + ":" + relative;
    root = RootEnd(url, hostOnly);
    if (root == npos) root = url.size();
  } else if (relative.starts_with('/')) {
    url = base.substr(0, root + 1) + relative.substr(1);
  } else {
    url = base + relative;
  }
  RemoveDotSegments(url, root);
  return url;
}

std::string UrlToFilePath(std::string_view url) {
  std::string path(url);
  // "%" escapes after the first character, up to the first that is not one. "%00" is not taken: a NUL
  // would cut the path short where the file system reads it.
  for (std::size_t i = 1; i < path.size(); ++i) {
    if (path[i] != '%') continue;
    if (i + 2 >= path.size()) break;
    const int high = HexValue(path[i + 1]), low = HexValue(path[i + 2]);
    if (high < 0 || low < 0 || (high == 0 && low == 0)) break;
    path.replace(i, 3, 1, static_cast<char>(high * 16 + low));
  }
  if (path.find('/') != npos) {
    // The scheme goes; the path keeps its own root "/" ("file://host/x" keeps "//host/x").
    if (const std::size_t at = FindIgnoreCase(path, "file:///"); at != npos)
      path.erase(at, 7);
    else if (const std::size_t at2 = FindIgnoreCase(path, "file:/"); at2 != npos)
      path.erase(at2, 5);
  }
  return path;
}

std::string RootedPath(std::string_view name, std::string_view serverRoot) {
  std::string path(TrimmedView(UrlToFilePath(name)));
  if (!serverRoot.empty() && path.starts_with('/') && !path.starts_with("//")) {
    std::string_view root = serverRoot;
    while (root.ends_with('/')) root.remove_suffix(1);
    path.insert(0, root);
  }
  return path;
}

std::string UrlFromValue(std::string_view value) {
  const std::size_t open = FindIgnoreCase(value, "url(");
  if (open == npos) return {};
  std::string_view inner = value.substr(open + 4);
  inner = TrimmedView(inner.substr(0, inner.find(')')));
  if (inner.size() >= 2 && (inner.front() == '"' || inner.front() == '\'') && inner.back() == inner.front())
    inner = inner.substr(1, inner.size() - 2);
  return std::string(inner);
}

std::string StyleUrl(std::string_view value, std::string_view base) {
  std::string address = UrlFromValue(value);
  if (base.find("://") != npos) {
    if (!IsFullUrl(address)) address = CombineUrl(base, address);
  } else if (!IsFullUrl(address) || UrlScheme(address) == "file") {
    // A style sheet read from a file: its addresses are file paths, relative ones under its folder.
    address = UrlToFilePath(address);
    if (!address.starts_with('/') && !base.empty())
      address = std::string(base) + (base.ends_with('/') ? "" : "/") + address;
  }
  return "url(" + address + ")";
}

}  // namespace corvane
