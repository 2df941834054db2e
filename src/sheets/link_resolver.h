#pragma once

#include <QString>
#include <QUrl>

#include <string>

namespace corvane {

// The absolute address of a link's HREF (spaces at its ends and tabs and line breaks in it dropped, as
// browsers do), when it is a web, mail or file address.
QString ResolveLink(const QUrl& base, const std::string& href);

// Most links of a page are plain: an absolute web address in lower case, or a path relative to the
// page's folder, of characters an address keeps as they are and without "." or ".." segments. Their
// absolute address is known without parsing them, which costs far more than the rest of a link cell.
class TLinkResolver {
 public:
  // Every table of a page has the same base: a thread parses it once, however many tables it reads.
  explicit TLinkResolver(const std::string& base);
  bool Empty() const { return m_empty; }
  QString Resolve(const std::string& href) const;

 private:
  QUrl m_base;
  std::u16string m_folder;  // the base's folder, ending in "/"; empty when it has none
  bool m_empty = true;      // no base: links are not read
};

}  // namespace corvane
