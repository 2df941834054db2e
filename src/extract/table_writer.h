#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace corvane {

class TOutputFile;

// The archive record a page's tables come from (see TWarcReader): its target address, record id and date.
struct TRecordSource {
  std::string_view Url;
  std::string_view Record;
  std::string_view Date;
};

// Where a run's output starts: a new file, after what an append file already holds, or a stream
// (standard output) that has no start of its own.
enum class TOutputStart { NewFile, AfterContent, Stream };

// Writes the chosen tables in a format other than the ".xls" text (the host supplies it; the job keeps
// its own row writing otherwise). One run at a time uses it, from one thread at a time.
class TTableWriter {
 public:
  virtual ~TTableWriter() = default;
  // The extension of the files written per input, such as ".csv".
  virtual std::string_view Extension() const = 0;
  // A run's output has been opened; inputFile is the run's input.
  virtual void BeginOutput(TOutputFile& output, TOutputStart start, const std::string& inputFile) = 0;
  // One chosen table, in the order the tables are written, cut with its line breaks kept (a line break
  // between two words is a space, and a PRE's lines are lines); number is its place among the page's
  // tables, from 1; pageCharset is the page's character-set declaration (see PageCharsetDeclaration)
  // and trim the "Trim Cell Values" setting.
  virtual void WriteTable(std::string_view fragment, std::size_t number, const std::string& pageCharset, bool trim,
                          TOutputFile& output) = 0;
  // Before the output is committed: writes what the writer still holds.
  virtual void FinishOutput(TOutputFile& output) = 0;
  // The run's output is abandoned: what the writer holds goes.
  virtual void Abandon() = 0;

  // Where the writer says what it had to leave out of a table to fit the format (one line each); set
  // by the job. Called on the thread that writes.
  std::function<void(const std::string& line)> Notice;

  // A writer that can name the archive record of each table (CSV and JSON Lines); only such a writer
  // takes a web archive's pages.
  virtual bool WritesRecords() const { return false; }
  // The record the tables written next come from, until the next call; nullptr for a page read from
  // its own file. The writer copies what it keeps.
  virtual void BeginRecord(const TRecordSource* record) { static_cast<void>(record); }

  // A writer that puts every file's tables into one file of its own, written when the job ends (a
  // workbook cannot be appended to): the job then opens no output file for its runs.
  virtual bool WritesAtJobEnd() const { return false; }
  // The end of the job: a writer that WritesAtJobEnd writes target when succeeded, and otherwise leaves
  // an earlier file as it was. False with the reason in error when the file could not be written.
  virtual bool EndJob(bool succeeded, const std::string& target, std::string& error) {
    static_cast<void>(succeeded);
    static_cast<void>(target);
    static_cast<void>(error);
    return true;
  }
};

}  // namespace corvane
