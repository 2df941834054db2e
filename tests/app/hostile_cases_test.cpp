// End-to-end tests of the program met as a hostile or an unlucky user meets it: outputs of `convert` and
// `render` never damage files that are not theirs, whatever stands at the target and whatever stops the
// run, and failures end with a reason and a status, never an abort.
#include <gtest/gtest.h>
#include <signal.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <utility>

#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

using corvane::test::ReadFile;

struct TResult {
  int Status = -1;
  std::string Err;
};

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::vector<std::string> FileNames(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

constexpr std::string_view kTable = "<table><tr><td>a</td><td>b</td></tr></table>";

class HostileCasesTest : public ::testing::Test {
 protected:
  // prefix: shell commands before the program's, such as a limit on file sizes.
  TResult Run(const std::vector<std::string>& args, const std::string& prefix = "") {
    std::string command = prefix + Quote(CORVANE_EXECUTABLE);
    for (const std::string& arg : args) command += " " + Quote(arg);
    command += " >/dev/null 2>" + Quote((dir / "stderr").string());
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(dir / "stderr")};
  }

  // What a path is, without following a link: its type, and a link's target or a file's bytes.
  static std::string Describe(const fs::path& path) {
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0) return "missing";
    if (S_ISLNK(info.st_mode)) return "link to " + fs::read_symlink(path).string();
    if (S_ISCHR(info.st_mode)) return "device " + std::to_string(major(info.st_rdev)) + "," + std::to_string(minor(info.st_rdev));
    if (S_ISFIFO(info.st_mode)) return "fifo";
    if (S_ISDIR(info.st_mode)) return "folder";
    return "file " + ReadFile(path);
  }

  // Things no output may replace, made in this test's own folder: a device node (when the test may make
  // one), a FIFO, a folder, and symbolic links to nothing, to a file and to a folder.
  std::vector<fs::path> Unreplaceable() {
    std::vector<fs::path> targets;
    const fs::path device = dir / "device";
    if (::mknod(device.c_str(), S_IFCHR | 0600, makedev(1, 7)) == 0) targets.push_back(device);
    const fs::path fifo = dir / "fifo";
    EXPECT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    targets.push_back(fifo);
    fs::create_directory(dir / "folder");
    targets.push_back(dir / "folder");
    fs::create_symlink(dir / "nothing", dir / "dangling");
    targets.push_back(dir / "dangling");
    temp.Write("file", "earlier");
    fs::create_symlink(dir / "file", dir / "to-file");
    targets.push_back(dir / "to-file");
    fs::create_symlink(dir / "folder", dir / "to-folder");
    targets.push_back(dir / "to-folder");
    return targets;
  }

  static std::string Reason(const fs::path& target) {
    const std::string name = target.filename().string();
    if (name == "folder") return "Is a directory";
    if (name == "device" || name == "fifo") return "not a regular file";
    return "a symbolic link";
  }

  corvane::test::TTempDir temp;
  const fs::path& dir = temp.Path();
};

TEST_F(HostileCasesTest, XlsxWorkbookTargetMustBeARegularFileOrMissing) {
  const std::string page = temp.Write("p.html", std::string(kTable));
  for (const fs::path& target : Unreplaceable()) {
    SCOPED_TRACE(target.string());
    const std::string before = Describe(target);
    const TResult r = Run({"convert", "--format", "xlsx", "-a", target.string(), page});
    EXPECT_EQ(r.Status, 2);
    EXPECT_EQ(r.Err, "corvane: cannot write the workbook to " + target.string() + ": " + Reason(target) + "\n");
    EXPECT_EQ(Describe(target), before);
  }
  EXPECT_EQ(ReadFile(dir / "file"), "earlier");
  // A regular file or nothing is written.
  for (const std::string name : {"file", "new.xlsx"}) {
    const TResult r = Run({"convert", "-q", "--format", "xlsx", "-a", (dir / name).string(), page});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(ReadFile(dir / name).substr(0, 2), "PK");
  }
}

