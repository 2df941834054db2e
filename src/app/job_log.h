#pragma once

#include <QString>
#include <QTimer>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class QPlainTextEdit;
class QTemporaryFile;

namespace corvane {

// The job log as the main window shows it: every line goes to a temporary file, from which Save writes
// the complete log, while the text control shows only the last kShownLines lines under a first line
// that counts the others. The control is brought up to date at most every few tens of milliseconds.
class TJobLog {
 public:
  static constexpr int kShownLines = 10000;

  explicit TJobLog(QPlainTextEdit& control);
  ~TJobLog();
  TJobLog(const TJobLog&) = delete;
  TJobLog& operator=(const TJobLog&) = delete;

  void Clear();
  void Add(std::span<const std::string_view> lines);
  // Shows the lines added since the last call; whole: all of the kept tail, even while a job floods
  // the log (see Flooding).
  void Render(bool whole = false);
  // Writes the complete log to path; the reason when it could not, empty when it could.
  QString SaveTo(const QString& path);

  // While set (a job runs), a refresh shows only the newest lines: nobody reads thousands of lines a
  // second, and rebuilding the whole tail each time would cost more than the job.
  bool Flooding = false;

 private:
  // The last kShownLines lines, oldest first; their strings' room is reused as lines come and go.
  class TTail {
   public:
    void Clear() {
      m_next = 0;
      m_size = 0;
    }
    void Add(std::string_view line) {
      if (m_next < m_lines.size()) m_lines[m_next].assign(line);
      else m_lines.emplace_back(line);
      m_next = (m_next + 1) % kCapacity;
      m_size = std::min(m_size + 1, kCapacity);
    }
    std::size_t size() const { return m_size; }
    const std::string& operator[](std::size_t k) const { return m_lines[(m_next + kCapacity - m_size + k) % kCapacity]; }

   private:
    static constexpr std::size_t kCapacity = kShownLines;
    std::vector<std::string> m_lines;
    std::size_t m_next = 0;
    std::size_t m_size = 0;
  };

  // Writes the lines gathered for the spool file into it.
  void FlushSpool();

  QPlainTextEdit& m_control;
  QTimer m_timer;
  std::unique_ptr<QTemporaryFile> m_spool;
  std::string m_spoolBuffer;
  bool m_spoolFailed = false;
  TTail m_tail;
  std::uint64_t m_lines = 0;          // lines so far
  std::uint64_t m_renderedLines = 0;  // those the control has taken account of
  int m_controlLines = 0;             // the lines the control shows, the first line about the others aside
  bool m_earlierLinesShown = false;
  bool m_cut = false;  // the control shows less of the kept tail than it could
};

}  // namespace corvane
