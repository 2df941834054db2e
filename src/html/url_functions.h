#pragma once

#include <string>
#include <string_view>

namespace corvane {

// Addresses and paths for style sheets, links and file names. All work on 8-bit text; paths are POSIX
// paths with "/" as the separator.

// The base address of a document or style sheet: trimmed, without its query, up to and including its last
// "/" after the "//" of a scheme; 'http://server' gives 'http://server/'.
std::string UrlBase(std::string_view url);
// The lower-case scheme: the text before "://"; "http" for an address starting with "/" or "http:";
// "mailto" for a mail address; otherwise "".
std::string UrlScheme(std::string_view url);
// Whether the address stands on its own: a scheme with "://" and no "/" before it, or a mail address.
bool IsFullUrl(std::string_view url);
// The address of relative resolved against base. The base names a document or a folder: a relative
// address resolves against its folder ('http://server/x/y.htm' with 'z.htm' gives 'http://server/x/z.htm').
// "/x" is taken from the root of the base, "//host/x" keeps only its scheme; "../" and "./" segments are
// removed.
std::string CombineUrl(std::string_view base, std::string_view relative);
// The file path of a file address: "%" escapes decoded and the "file:" scheme removed, so that
// 'file:///home/u/My%20Dir/a.htm' gives '/home/u/My Dir/a.htm'. Other text is taken as a path already.
std::string UrlToFilePath(std::string_view url);
// UrlToFilePath, trimmed; a path from the root ("/x", not "//host/x") is put under serverRoot when one is
// given.
std::string RootedPath(std::string_view name, std::string_view serverRoot);
// The address in a style value: the text between "url(" and the next ")", trimmed, one pair of surrounding
// quotes removed; "" when there is no "url(".
std::string UrlFromValue(std::string_view value);
// A style value's url(...) resolved against the base address of the style sheet, as "url(" address ")":
// against a folder (a base without "://") a relative path is put after it; against an address, any address
// that does not stand on its own goes through CombineUrl.
std::string StyleUrl(std::string_view value, std::string_view base);

}  // namespace corvane