// A page whose picture takes a while to write: tall, wide and plain.
std::string TallPage(int pixels) { return "<div style=\"height:" + std::to_string(pixels) + "px\">x</div>"; }

// The start of a PNG file.
constexpr std::string_view kPngSignature = "\x89PNG\r\n\x1a\n";

TEST_F(HostileCasesTest, RenderReplacesOnlyRegularFilesThatAreNotItsInput) {
  const std::string page = temp.Write("p.html", "<p>x");
  for (const fs::path& target : Unreplaceable()) {
    SCOPED_TRACE(target.string());
    const std::string before = Describe(target);
    const TResult r = Run({"render", page, "-o", target.string()});
    EXPECT_EQ(r.Status, 2);
    EXPECT_EQ(r.Err, "corvane: cannot write " + target.string() + ": " + Reason(target) + "\n");
    EXPECT_EQ(Describe(target), before);
  }
  // The page itself, by any path: as given, through "..", through a hard link.
  fs::create_hard_link(page, dir / "hard.html");
  for (const std::string& target : {page, (dir / "folder" / ".." / "p.html").string(), (dir / "hard.html").string()}) {
    SCOPED_TRACE(target);
    const TResult r = Run({"render", page, "-o", target});
    EXPECT_EQ(r.Status, 2);
    EXPECT_EQ(r.Err, "corvane: cannot write " + target + ": it is the input file " + page + "\n");
    EXPECT_EQ(ReadFile(page), "<p>x");
  }
  // A regular file is replaced by the picture.
  const TResult r = Run({"render", page, "-o", (dir / "file").string()});
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(ReadFile(dir / "file").substr(0, 8), kPngSignature);
}

// A picture that cannot be written whole leaves the earlier one as it was, and nothing else.
TEST_F(HostileCasesTest, RenderThatFailsToWriteKeepsTheEarlierPicture) {
  const std::string page = temp.Write("tall.html", TallPage(20000));
  fs::create_directory(dir / "out");
  const std::string target = temp.Write("out/t.png", "earlier");
  // The shell ignores the signal of a file grown past the limit, so the write fails with EFBIG.
  const TResult r = Run({"render", page, "-o", target, "--width", "2000"}, "trap '' XFSZ; ulimit -f 16; ");
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Err, "corvane: cannot write " + target + ": File too large\n");
  EXPECT_EQ(ReadFile(target), "earlier");
  EXPECT_EQ(FileNames(dir / "out"), std::vector<std::string>{"t.png"});
}

// The width and height in a PNG file's header.
std::pair<int, int> PngSize(const std::string& png) {
  auto number = [&](std::size_t at) {
    int value = 0;
    for (std::size_t i = at; i < at + 4 && i < png.size(); ++i) value = value << 8 | static_cast<unsigned char>(png[i]);
    return value;
  };
  return {number(16), number(20)};
}

// A page taller than --max-height is cut there with a note; one no taller is whole and says nothing.
TEST_F(HostileCasesTest, RenderCutsThePictureAtTheMaximumHeight) {
  const std::string page = temp.Write("tall.html", "<body style=\"margin:0\">" + TallPage(5000));
  const std::string picture = (dir / "t.png").string();
  const struct {
    std::vector<std::string> Extra;
    int Height;
    std::string Err;
  } cases[] = {
      {{"--max-height", "1000"}, 1000, "corvane: " + page + " is 5000 px high; the picture is cut at 1000 px\n"},
      {{"--max-height=1"}, 1, "corvane: " + page + " is 5000 px high; the picture is cut at 1 px\n"},
      {{"--max-height", "5000"}, 5000, ""},
      {{}, 5000, ""},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"render", page, "-o", picture, "--width", "300"};
    args.insert(args.end(), c.Extra.begin(), c.Extra.end());
    const TResult r = Run(args);
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.Err, c.Err);
    EXPECT_EQ(PngSize(ReadFile(picture)), std::make_pair(300, c.Height));
  }
}

