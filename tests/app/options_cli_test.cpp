// End-to-end: every command of the real executable reads --name=VALUE, -xVALUE and "--" alike.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

const fs::path kData = CORVANE_TEST_DATA_DIR;

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

class OptionsCliTest : public ::testing::Test {
 protected:
  struct TResult {
    int status = -1;
    std::string out;
    std::string err;
  };

  // Runs the program in the test's folder, so that the arguments may name its files as they are.
  TResult Run(const std::vector<std::string>& args, const std::string& environment = "") {
    std::string command = "cd " + Quote(dir.string()) + " && " + environment + Quote(CORVANE_EXECUTABLE);
    for (const std::string& arg : args) command += " " + Quote(arg);
    command += " >" + Quote((dir / ".stdout").string()) + " 2>" + Quote((dir / ".stderr").string());
    const int raw = std::system(command.c_str());
    TResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = corvane::test::ReadFile(dir / ".stdout");
    result.err = corvane::test::ReadFile(dir / ".stderr");
    return result;
  }

  corvane::test::TTempDir temp;
  const fs::path& dir = temp.Path();
};

TEST_F(OptionsCliTest, RenderTakesItsOutputInEveryForm) {
  fs::copy_file(kData / "one-table.html", dir / "p.html");
  fs::copy_file(kData / "one-table.html", dir / "-p.html");
  const std::vector<std::string> forms[] = {
      {"render", "--output=y.png", "p.html"},
      {"render", "-o", "y.png", "--", "p.html"},
      {"render", "-oy.png", "--width=200", "p.html"},
      {"render", "--output", "y.png", "--", "-p.html"},
  };
  for (const std::vector<std::string>& args : forms) {
    fs::remove(dir / "y.png");
    const TResult r = Run(args);
    EXPECT_EQ(r.status, 0) << testing::PrintToString(args) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(corvane::test::ReadFile(dir / "y.png").substr(0, 4), "\x89PNG") << testing::PrintToString(args);
  }
}

TEST_F(OptionsCliTest, AFileNamedLikeAnOptionFollowsADoubleDash) {
  fs::copy_file(kData / "one-table.html", dir / "-t.html");
  const TResult convert = Run({"convert", "-qa", "-", "--format=csv", "--", "-t.html"});
  EXPECT_EQ(convert.status, 0) << convert.err;
  EXPECT_EQ(convert.out, "Name,Qty\r\nBolts,12\r\nNuts\xC2\xA0,7\r\n");

  // The view and the window take the name for a file: the one is missing, the other needs a display.
  const TResult view = Run({"view", "--", "-odd-name.html"});
  EXPECT_EQ(view.status, 1);
  EXPECT_EQ(view.err, "corvane: Can't locate file: -odd-name.html\n");
  const TResult window = Run({"--", "-t.html"}, "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ");
  EXPECT_EQ(window.status, 2);
  EXPECT_EQ(window.err.substr(0, window.err.find('\n')),
            "corvane: the window needs a display, and none is set (DISPLAY or WAYLAND_DISPLAY)");
}

TEST_F(OptionsCliTest, UsageErrorsAreAlikeInEveryCommand) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"render", "p.html", "--output"}, "option '--output' needs a value"},
      {{"render", "p.html", "--output=y.png", "--quiet"}, "unknown option '--quiet'"},
      {{"convert", "-q", "--append"}, "option '--append' needs a value"},
      {{"view", "--skin=dark", "--quiet", "p.html"}, "unknown option '--quiet'"},
      {{"a.html", "--skin=dark", "--links"}, "unknown option '--links'"},
  };
  for (const auto& [args, message] : cases) {
    const TResult r = Run(args);
    EXPECT_EQ(r.status, 2) << message;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "corvane: " + message + "\nTry 'corvane --help' for more information.\n");
  }
  EXPECT_FALSE(fs::exists(dir / "y.png"));
}

// The most threads the program had at once while it converted args (checked every half millisecond);
// its exit status in status.
int MostThreadsOfRun(const std::vector<std::string>& args, int& status) {
  std::vector<std::string> all = {CORVANE_EXECUTABLE};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : all) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const pid_t child = ::fork();
  if (child == 0) {
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  const fs::path tasks = "/proc/" + std::to_string(child) + "/task";
  int most = 0;
  int raw = 0;
  while (::waitpid(child, &raw, WNOHANG) == 0) {
    std::error_code error;
    int count = 0;
    for (auto entry = fs::directory_iterator(tasks, error); !error && entry != fs::directory_iterator();
         entry.increment(error))
      ++count;
    most = std::max(most, count);
    ::usleep(500);
  }
  status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return most;
}

TEST_F(OptionsCliTest, ThreadsBoundTheConversionsThreadsAndLeaveItsFilesAlike) {
  // A page large enough to be written beside its scan, and small ones read ahead.
  std::string large;
  for (int t = 0; large.size() < (std::size_t{3} << 20); ++t) {
    large += "<table><tr><th>n<th>t" + std::to_string(t) + "</tr>";
    for (int r = 0; r < 30; ++r) large += "<tr><td>" + std::to_string(r) + "<td><b>x</b> &amp; " + std::to_string(t) + "</tr>";
    large += "</table>\n";
  }
  temp.Write("large.html", large);
  for (int k = 0; k < 20; ++k) temp.Write("small" + std::to_string(k) + ".html", "<table><tr><td>" + std::to_string(k) + "</table>");
  struct TCase {
    std::vector<std::string> threads;
    int most;  // the most threads allowed; 0: the default, which starts one beside the job's
  };
  const TCase cases[] = {{{}, 0}, {{"--threads", "1"}, 1}, {{"--threads=2"}, 2}};
  std::map<std::string, std::string> expected;
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.threads));
    for (const std::string format : {"csv", "xls"}) {
      const fs::path out = dir / ("out-" + format + std::to_string(c.most));
      std::vector<std::string> args = {"convert", "-q", "--format", format, "-o", out.string()};
      args.insert(args.end(), c.threads.begin(), c.threads.end());
      args.push_back(dir.string());
      int status = -1;
      const int most = MostThreadsOfRun(args, status);
      EXPECT_EQ(status, 0);
      if (c.most > 0) {
        EXPECT_LE(most, c.most);
      } else if (std::thread::hardware_concurrency() >= 2) {
        EXPECT_GE(most, 2);
      }
      std::map<std::string, std::string> written;
      for (const auto& entry : fs::directory_iterator(out))
        written[format + "/" + entry.path().filename().string()] = corvane::test::ReadFile(entry.path());
      EXPECT_EQ(written.size(), 21U);
      for (const auto& [name, bytes] : written) {
        const auto [earlier, added] = expected.emplace(name, bytes);
        EXPECT_TRUE(added || earlier->second == bytes) << name;
      }
    }
  }
}

}  // namespace
