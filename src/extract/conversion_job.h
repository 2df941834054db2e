#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "extract/job_host.h"
#include "extract/sorted_string_list.h"

namespace corvane {

class TInputFile;
class TOutputFile;

// Converts every file of the file queue, one run per file: scan the file for tables, settle which to
// write (asking the host when there is a choice), and write their rows to the output file.
//
// Threads: Start, StartNextFile and RunTerminated run on the user-interface thread, ConvertFile on
// the worker. Only one run exists at a time and the next is started from RunTerminated, so the state
// below is never touched by both threads at once.
class TConversionJob {
 public:
  explicit TConversionJob(TJobHost& host) : m_host(host) {}
  TConversionJob(const TConversionJob&) = delete;
  TConversionJob& operator=(const TConversionJob&) = delete;

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
  const std::vector<std::string>& TableFragments() const { return m_tableFragments; }
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

 private:
  void ShowPassLabels();
  void Log(std::string_view line);
  void LogJoined(std::string_view first, std::string_view second);
  void EndJob(TJobEnd how);
  std::size_t ScanTables(TInputFile& input);
  void CallPreview();
  bool OpenOutputFile(TOutputFile& output);
  void WriteTables(const std::vector<std::string>& tables, TOutputFile& output);

  TJobHost& m_host;
  TSortedStringList m_fileQueue;
  std::string m_currentFile;
  int m_passNumber = 0;
  std::vector<std::string> m_tableFragments;
  std::string m_pageCharset;
  std::vector<std::string> m_selectedTables;
  bool m_rememberSelection = false;
  bool m_abortJob = false;
  bool m_ended = false;
  bool m_runFailed = false;
  std::vector<std::string> m_failedFiles;
};

}  // namespace corvane