std::string ManyRows(int rows) {
  std::string table = "<table>";
  for (int row = 0; row < rows; ++row) table += "<tr><td>row " + std::to_string(row) + "</td><td>cell</td></tr>\n";
  return table + "</table>";
}

// The grid of a picture's table holds at most ten million places: spans past them are cut, with a note,
// and the picture is drawn.
TEST_F(HostileCasesTest, RenderCutsSpansPastTheGridOfAPicture) {
  std::string rows;
  for (int row = 0; row < 11000; ++row) rows += "<tr><td colspan=1000>x<td>y\n";
  const std::string page = temp.Write("spans.html", "<table>" + rows + "</table>");
  const std::string picture = (dir / "t.png").string();
  const TResult r = Run({"render", page, "-o", picture, "--max-height", "500"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_TRUE(r.Err.starts_with("corvane: " + page + ": spans of a table were cut where its grid would pass 10000000 places\n"))
      << r.Err;
  EXPECT_EQ(PngSize(ReadFile(picture)).second, 500);
}

// A table row of more cells than any picture or PDF can show keeps the first ten thousand, with a note
// for each kind of output; both are drawn.
TEST_F(HostileCasesTest, RenderOfAWideRowKeepsItsFirstColumns) {
  std::string cells;
  for (int cell = 0; cell < 30000; ++cell) cells += "<td>x</td>";
  const std::string page = temp.Write("wide.html", "<table><tr>" + cells + "</table>");
  const struct {
    std::string Output;
    std::string Err;
  } cases[] = {
      {"t.png", "corvane: " + page + " has a table of more than 10000 columns; the picture shows its first 10000\n"},
      {"t.pdf", "corvane: " + page + " has a table of more than 10000 columns; the PDF shows its first 10000\n"},
  };
  for (const auto& c : cases) {
    const std::string output = (dir / c.Output).string();
    const TResult r = Run({"render", page, "-o", output});
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.Err, c.Err);
    EXPECT_FALSE(ReadFile(output).empty());
  }
}

// A page of megabytes far taller than the cut is built only as far as reaches the picture: the note says
// how high that part is, half as high again as the cut or more; the page is higher still.
TEST_F(HostileCasesTest, RenderOfALongPageBuildsOnlyWhatReachesThePicture) {
  const std::string page = temp.Write("long.html", "<body style=\"margin:0\">" + ManyRows(100000));
  const std::string picture = (dir / "t.png").string();
  const TResult r = Run({"render", page, "-o", picture, "--width", "300", "--max-height", "1000"});
  EXPECT_EQ(r.Status, 0);
  const std::string start = "corvane: " + page + " is more than ";
  const std::string end = " px high; the picture is cut at 1000 px\n";
  ASSERT_TRUE(r.Err.starts_with(start) && r.Err.ends_with(end)) << r.Err;
  EXPECT_GT(std::stoi(r.Err.substr(start.size())), 1500);
  EXPECT_EQ(PngSize(ReadFile(picture)), std::make_pair(300, 1000));
}

// The pages of a PDF as its page objects count them.
int PdfPages(const std::string& pdf) {
  int pages = 0;
  for (std::size_t at = pdf.find("/Type /Page"); at != std::string::npos; at = pdf.find("/Type /Page", at + 1))
    if (pdf.compare(at + 11, 1, "s") != 0) ++pages;
  return pages;
}

// The text of a PDF as pdftotext reads it; empty when pdftotext is not installed.
std::string PdfText(const std::string& pdf) {
  std::string text;
  if (FILE* pipe = ::popen(("pdftotext " + Quote(pdf) + " - 2>/dev/null").c_str(), "r")) {
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
    ::pclose(pipe);
  }
  return text;
}

// The text without the page footers ("page N of M"), which count the pages of each file.
std::string WithoutFooters(const std::string& text) {
  std::string body;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    if (text.compare(at, 5, "page ") != 0) body.append(text, at, end - at).append(end < text.size() ? "\n" : "");
    at = end + 1;
  }
  return body;
}

