#include "extract/conversion_job.h"

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <new>
#include <optional>
#include <system_error>

#include "extract/byte_file.h"
#include "extract/job_texts.h"
#include "extract/page_charset.h"
#include "extract/row_extraction.h"
#include "extract/table_fragment_scanner.h"

namespace corvane {

namespace {

// A fragment position given as decimal text; nothing for text that is not a number.
std::optional<std::size_t> ParseTableIndex(const std::string& text) {
  std::size_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end || text.empty()) return std::nullopt;
  return value;
}

std::string AfterLastSeparator(const std::string& path) {
  const std::size_t slash = path.rfind(kPathSeparator);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string UpToLastSeparator(const std::string& path) {
  const std::size_t slash = path.rfind(kPathSeparator);
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool PathExists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

}  // namespace

void TConversionJob::Log(std::string_view line) { m_host.AppendLog(line); }

void TConversionJob::LogJoined(std::string_view first, std::string_view second) {
  std::string line;
  line.reserve(first.size() + second.size());
  line.append(first).append(second);
  m_host.AppendLog(line);
}

void TConversionJob::ShowPassLabels() {
  std::string pass = std::to_string(m_passNumber);
  pass.append(kPassSuffix);
  m_host.ShowPassLabels(m_currentFile, pass);
}

void TConversionJob::Start() {
  m_abortJob = false;
  m_rememberSelection = false;
  m_ended = false;
  m_failedFiles.clear();
  StartNextFile();
}

void TConversionJob::StartNextFile() {
  if (m_fileQueue.Empty()) {
    EndJob(TJobEnd::Completed);
    return;
  }
  // A file that has gone since it was queued still gets its run: opening it fails and is reported.
  m_currentFile = m_fileQueue[0];
  m_passNumber = 0;
  if (m_abortJob) {
    EndJob(TJobEnd::Aborted);
    return;
  }
  m_fileQueue.Delete(0);
  m_host.StartRun();
}

void TConversionJob::EndJob(TJobEnd how) {
  m_passNumber = kLastPass;
  ShowPassLabels();
  m_ended = true;
  m_fileQueue.Clear();
  // After an abort the queue holds the list's files again, every one of them, so that the next Start
  // converts them all.
  if (how == TJobEnd::Aborted) m_fileQueue.AddAll(m_host.InputListEntries());
  m_host.JobEnded(how);
  // A finished job shows a full bar.
  m_host.SetProgressPosition(m_host.ProgressMaximum());
}

void TConversionJob::RunTerminated() {
  Log("");
  LogJoined(m_runFailed ? kLogExtractionFailed : kLogExtractionComplete, m_currentFile);
  Log(kLogRule);
  if (m_runFailed) m_failedFiles.push_back(m_currentFile);
  StartNextFile();
  if (!m_ended) {
    const int done = m_host.ProgressMaximum() - static_cast<int>(m_fileQueue.Count()) - 1;
    m_host.SetProgressPosition(std::max(done, 0));
  }
}

void TConversionJob::ConvertFile() {
  m_runFailed = false;
  m_tableFragments.clear();
  m_pageCharset.clear();
  try {
    TInputFile input(m_currentFile);
    ++m_passNumber;
    ShowPassLabels();

    const std::size_t count = ScanTables(input);
    if (count == 0) return;

    static const std::vector<std::string> kOnlyTable = {"0"};
    const std::vector<std::string>* tables = &m_selectedTables;
    if (count == 1) {
      // The single table is written whatever was chosen before; a remembered choice stays for the
      // job's later files with several tables.
      if (!m_rememberSelection) m_selectedTables = kOnlyTable;
      tables = &kOnlyTable;
    } else if (!m_rememberSelection) {
      CallPreview();
      if (m_selectedTables.empty()) {
        Log(kLogCanceled);
        return;
      }
    }

    ++m_passNumber;
    ShowPassLabels();

    TOutputFile output;
    if (!OpenOutputFile(output)) return;
    WriteTables(*tables, output);
    output.Close();
  } catch (const TFileError& error) {
    LogJoined(kLogError, error.what());
    m_runFailed = true;
  } catch (const std::bad_alloc&) {
    LogJoined(kLogError, "Not enough memory to convert " + m_currentFile);
    m_runFailed = true;
  } catch (const std::exception& error) {
    LogJoined(kLogError, std::string(error.what()) + " while converting " + m_currentFile);
    m_runFailed = true;
  }
}

std::size_t TConversionJob::ScanTables(TInputFile& input) {
  Log(kLogRule);
  LogJoined(kLogAnalysing, m_currentFile);

  // The page's head is kept as it goes by, for its character-set declaration.
  std::string head;
  TTableFragmentScanner scanner;
  scanner.ScanAll([&input, &head](char* buffer, std::size_t size) {
    const std::size_t got = input.Read(buffer, size);
    if (head.size() < kPageCharsetScanLimit) head.append(buffer, std::min(got, kPageCharsetScanLimit - head.size()));
    return got;
  });
  m_pageCharset = PageCharsetDeclaration(head);

  ++m_passNumber;
  ShowPassLabels();

  m_tableFragments = scanner.TakeFragments();
  LogJoined(kLogTableCount, std::to_string(m_tableFragments.size()));
  return m_tableFragments.size();
}

void TConversionJob::CallPreview() {
  m_selectedTables.clear();
  TTableChoice choice = m_host.ChooseTables(m_tableFragments);
  m_selectedTables = std::move(choice.Selection);
  // A cancelled choice is never remembered: the next file asks again.
  m_rememberSelection = choice.Remember && !m_selectedTables.empty();
}

bool TConversionJob::OpenOutputFile(TOutputFile& output) {
  std::error_code error;
  if (m_host.AppendOutput()) {
    const std::string path = m_host.OutputPath();
    const bool existed = PathExists(path);
    if (output.Open(path, TOutputMode::Append, error)) return true;
    if (existed) throw TFileError("Cannot open " + path + " for appending: " + error.message());
    Log(kLogExitingConversion);
    LogJoined(kLogCannotCreateFile, path);
  } else {
    std::string path = UpToLastSeparator(m_host.OutputPath());
    path.append(AfterLastSeparator(m_currentFile)).append(kOutputExtension);
    if (output.Open(path, TOutputMode::Replace, error)) return true;
    Log(kLogExitingConversion);
    Log(kLogCannotCreateExcelFile);
  }
  m_abortJob = true;
  m_runFailed = true;
  return false;
}

void TConversionJob::WriteTables(const std::vector<std::string>& tables, TOutputFile& output) {
  const std::size_t count = std::min(tables.size(), m_tableFragments.size());
  for (std::size_t k = 0; k < count; ++k) {
    // A choice that names no fragment of this file (a remembered one meeting fewer tables) ends the
    // file's tables there.
    const std::optional<std::size_t> index = ParseTableIndex(tables[k]);
    if (!index || *index >= m_tableFragments.size()) break;
    TTableRowWalker rows(m_tableFragments[*index]);
    std::string_view rowText;
    while (rows.Next(rowText)) {
      const TCellTrimming trimming = m_host.TrimCellValues() ? TCellTrimming::Trim : TCellTrimming::Keep;
      std::string line = RowLine(rowText, trimming);
      Log(line);
      line.append(kRowLineEnd);
      output.Write(line);
    }
  }
}

}  // namespace corvane
