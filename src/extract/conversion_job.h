#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "extract/byte_file.h"
#include "extract/fragment_store.h"
#include "extract/job_host.h"
#include "extract/sorted_string_list.h"
#include "extract/table_writer.h"
#include "extract/xls_table_writer.h"

namespace corvane {

class TInputReadAhead;
class TRunInput;
struct TTableOrder;

// Converts every file of the file queue, one run per file: scan the file for tables, settle which to
// write (asking the host when there is a choice), and write their rows to the output file.
//
// A run never leaves a damaged output behind: a file written per input replaces an earlier one only
// when its run succeeds, and a failed or stopped run takes its rows back out of the append file.
// Memory stays bounded by the largest table written: the first pass over a file only counts its
// tables, and when the choice is known by then (one table, a remembered choice, the command line) a
// second pass writes the chosen tables as it meets them. Only a choice the user makes from the tables
// themselves needs them all held.
//
// Threads: Start, StartNextFile and RunTerminated run on the user-interface thread, ConvertFile on
// the worker. Only one run exists at a time and the next is started from RunTerminated, so the state
// below is never touched by both threads at once. A job of several files reads the next small ones,
// and makes their outputs' unnamed files, on a thread of its own (TInputReadAhead). SetThreads bounds
// the threads a job uses at once.
class TConversionJob {
 public:
  explicit TConversionJob(TJobHost& host);
  ~TConversionJob();
  TConversionJob(const TConversionJob&) = delete;
  TConversionJob& operator=(const TConversionJob&) = delete;

  // The most threads the job uses at once, the one running its runs included: 0 (the default) as many
  // as pay for themselves; 1 keeps all the work on that thread (no reading ahead, no writing beside the
  // scan, the writer's tables read one after another); N above lets N at most run at once, and a large
  // file is then scanned in chunks on N - 1 threads beside the one writing its tables. Automatic scans in
  // chunks on a thread per processor, up to four. Set before Start; the outputs and the log are the same
  // whatever the number.
  void SetThreads(int threads) { m_threads = threads > 0 ? threads : 0; }
  int Threads() const { return m_threads; }

  // Begins a job over FileQueue: clears AbortJob and RememberSelection, then starts the first run.
  void Start();
  // Takes the next file of the queue and starts its run, or ends the job.
  void StartNextFile();
  // One run over CurrentFile (worker thread). Errors are reported in the log, never thrown.
  void ConvertFile();
  // The end of a run (user-interface thread): closing log lines, the next run, the progress bar.
  void RunTerminated();

  TSortedStringList& FileQueue() { return m_fileQueue; }
  const TSortedStringList& FileQueue() const { return m_fileQueue; }
  const std::string& CurrentFile() const { return m_currentFile; }
  int PassNumber() const { return m_passNumber; }
  const TFragmentStore& TableFragments() const { return m_tableFragments; }
  // The current file's character-set declaration (see PageCharsetDeclaration), for showing its tables
  // as the page reads them. Set by the scan; the host may read it while ChooseTables runs.
  const std::string& PageCharset() const { return m_pageCharset; }
  const std::vector<std::string>& SelectedTables() const { return m_selectedTables; }
  bool RememberSelection() const { return m_rememberSelection; }
  bool AbortJob() const { return m_abortJob; }

  // True from the end of a job until the next Start.
  bool Ended() const { return m_ended; }
  // The files of this job whose run failed, in run order.
  const std::vector<std::string>& FailedFiles() const { return m_failedFiles; }
  // True when an output written at the job's end could not be written.
  bool OutputFailed() const { return m_outputFailed; }
  // The files a stopped job did not convert, in queue order: the one whose run the stop undid, then
  // those it did not come to.
  const std::vector<std::string>& NotConverted() const { return m_notConverted; }
  // The files of this job whose run succeeded, and the tables those runs wrote.
  std::size_t FilesConverted() const { return m_filesConverted; }
  std::size_t TablesWritten() const { return m_tablesWritten; }
  // True when the job ended because the host asked it to stop, or could not start (an append file
  // that is one of the inputs).
  bool Stopped() const { return m_stopped; }

  // The size of the chunks a large file is scanned in on several threads (see SetThreads and
  // TChunkedTableScan: only a quiet run that writes every table with a writer that can prepare tables,
  // from a file of at least two chunks); a file of less than two chunks is scanned on one.
  void SetChunkSize(std::size_t bytes) { m_chunkSize = bytes == 0 ? 1 : bytes; }
  static constexpr std::size_t kDefaultChunkSize = std::size_t{1} << 20;
  // The runs of this job whose file was scanned in chunks.
  std::size_t FilesScannedInChunks() const { return m_filesScannedInChunks; }