// A PDF of more pages than --max-pages (1000 by default) is cut after that page, with a note, having built
// only as much of the page as reaches it; a page that fits gives the PDF it gives without a limit.
TEST_F(HostileCasesTest, RenderPdfIsCutAfterTheMaximumPages) {
  const std::string longPage = temp.Write("long.html", ManyRows(100000));  // some 2,300 pages
  const std::string page = temp.Write("page.html", ManyRows(20000));      // 600 KB in some 460 pages
  const std::string shortPage = temp.Write("short.html", ManyRows(100));
  const std::string pdf = (dir / "t.pdf").string();
  // The pages and the text of the shorter pages without a limit; the long page's rows begin as the
  // 600 KB page's do.
  std::map<std::string, std::pair<int, std::string>> unbounded;
  for (const std::string& name : {page, shortPage}) {
    const std::string whole = (dir / "whole.pdf").string();
    const TResult r = Run({"render", name, "-o", whole, "--max-pages", "0"});
    ASSERT_EQ(r.Status, 0);
    EXPECT_EQ(r.Err, "");
    unbounded[name] = {PdfPages(ReadFile(whole)), PdfText(whole)};
  }
  unbounded[longPage] = unbounded[page];
  const struct {
    std::string Page;
    std::vector<std::string> Extra;
    int Pages;  // 0: as many as without a limit
    std::string Err;
  } cases[] = {
      {longPage, {"--max-pages", "3"}, 3, "corvane: " + longPage + " needs more than 3 pages; the PDF is cut after page 3\n"},
      {longPage, {"--max-pages=1"}, 1, "corvane: " + longPage + " needs more than 1 pages; the PDF is cut after page 1\n"},
      {longPage, {}, 1000, "corvane: " + longPage + " needs more than 1000 pages; the PDF is cut after page 1000\n"},
      {page, {}, 0, ""},
      {page, {"--max-pages", "1000"}, 0, ""},
      {shortPage, {"--max-pages", "3"}, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Page + " " + (c.Extra.empty() ? "" : c.Extra[0]));
    std::vector<std::string> args = {"render", c.Page, "-o", pdf};
    args.insert(args.end(), c.Extra.begin(), c.Extra.end());
    const TResult r = Run(args);
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.Err, c.Err);
    const auto& [wholePages, wholeText] = unbounded[c.Page];
    EXPECT_EQ(PdfPages(ReadFile(pdf)), c.Pages > 0 ? c.Pages : wholePages);
    const std::string text = PdfText(pdf);
    if (c.Pages == 0) {
      EXPECT_EQ(text, wholeText);
      continue;
    }
    if (text.empty()) continue;  // no pdftotext
    // The pages kept are the first pages of the whole page; their footers count the pages kept.
    const std::string body = WithoutFooters(text);
    const std::string wholeBody = WithoutFooters(wholeText);
    // The pages that both hold whole: all of the cut PDF's, or the unbounded one's but its last (each page
    // ends with a form feed).
    const std::size_t common = body.size() <= wholeBody.size() ? body.size() : wholeBody.rfind('\f', wholeBody.size() - 2);
    ASSERT_NE(common, std::string::npos);
    EXPECT_GT(common, 200u);
    EXPECT_EQ(body.substr(0, common), wholeBody.substr(0, common));
    const std::string last = "page " + std::to_string(c.Pages) + " of " + std::to_string(c.Pages) + "\n";
    EXPECT_NE(text.find(last), std::string::npos) << last;
  }
}

