#include "html/url_functions.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

struct TPairCase {
  std::string A, B, Expected;
};

TEST(UrlFunctionsTest, CombineUrl) {
  const TPairCase cases[] = {
      {"http://server/x/y.htm", "z.htm", "http://server/x/z.htm"},
      {"http://server/x/y.htm", "/z.htm", "http://server/z.htm"},
      {"http://server/x/y/", "../z.htm", "http://server/x/z.htm"},
      {"http://server/x/y.htm", "//other/z", "http://other/z"},
      {"http://server", "z.htm", "http://server/z.htm"},
      {"http://server", "/z.htm", "http://server/z.htm"},
      {" http://server/a/b/c/ ", " ../../d/./e.htm ", "http://server/a/d/e.htm"},
      {"http://server/a/", "../../../x", "http://server/x"},
      {"file:///home/u/doc.htm", "img/a.gif", "file:///home/u/img/a.gif"},
      {"file:///home/u/doc.htm", "/etc/x", "file:///etc/x"},
      {"file:///doc.htm", "a.gif", "file:///a.gif"},
      {"file:///home/u/", "//srv/share", "file://///srv/share"},
      {"/site/page.htm", "a.htm", "/site/a.htm"},
      {"folder", "a.htm", "folder/a.htm"},
  };
  for (const TPairCase& c : cases) EXPECT_EQ(CombineUrl(c.A, c.B), c.Expected) << c.A << " + " << c.B;
}

TEST(UrlFunctionsTest, UrlBaseAndScheme) {
  const std::pair<std::string, std::string> bases[] = {
      {"http://server", "http://server/"},
      {"http://server/c/d.css?x=1", "http://server/c/"},
      {" http://server/c/ ", "http://server/c/"},
      {"http://server/c?x=/y/", "http://server/"},
      {"css/a.css", "css/"},
      {"/a.css", "/a.css/"},
  };
  for (const auto& [url, base] : bases) EXPECT_EQ(UrlBase(url), base) << url;

  const std::pair<std::string, std::string> schemes[] = {
      {"HTTPS://x/y", "https"}, {"/x", "http"},   {"http:x", "http"},   {"MailTo:a@b", "mailto"},
      {"x.htm", ""},            {"a?b=c://d", ""}, {"file:///x", "file"},
  };
  for (const auto& [url, scheme] : schemes) EXPECT_EQ(UrlScheme(url), scheme) << url;

  EXPECT_TRUE(IsFullUrl("http://x/y"));
  EXPECT_TRUE(IsFullUrl("x:mailto:y"));
  EXPECT_FALSE(IsFullUrl("a/b://c"));
  EXPECT_FALSE(IsFullUrl("a?q=http://b"));
  EXPECT_FALSE(IsFullUrl("x.htm"));
}

TEST(UrlFunctionsTest, FilePaths) {
  const std::pair<std::string, std::string> paths[] = {
      {"file:///home/u/My%20Dir/a.htm", "/home/u/My Dir/a.htm"},
      {"FILE:///tmp/a%2541.htm", "/tmp/a%41.htm"},
      {"file:/tmp/a.htm", "/tmp/a.htm"},
      {"file://host/share/a.htm", "//host/share/a.htm"},
      {"/tmp/a%zz%20b", "/tmp/a%zz%20b"},  // decoding stops at the first escape that is not one
      {"/tmp/a%00b", "/tmp/a%00b"},
      {"%41b", "%41b"},
      {"a%4", "a%4"},
      {"c|/x.htm", "c|/x.htm"},
  };
  for (const auto& [url, path] : paths) EXPECT_EQ(UrlToFilePath(url), path) << url;

  EXPECT_EQ(RootedPath("/docs/a.htm", "/srv/www/"), "/srv/www/docs/a.htm");
  EXPECT_EQ(RootedPath(" file:///docs/a.htm ", "/srv/www"), "/srv/www/docs/a.htm");
  EXPECT_EQ(RootedPath("//host/a.htm", "/srv/www"), "//host/a.htm");
  EXPECT_EQ(RootedPath("docs/a.htm", "/srv/www"), "docs/a.htm");
  EXPECT_EQ(RootedPath("/docs/a.htm", ""), "/docs/a.htm");
}

TEST(UrlFunctionsTest, StyleUrls) {
  const TPairCase cases[] = {
      {"url(a.gif)", "http://server/css/", "url(http://server/css/a.gif)"},
      {"url( '../a.gif' )", "http://server/css/", "url(http://server/a.gif)"},
      {"url(\"http://other/a.gif\")", "http://server/css/", "url(http://other/a.gif)"},
      {"url(img/a%20b.gif)", "/home/u/css/", "url(/home/u/css/img/a b.gif)"},
      {"url(file:///tmp/a.gif)", "/home/u/css", "url(/tmp/a.gif)"},
      {"url(http://other/a.gif)", "/home/u/css/", "url(http://other/a.gif)"},
  };
  for (const TPairCase& c : cases) EXPECT_EQ(StyleUrl(c.A, c.B), c.Expected) << c.A << " in " << c.B;
  EXPECT_EQ(UrlFromValue("x url('a b') y"), "a b");
  EXPECT_EQ(UrlFromValue("url(a"), "a");
}

}  // namespace
}  // namespace corvane