 private:
  void ShowPassLabels();
  // The threads a run may use, its own included, besides the job's read-ahead; 0: as many as pay.
  int RunThreads() const;
  void Log(std::string_view line);
  void LogJoined(std::string_view first, std::string_view second);
  void EndJob(TJobEnd how);
  void Fail(std::string_view message);
  bool SkipRepeatedFile(const TFileIdentity& identity);
  const std::string* InputThatIsAppendTarget() const;
  void CheckStop() const;
  std::size_t ScanTables(TRunInput& input, bool keepFragments);
  void CallPreview();
  std::string PerFileOutputPath();
  bool OpenOutputFile(TOutputFile& output);
  std::vector<std::size_t> TablesToWrite(const std::vector<std::string>& tables, std::size_t count) const;
  bool WriteEveryTableInOnePass(TRunInput& input, TOutputFile& output);
  // Returns false when the scan gave up at its pending limit (see TTableFragmentScanner).
  // beside: an every-table order may be written on a thread of its own while the scan goes on.
  bool StreamTables(TRunInput& input, const TTableOrder& order, TOutputFile& output, std::size_t pendingLimit = 0,
                    bool beside = false);
  // index: the fragment's position among the file's tables.
  void WriteTable(std::string_view fragment, std::size_t index, TOutputFile& output);
  // Every table of a large file, scanned in chunks on several threads. False when that is not done
  // (complete then tells nothing) or a line outside the tables outgrew pendingLimit (complete false).
  bool ScanInChunks(TRunInput& input, TOutputFile& output, std::size_t pendingLimit, bool& complete);
  // The threads that scan chunks beside the run's own; 0 when a run scans on one thread.
  std::size_t ChunkWorkers() const;
  void FinishOutput(TOutputFile& output);
  void AbandonOutput(TOutputFile& output) noexcept;
  // Hands the run's output and the page's head to the writer.
  void BeginWriterOutput(TOutputFile& output, TOutputStart start);
  // A web archive's pages, written as one output (see TWarcReader).
  void ConvertArchive(TInputFile& file, TOutputFile& output);
  // The page's head and its character-set declaration, read from the start of the input (which is
  // rewound).
  void ReadPageHead(TRunInput& input);

  friend class TTableStreamer;

  TJobHost& m_host;
  TSortedStringList m_fileQueue;
  std::string m_currentFile;
  int m_passNumber = 0;
  TFragmentStore m_tableFragments;
  std::string m_pageCharset;
  std::string m_pageHead;  // the run's first bytes, as read for its character set (see TTableWriter::SetPageHead)
  std::vector<std::string> m_selectedTables;
  bool m_rememberSelection = false;
  bool m_abortJob = false;
  bool m_ended = false;
  bool m_runFailed = false;
  bool m_stopped = false;
  std::vector<std::string> m_failedFiles;
  std::size_t m_filesConverted = 0;
  std::size_t m_tablesWritten = 0;
  std::size_t m_runTables = 0;  // written by the run going on; counted once its output is kept
  std::vector<std::string> m_notConverted;
  std::string m_stoppedFile;  // the file whose run a stop undid
  // This job's inputs by file identity (the first path met), so that a file reached twice is
  // converted once, and the outputs written per file, so that none is overwritten by a later input.
  std::unordered_map<TFileIdentity, std::string, TFileIdentityHash> m_convertedFiles;
  std::unordered_set<std::string> m_writtenOutputs;
  // Outputs written per file: the job's inputs by identity, with the number of the last run that reads
  // each, so that no output replaces a file still to be read.
  struct TPendingInput {
    std::size_t lastRun = 0;
    std::string path;
  };
  std::unordered_map<TFileIdentity, TPendingInput, TFileIdentityHash> m_pendingInputs;
  std::size_t m_runNumber = 0;  // the run going on, counted from 0 in the job
  std::size_t m_runsStarted = 0;
  std::string m_outputPath;  // the current run's own output file; empty when it appends
  TXlsTableWriter m_xlsWriter;  // the job's own, when the host supplies no writer
  TTableWriter* m_tableWriter = &m_xlsWriter;  // the run's: the host's, else the job's own
  bool m_runOutputBegun = false;
  const TInputFile* m_runInput = nullptr;  // the run's input file, when it is read from the file
  bool m_outputFailed = false;          // a writer that writes at the job's end took the run's tables
  TOutputFile m_output;      // reused from run to run, with its buffer
  std::unique_ptr<char[]> m_smallFile;  // a small input's bytes, read once for both passes
  std::unique_ptr<TInputReadAhead> m_readAhead;  // a job of many files: the next small ones
  int m_threads = 0;  // see SetThreads
  TUnnamedFile m_spareOutput;  // the current run's output file, made ahead; closed unused at its end
  std::size_t m_chunkSize = kDefaultChunkSize;
  std::size_t m_filesScannedInChunks = 0;
};

}  // namespace corvane