// Under `ulimit -f` a write past the limit fails (the signal it sends is ignored): the run fails and is
// undone as on a full disk, in every format and for render, and the earlier output stays whole.
TEST_F(HostileCasesTest, AFileSizeLimitFailsTheRunAndKeepsEarlierOutputs) {
  const std::string page = temp.Write("big.html", ManyRows(20000));
  const fs::path out = dir / "out";
  fs::create_directory(out);
  const std::string limit = "ulimit -f 32; ";
  for (const std::string format : {"xls", "csv", "xlsx"}) {
    SCOPED_TRACE(format);
    const std::string perFile = temp.Write("out/big.html." + format, "earlier");
    const TResult written = Run({"convert", "-q", "--format", format, "-o", out.string(), page}, limit);
    EXPECT_EQ(written.Status, 1);
    EXPECT_EQ(written.Err, "corvane: Cannot write to " + perFile + ": File too large\n");
    EXPECT_EQ(ReadFile(perFile), "earlier");

    const std::string appended = temp.Write("out/all." + format, "earlier");
    const TResult append = Run({"convert", "-q", "--format", format, "-a", appended, page}, limit);
    EXPECT_EQ(append.Status, 1);
    EXPECT_EQ(append.Err, (format == "xlsx" ? "corvane: Cannot write " : "corvane: Cannot write to ") + appended +
                              ": File too large\n");
    EXPECT_EQ(ReadFile(appended), "earlier");
  }
  const std::string picture = temp.Write("out/t.png", "earlier");
  const TResult render = Run({"render", temp.Write("tall.html", TallPage(20000)), "-o", picture, "--width", "2000"}, limit);
  EXPECT_EQ(render.Status, 1);
  EXPECT_EQ(render.Err, "corvane: cannot write " + picture + ": File too large\n");
  EXPECT_EQ(ReadFile(picture), "earlier");
  EXPECT_EQ(FileNames(out), (std::vector<std::string>{"all.csv", "all.xls", "all.xlsx", "big.html.csv", "big.html.xls",
                                                      "big.html.xlsx", "t.png"}));
}

// A replaced output keeps the permission bits, owner and group of the file it replaces; a new one gets
// those of a new file.
TEST_F(HostileCasesTest, ReplacedOutputsKeepTheirModeAndOwner) {
  const std::string page = temp.Write("p.html", std::string(kTable));
  const fs::path out = dir / "out";
  fs::create_directory(out);
  const bool root = ::geteuid() == 0;
  struct TCase {
    std::vector<std::string> Args;
    std::string Target;
  } const cases[] = {
      {{"convert", "-q", "-o", out.string(), page}, "p.html.xls"},
      {{"convert", "-q", "--format", "csv", "-o", out.string(), page}, "p.html.csv"},
      {{"convert", "-q", "--format", "xlsx", "-o", out.string(), page}, "p.html.xlsx"},
      {{"convert", "-q", "--format", "xlsx", "-a", (out / "all.xlsx").string(), page}, "all.xlsx"},
      {{"render", page, "-o", (out / "p.png").string()}, "p.png"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Target);
    const fs::path target = out / c.Target;
    temp.Write("out/" + c.Target, "earlier");
    ASSERT_EQ(::chmod(target.c_str(), 0604), 0);
    if (root) {
      ASSERT_EQ(::chown(target.c_str(), 1234, 5678), 0);
    }
    const TResult r = Run(c.Args);
    EXPECT_EQ(r.Status, 0) << r.Err;
    struct stat info;
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_NE(ReadFile(target), "earlier");
    EXPECT_EQ(info.st_mode & 07777, 0604u);
    if (root) {
      EXPECT_EQ(std::make_pair(info.st_uid, info.st_gid), std::make_pair(1234u, 5678u));
    }
    // A new output: the process's own, with the mode a new file gets.
    fs::remove(target);
    EXPECT_EQ(Run(c.Args).Status, 0);
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(info.st_mode & 07777, 0666u & ~mask);
    EXPECT_EQ(info.st_uid, ::geteuid());
  }
}

