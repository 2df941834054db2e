#include "extract/input_read_ahead.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "extract/byte_file.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

class InputReadAheadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("corvane-read-ahead-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "out");
  }
  void TearDown() override { fs::remove_all(dir); }

  std::string Write(const std::string& name, const std::string& bytes) {
    const fs::path path = dir / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }

  fs::path dir;
};

TEST_F(InputReadAheadTest, OnlySmallRegularPagesAreReadAhead) {
  struct Case {
    std::string path;
    bool read;
    std::string bytes;
  };
  const std::string small = Write("small.html", "<table><tr><td>a</td></tr></table>");
  const std::string htm = Write("short.htm", "x");
  const std::string limit = Write("limit.html", std::string(100, 'y'));
  const std::string large = Write("large.html", std::string(101, 'z'));
  const std::string empty = Write("empty.html", "");
  const std::string other = Write("page.txt", "<table>");
  const std::string link = (dir / "link.html").string();
  fs::create_symlink(small, link);
  const std::string fifo = (dir / "fifo.html").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  fs::create_directory(dir / "folder.html");
  const std::vector<Case> cases = {
      {small, true, "<table><tr><td>a</td></tr></table>"},
      {(dir / "gone.html").string(), false, ""},
      {htm, true, "x"},
      {limit, true, std::string(100, 'y')},
      {large, false, ""},
      {empty, false, ""},  // its size says nothing: the job reads it
      {other, false, ""},  // not a page's name: it might be an output of the job
      {link, false, ""},   // a link might lead to an output of the job
      {fifo, false, ""},   // never blocks
      {(dir / "folder.html").string(), false, ""},
      {small, true, "<table><tr><td>a</td></tr></table>"},  // listed twice: read twice
  };
  std::vector<std::string> paths;
  for (const Case& c : cases) paths.push_back(c.path);
  TInputReadAhead ahead(paths, 100, 1 << 20);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const std::optional<TReadAheadInput> input = ahead.Take(c.path);
    ASSERT_EQ(input.has_value(), c.read);
    if (!c.read) continue;
    EXPECT_EQ(input->path, c.path);
    EXPECT_EQ(input->bytes, c.bytes);
    TFileIdentity identity;
    ASSERT_TRUE(FileIdentityOf(c.path, identity));
    EXPECT_TRUE(input->identity == identity);
    EXPECT_FALSE(input->output.IsOpen()) << "no output folder was given";
  }
  EXPECT_FALSE(ahead.Take(small).has_value()) << "past the end of the list";
}

TEST_F(InputReadAheadTest, AFileOutOfOrderEndsTheReadingAhead) {
  std::vector<std::string> paths;
  for (int k = 0; k < 50; ++k) paths.push_back(Write("p" + std::to_string(k) + ".html", std::to_string(k)));
  // A queue smaller than the list: the reader waits for room, and still ends when asked to.
  TInputReadAhead ahead(paths, 1000, 4);
  ASSERT_TRUE(ahead.Take(paths[0]).has_value());
  EXPECT_EQ(ahead.Take(paths[1])->bytes, "1");
  EXPECT_FALSE(ahead.Take(paths[3]).has_value()) << "paths[2] was skipped";
  EXPECT_FALSE(ahead.Take(paths[4]).has_value()) << "the reading has ended";
}

TEST_F(InputReadAheadTest, UnreadFilesAreDroppedWhenTheJobEnds) {
  std::vector<std::string> paths;
  for (int k = 0; k < 300; ++k) paths.push_back(Write("p" + std::to_string(k) + ".html", std::string(64, 'a')));
  {
    TInputReadAhead ahead(paths, 1000, 1024, (dir / "out").string());
    EXPECT_TRUE(ahead.Take(paths[0]).has_value());
  }  // the reader, waiting for room, ends with the rest unread
  EXPECT_TRUE(fs::is_empty(dir / "out")) << "unnamed files made ahead leave nothing behind";
}

TEST_F(InputReadAheadTest, OutputsMadeAheadAreNamedInTheirFolderOnly) {
  const std::string page = Write("a.html", "<table><tr><td>a</td></tr></table>");
  const std::string folder = (dir / "out").string();
  const std::vector<std::string> paths = {page, page};
  TInputReadAhead ahead(paths, 1000, 1 << 20, folder);
  std::optional<TReadAheadInput> first = ahead.Take(page);
  ASSERT_TRUE(first.has_value());
  if (!first->output.IsOpen()) GTEST_SKIP() << "no unnamed files on this file system";
  EXPECT_EQ(first->output.Folder(), folder);

  struct Case {
    std::string target;
    bool used;
  };
  std::optional<TReadAheadInput> second = ahead.Take(page);
  ASSERT_TRUE(second.has_value());
  const std::vector<Case> cases = {
      {(dir / "elsewhere.xls").string(), false},  // another folder: the spare stays for later
      {folder + "/a.html.xls", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    TOutputFile output;
    std::error_code error;
    ASSERT_TRUE(output.Open(c.target, TOutputMode::Replace, error, &first->output));
    EXPECT_EQ(first->output.IsOpen(), !c.used);
    output.Write("\"a\"\r\n");
    output.Commit();
    std::ifstream in(c.target, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "\"a\"\r\n");
  }
  second.reset();  // its unused output goes with it
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"a.html.xls"});
}

}  // namespace
}  // namespace corvane
