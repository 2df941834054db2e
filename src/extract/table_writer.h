#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "extract/job_texts.h"
#include "extract/table_fragment_scanner.h"

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

// Writes the chosen tables of a job in one output format: the ".xls" text (TXlsTableWriter, the job's
// own when the host supplies none), CSV, XLSX or JSON Lines. The job knows formats only through this
// interface; what differs between them is asked of the writer (its extension, how it wants the tables
// cut, whether it takes archives, whether it writes at the job's end).
//
// The calls of a run that writes: SetPageHead, BeginOutput, WriteTable for each table in the order they
// are written, then FinishOutput before the output is committed, or Abandon when the run is undone (a
// stop, a failure, a single pass given up; also before any BeginOutput), after which the output begins
// anew. A web archive's pages come between BeginRecord calls. EndJob once, when the job ends. One run
// at a time uses the writer, from one thread at a time.
class TTableWriter {
 public:
  virtual ~TTableWriter() = default;
  // The extension of the files written per input, such as ".csv".
  virtual std::string_view Extension() const = 0;
  // A run's output has been opened; inputFile is the run's input.
  virtual void BeginOutput(TOutputFile& output, TOutputStart start, const std::string& inputFile) = 0;
  // One chosen table, in the order the tables are written, cut as LineBreaks says; number is its place
  // among the page's tables, from 1; pageCharset is the page's character-set declaration (see
  // PageCharsetDeclaration) and trim the "Trim Cell Values" setting.
  virtual void WriteTable(std::string_view fragment, std::size_t number, const std::string& pageCharset, bool trim,
                          TOutputFile& output) = 0;
  // Before the output is committed: writes what the writer still holds.
  virtual void FinishOutput(TOutputFile& output) = 0;
  // The run's output is abandoned: what the writer holds goes.
  virtual void Abandon() = 0;
  // Makes a table's whole output at once, on the scanning thread of a job that writes beside its scan,
  // while WriteTable may be running on the writing thread: text is then written as it stands, in the
  // table's turn, instead of a WriteTable call. A format whose output depends on the tables before it,
  // or that logs its rows, says false. Uses no state of the writer's.
  virtual bool PrepareTable(std::string_view fragment, bool trim, std::string& text) const {
    static_cast<void>(fragment), static_cast<void>(trim), static_cast<void>(text);
    return false;
  }

  // How WriteTable gets its tables: with their line breaks kept (a line break between two words is a
  // space, and a PRE's lines are lines), as a format that reads tables as a browser does needs them,
  // or with the lines joined, as the ".xls" rows are cut.
  virtual TLineBreaks LineBreaks() const { return TLineBreaks::Kept; }
  // The start of the log line and failure that say the run's own output file could not be created
  // (the path and the reason follow).
  virtual std::string_view CannotCreateText() const { return kLogCannotCreateOutputFile; }

  // True when the writer reads the page's head (see SetPageHead): a single pass then reads it before the
  // tables. A writer that says false may still be given it.
  virtual bool ReadsPageHead() const { return true; }
  // Just before BeginOutput: the first bytes of the run's page (up to kPageCharsetScanLimit, as read
  // for its character set), for what the page says of itself outside its tables (its BASE, its
  // language); empty for a web archive, whose pages each have their record. Valid until BeginOutput
  // returns: the writer copies what it keeps.
  virtual void SetPageHead(std::string_view head) { static_cast<void>(head); }

  // Where the writer says what it had to leave out of a table to fit the format (one line each); set
  // by the job. Called on the thread that writes.
  std::function<void(const std::string& line)> Notice;
  // Where a writer whose rows are lines of text shows each row it writes (the ".xls" rows); set by the
  // job while someone reads the log, empty otherwise. Called on the thread that writes.
  std::function<void(std::string_view row)> LogRow;
  // Set by the job: throws to end the run once the job should stop. The job calls it before each table;
  // a writer calls it every so often within a long one.
  std::function<void()> CheckStop;
  // Set by the job for each run: the most threads WriteTable and FinishOutput may read tables on, the
  // calling one included; 0: as many as pay for themselves. The output is the same whatever it is.
  int Threads = 0;

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