// A page whose table grid outgrows the memory there is: render says so and fails, as convert does,
// rather than aborting.
TEST_F(HostileCasesTest, RenderOutOfMemoryIsAFailureWithAReason) {
  std::string page = "<table>";
  // Each row ends with a cell, so that the columns the spans reach stay in the grid.
  for (int row = 0; row < 20000; ++row) page += "<tr><td colspan=30000>x</td><td>y</td></tr>";
  const std::string file = temp.Write("spans.html", page + "</table>");
  const std::string picture = temp.Write("t.png", "earlier");
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer's operator new reports running out of memory instead of throwing";
#endif
  // The grid of a picture's table is bounded, so that this page takes about 400 MB; a render of a small
  // page fits in 200 MB.
  const std::string limit = "ulimit -v 300000; ";
  const TResult r = Run({"render", file, "-o", picture}, limit);
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Err, "corvane: not enough memory to render " + file + "\n");
  EXPECT_TRUE(ReadFile(picture) == "earlier");
}

// True once the process has a file of folder open: render writes its picture there.
bool WritesInto(pid_t process, const fs::path& folder) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(process) + "/fd", error)) {
    const fs::path link = fs::read_symlink(entry.path(), error);
    if (!error && link.string().rfind(folder.string() + "/", 0) == 0) return true;
  }
  return false;
}

TEST_F(HostileCasesTest, RenderStoppedBySignalsLeavesNoPartialPicture) {
  const std::string page = temp.Write("tall.html", TallPage(30000));
  // A PDF has as many pages as the page has lines: this one some hundreds.
  std::string lines;
  for (int i = 0; i < 20000; ++i) lines += "<p>line " + std::to_string(i) + "\n";
  const std::string longPage = temp.Write("long.html", lines);
  const fs::path out = dir / "out";
  fs::create_directory(out);
  for (const char* name : {"t.png", "t.pdf"}) {
    for (const int signal : {SIGINT, SIGTERM}) {
      SCOPED_TRACE(std::string(name) + " " + std::to_string(signal));
      const std::string target = temp.Write(std::string("out/") + name, "earlier");
      const std::string errPath = (dir / "stderr").string();
      const bool pdf = fs::path(name).extension() == ".pdf";
      const pid_t child = ::fork();
      if (child == 0) {
        if (!std::freopen(errPath.c_str(), "w", stderr)) ::_exit(127);
        if (pdf) {
          ::execl(CORVANE_EXECUTABLE, CORVANE_EXECUTABLE, "render", longPage.c_str(), "-o", target.c_str(),
                  static_cast<char*>(nullptr));
        } else {
          ::execl(CORVANE_EXECUTABLE, CORVANE_EXECUTABLE, "render", page.c_str(), "-o", target.c_str(), "--width",
                  "2000", static_cast<char*>(nullptr));
        }
        ::_exit(127);
      }
      bool writing = false;
      for (int wait = 0; wait < 6000 && !(writing = WritesInto(child, out)); ++wait) ::usleep(5000);
      EXPECT_TRUE(writing) << "the file was never begun";
      ::kill(child, signal);
      int status = 0;
      ::waitpid(child, &status, 0);
      ASSERT_TRUE(WIFEXITED(status));
      EXPECT_EQ(WEXITSTATUS(status), 128 + signal);
      EXPECT_EQ(ReadFile(errPath), signal == SIGINT ? "corvane: render stopped: interrupted\n"
                                                    : "corvane: render stopped: terminated\n");
      EXPECT_EQ(ReadFile(target), "earlier");
      EXPECT_EQ(FileNames(out), std::vector<std::string>{name}) << "no partial file";
      fs::remove(target);
    }
  }
}

