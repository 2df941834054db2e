#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvane {

class TFragmentStore;
class TTableWriter;

enum class TJobEnd { Completed, Aborted };

// The user's answer to "which tables of this file?".
struct TTableChoice {
  std::vector<std::string> Selection;  // 0-based fragment positions as decimal text, ascending
  bool Remember = false;               // reuse the choice for the job's later files
  bool EveryTable = false;             // every table of the file, in file order (Selection unused)
};

// What the conversion job needs from its surroundings: the desktop window, or the command line. The
// job never touches threads; the host decides where a run executes.
class TJobHost {
 public:
  virtual ~TJobHost() = default;

  // Called on the worker or the user-interface thread; the host shows them in call order.
  virtual void AppendLog(std::string_view line) = 0;
  virtual void ShowPassLabels(std::string_view currentFile, std::string_view passText) = 0;

  // Output settings, read by the worker while a run goes on: the "Append output to a single Excel
  // file" box, the "Trim Cell Values " box and the output path.
  virtual bool AppendOutput() const = 0;
  virtual bool TrimCellValues() const = 0;
  virtual std::string OutputPath() const = 0;
  // With AppendOutput: the rows go to standard output (OutputPath only names it), for a pipeline.
  virtual bool AppendsToStandardOutput() const { return false; }
  // The writer of the output format (see TTableWriter); none: the job writes the ".xls" text with its own.
  virtual TTableWriter* TableWriter() { return nullptr; }

  // Worker: asks the user which fragments to write, on the user-interface thread, and waits for the
  // answer. An empty selection cancels the file; so does a question that could not be asked.
  virtual TTableChoice ChooseTables(const TFragmentStore& fragments) = 0;
  // Worker: the choice for a file with count tables (more than one) when the host settles it without
  // showing them (the command line); nothing when the user must see the tables. A choice known
  // before the rows are written lets the job stream the file instead of holding its tables.
  virtual std::optional<TTableChoice> ChoiceWithoutFragments(std::size_t count) {
    static_cast<void>(count);
    return std::nullopt;
  }

  // Worker: true when every table of every file is written, whatever their count, and no one reads
  // the log (the quiet command line). The job then writes each file in a single pass, opening its
  // output at the first table, and gives no log lines for it. Its rows may then be written on a thread
  // of the job's own, which calls StopRequested too.
  virtual bool WritesEveryTableUnlogged() const { return false; }

  // Worker: the byte range [start, end) of each web archive to convert: the records whose header
  // starts in it (see TWarcReader). The whole archive unless the host says otherwise.
  virtual std::pair<std::uint64_t, std::uint64_t> ArchiveRange() const { return {0, ~std::uint64_t{0}}; }

  // Worker: true once the job should stop as soon as it can (an interrupt, the window closing). The
  // run going on is then undone: its output is left as it was before the run.
  virtual bool StopRequested() const { return false; }
  // Worker, or the job's own writing thread: how far the pass going on has read the current file (done
  // of total bytes). Called once per block read, and once more at the pass's end; cheap, so that a host
  // may keep only the latest value.
  virtual void ShowReadProgress(std::uint64_t done, std::uint64_t total) {
    static_cast<void>(done);
    static_cast<void>(total);
  }
  // Worker or user-interface thread: a run failed; message names the file and the reason. The log has
  // it too; a host without a visible log shows it elsewhere.
  virtual void ReportFailure(std::string_view message) { static_cast<void>(message); }
  // Worker, or the job's own writing thread: something the output had to leave out (a table cut to fit
  // a sheet). The log has it too; a host without a visible log shows it elsewhere.
  virtual void ReportNotice(std::string_view message) { static_cast<void>(message); }

  // User-interface thread: run TConversionJob::ConvertFile on the worker, then
  // TConversionJob::RunTerminated back on the user-interface thread.
  virtual void StartRun() = 0;
  // User-interface thread: the job has ended; show "Done" and enable the controls again.
  virtual void JobEnded(TJobEnd how) = 0;
  // User-interface thread: the files shown in the input list, in the list's order.
  virtual std::vector<std::string> InputListEntries() const = 0;
  virtual int ProgressMaximum() const = 0;
  virtual void SetProgressPosition(int position) = 0;
};

}  // namespace corvane