// A display that does not answer, or a platform plugin that does not exist: the window and `view` say
// that the display cannot be opened, with what was asked for, and end with status 2.
TEST_F(HostileCasesTest, ADisplayThatCannotBeOpenedIsAUsageError) {
  const std::string page = temp.Write("p.html", "<p>x");
  const std::string hint =
      "To convert without a window: corvane convert (-o DIR | -a FILE) PATH...\nSee 'corvane convert --help'.\n";
  struct TCase {
    std::string Environment;
    std::string Asked;
  } const cases[] = {
      {"env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:97 ", "DISPLAY=:97"},
      {"env -u WAYLAND_DISPLAY -u DISPLAY QT_QPA_PLATFORM=no-such-platform ", "QT_QPA_PLATFORM=no-such-platform"},
  };
  for (const TCase& c : cases) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{}, {page}, {"view", page}}) {
      SCOPED_TRACE(c.Asked + (args.empty() ? "" : " " + args[0]));
      const TResult r = Run(args, c.Environment);
      EXPECT_EQ(r.Status, 2);
      EXPECT_EQ(r.Err, "corvane: the display cannot be opened (" + c.Asked + ")\n" + hint);
    }
  }
}

// `view` names what stands at a path that is not a page; a missing file is still not located.
TEST_F(HostileCasesTest, ViewSaysWhatAPathThatIsNotAPageIs) {
  const fs::path fifo = dir / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const struct {
    std::string Path;
    std::string Message;
  } cases[] = {
      {fifo.string(), "cannot show " + fifo.string() + ": not a regular file"},
      {dir.string(), "cannot show " + dir.string() + ": Is a directory"},
      {(dir / "none.html").string(), "Can't locate file: " + (dir / "none.html").string()},
  };
  for (const auto& c : cases) {
    const TResult r = Run({"view", c.Path}, "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ");
    EXPECT_EQ(r.Status, 1) << c.Path;
    EXPECT_EQ(r.Err, "corvane: " + c.Message + "\n");
  }
}

// While one job appends to a file, another job's runs that would append to it fail at once, saying why,
// and the file keeps what it held: the first job's undoing never takes the second's rows with it.
TEST_F(HostileCasesTest, AFileBeingAppendedToIsNotAppendedToByASecondJob) {
  const std::string page = temp.Write("p.html", std::string(kTable));
  for (const std::string format : {"xls", "csv"}) {
    SCOPED_TRACE(format);
    const std::string target = temp.Write("all." + format, "earlier");
    const int held = ::open(target.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);  // the first job, in the middle of a run
    const TResult second = Run({"convert", "-q", "--format", format, "-a", target, page});
    EXPECT_EQ(second.Status, 1);
    EXPECT_EQ(second.Err, "corvane: Cannot open " + target + " for appending: another job is appending to it\n");
    EXPECT_EQ(ReadFile(target), "earlier");
    ::close(held);
    // Once the first job's run is over, appending works again.
    EXPECT_EQ(Run({"convert", "-q", "--format", format, "-a", target, page}).Status, 0);
    EXPECT_NE(ReadFile(target), "earlier");
  }
}

// A job stopped in the middle of a file names that file among those not converted, first.
TEST_F(HostileCasesTest, AStoppedJobNamesTheFileItWasConverting) {
  const std::string first = temp.Write("a.html", ManyRows(200000));
  const std::string later = temp.Write("b.html", ManyRows(2));
  const fs::path out = dir / "out";
  const std::string errPath = (dir / "stderr").string();
  const pid_t child = ::fork();
  if (child == 0) {
    if (!std::freopen(errPath.c_str(), "w", stderr) || !std::freopen("/dev/null", "w", stdout)) ::_exit(127);
    ::execl(CORVANE_EXECUTABLE, CORVANE_EXECUTABLE, "convert", "--format", "csv", "-o", out.c_str(), first.c_str(),
            later.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  // The run has begun once its unnamed output is open.
  bool writing = false;
  for (int wait = 0; wait < 6000 && !(writing = WritesInto(child, out)); ++wait) ::usleep(2000);
  EXPECT_TRUE(writing);
  ::kill(child, SIGINT);
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  EXPECT_EQ(ReadFile(errPath), "corvane: stopped: interrupted\ncorvane: not converted: " + first +
                                   "\ncorvane: not converted: " + later + "\n");
  EXPECT_EQ(FileNames(out), std::vector<std::string>{});
}

}  // namespace
