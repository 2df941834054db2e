#include "extract/conversion_job.h"

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <new>
#include <unordered_map>
#include <optional>
#include <system_error>

#include "extract/background_writer.h"
#include "extract/byte_file.h"
#include "extract/conversion_run.h"
#include "extract/input_read_ahead.h"
#include "extract/job_texts.h"
#include "extract/page_charset.h"
#include "extract/table_fragment_scanner.h"
#include "extract/table_writer.h"
#include "extract/warc_reader.h"
#include "extract/xls_table_writer.h"

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

// Ends a run that was asked to stop.
class TJobStopped {};

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

TConversionJob::TConversionJob(TJobHost& host) : m_host(host) {}

TConversionJob::~TConversionJob() = default;

void TConversionJob::Start() {
  m_abortJob = false;
  m_rememberSelection = false;
  m_ended = false;
  m_stopped = false;
  m_failedFiles.clear();
  m_filesConverted = 0;
  m_tablesWritten = 0;
  m_filesScannedInChunks = 0;
  m_outputFailed = false;
  m_notConverted.clear();
  m_stoppedFile.clear();
  m_convertedFiles.clear();
  m_writtenOutputs.clear();
  m_pendingInputs.clear();
  m_runsStarted = 0;
  if (!m_host.AppendOutput()) {
    const auto files = m_fileQueue.Items();
    for (std::size_t k = 0; k < files.size(); ++k) {
      TFileIdentity identity;
      if (FileIdentityOf(files[k], identity)) m_pendingInputs[identity] = {k, files[k]};
    }
  }
  if (const std::string* input = InputThatIsAppendTarget()) {
    // Nothing is converted: even the files before it would write their rows into a page of the job.
    const std::string reason = "Cannot append to " + m_host.OutputPath() + std::string(kAppendTargetIsInput);
    LogJoined(kLogError, reason);
    LogJoined(kLogInputFile, *input);
    m_host.ReportFailure(reason + ": " + *input);
    m_stopped = true;
  }
  // Many small files: the next ones are read while the current one is converted.
  constexpr std::size_t kReadAheadBytes = std::size_t{8} << 20;
  m_readAhead.reset();
  if (!m_stopped && m_fileQueue.Count() >= 2 && m_threads != 1 && TInputReadAhead::Worthwhile()) {
    // Outputs written per file go to one folder: their unnamed files can be made ahead too.
    std::string outputFolder;
    if (!m_host.AppendOutput()) outputFolder = FolderOf(UpToLastSeparator(m_host.OutputPath()));
    try {
      m_readAhead = std::make_unique<TInputReadAhead>(m_fileQueue.Items(), TRunInput::kInMemoryLimit,
                                                      kReadAheadBytes, std::move(outputFolder));
    } catch (const std::exception&) {
      // No thread or memory to spare: the job reads each file at its turn.
    }
  }
  StartNextFile();
}

int TConversionJob::RunThreads() const {
  if (m_threads == 0) return 0;
  return std::max(1, m_threads - (m_readAhead ? 1 : 0));
}

const std::string* TConversionJob::InputThatIsAppendTarget() const {
  TFileIdentity target;
  if (!m_host.AppendOutput() || !FileIdentityOf(m_host.OutputPath(), target)) return nullptr;
  for (const std::string& file : m_fileQueue.Items()) {
    TFileIdentity identity;
    if (FileIdentityOf(file, identity) && identity == target) return &file;
  }
  return nullptr;
}

void TConversionJob::StartNextFile() {
  // A stop ends the job at once, even after the last file.
  if (m_stopped) {
    EndJob(TJobEnd::Aborted);
    return;
  }
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
  m_runNumber = m_runsStarted++;
  m_host.StartRun();
}

void TConversionJob::EndJob(TJobEnd how) {
  m_readAhead.reset();
  m_spareOutput = TUnnamedFile();
  m_passNumber = kLastPass;
  ShowPassLabels();
  m_ended = true;
  if (how == TJobEnd::Aborted) {
    m_notConverted.assign(m_fileQueue.Items().begin(), m_fileQueue.Items().end());
    if (!m_stoppedFile.empty()) m_notConverted.insert(m_notConverted.begin(), m_stoppedFile);
  }
  m_fileQueue.Clear();
  // After an abort the queue holds the list's files again, every one of them, so that the next Start
  // converts them all.
  if (how == TJobEnd::Aborted) m_fileQueue.AddAll(m_host.InputListEntries());
  // A file written at the job's end replaces an earlier one only when every run succeeded.
  const bool succeeded = how == TJobEnd::Completed && m_failedFiles.empty() && !m_stopped && !m_abortJob;
  std::string error;
  if (!m_tableWriter->EndJob(succeeded, m_host.OutputPath(), error)) {
    m_outputFailed = true;
    const std::string reason = "Cannot write " + m_host.OutputPath() + ": " + error;
    LogJoined(kLogError, reason);
    m_host.ReportFailure(reason);
  }
  // The next job takes its writer from its first run.
  m_tableWriter = &m_xlsWriter;
  m_host.JobEnded(how);
  // A finished job shows a full bar.
  m_host.SetProgressPosition(m_host.ProgressMaximum());
}

void TConversionJob::RunTerminated() {
  Log("");
  LogJoined(m_runFailed ? kLogExtractionFailed : kLogExtractionComplete, m_currentFile);
  Log(kLogRule);
  if (m_runFailed) m_failedFiles.push_back(m_currentFile);
  else ++m_filesConverted;
  StartNextFile();
  if (!m_ended) {
    const int done = m_host.ProgressMaximum() - static_cast<int>(m_fileQueue.Count()) - 1;
    m_host.SetProgressPosition(std::max(done, 0));
  }
}

void TConversionJob::Fail(std::string_view message) {
  LogJoined(kLogError, message);
  m_host.ReportFailure(message);
  m_runFailed = true;
}

void TConversionJob::CheckStop() const {
  if (m_host.StopRequested()) throw TJobStopped();
}

void TConversionJob::ConvertFile() {
  m_runFailed = false;
  m_runTables = 0;
  m_tableFragments.Clear();
  m_pageCharset.clear();
  m_pageHead.clear();
  m_outputPath.clear();
  // The ".xls" text unless the host writes another format.
  m_tableWriter = m_host.TableWriter();
  if (!m_tableWriter) m_tableWriter = &m_xlsWriter;
  m_tableWriter->Notice = [this](const std::string& line) {
    Log(line);
    m_host.ReportNotice(line);
  };
  m_tableWriter->LogRow = [this](std::string_view row) { Log(row); };
  m_tableWriter->CheckStop = [this] { CheckStop(); };
  m_tableWriter->Threads = RunThreads();
  m_runOutputBegun = false;
  TOutputFile& output = m_output;
  try {
    CheckStop();
    std::optional<TReadAheadInput> ahead;
    if (m_readAhead) ahead = m_readAhead->Take(m_currentFile);
    // An output made ahead for the run before, and left unused, goes now.
    m_spareOutput = ahead ? std::move(ahead->output) : TUnnamedFile();
    // The run's input is known to FinishOutput while the run lasts, and only then.
    struct TForgetRunInput {
      const TInputFile*& input;
      ~TForgetRunInput() { input = nullptr; }
    } forgetRunInput{m_runInput};
    std::optional<TInputFile> input;
    if (!ahead) m_runInput = &input.emplace(m_currentFile);
    ++m_passNumber;
    ShowPassLabels();
    Log(kLogRule);
    LogJoined(kLogAnalysing, m_currentFile);
    if (SkipRepeatedFile(ahead ? ahead->identity : input->Identity())) return;
    if (IsArchiveFileName(m_currentFile)) {
      // An archive is read record by record from its file, even when its bytes were read ahead.
      if (!input) m_runInput = &input.emplace(m_currentFile);
      ConvertArchive(*input, output);
      return;
    }
    TRunInput passes = ahead ? TRunInput(ahead->bytes) : TRunInput(*input, m_smallFile);
    if (m_host.WritesEveryTableUnlogged() && WriteEveryTableInOnePass(passes, output)) return;

    // The first pass only counts the tables; they are read again, and kept, only when the user has to
    // see them to choose.
    std::size_t count = ScanTables(passes, false);
    if (count == 0) return;

    static const std::vector<std::string> kOnlyTable = {"0"};
    const std::vector<std::string>* tables = &m_selectedTables;
    TTableOrder order;
    if (count == 1) {
      // The single table is written whatever was chosen before; a remembered choice stays for the
      // job's later files with several tables.
      if (!m_rememberSelection) m_selectedTables = kOnlyTable;
      tables = &kOnlyTable;
    } else if (!m_rememberSelection) {
      if (std::optional<TTableChoice> choice = m_host.ChoiceWithoutFragments(count)) {
        order.every = choice->EveryTable;
        if (!order.every) {
          m_selectedTables = std::move(choice->Selection);
          m_rememberSelection = choice->Remember && !m_selectedTables.empty();
        }
      } else {
        passes.Rewind();
        count = ScanTables(passes, true);
        CallPreview();
      }
      if (!order.every && m_selectedTables.empty()) {
        Log(kLogCanceled);
        return;
      }
    }

    ++m_passNumber;
    ShowPassLabels();

    if (!OpenOutputFile(output)) return;
    m_runOutputBegun = true;  // the streamed tables write into it, never open it again
    if (!order.every) order.indices = TablesToWrite(*tables, count);
    if (!m_tableFragments.empty()) {
      for (std::size_t index : order.indices) {
        // One table at a time is read back, kept as the user saw it, and cut as the writer wants it.
        std::string fragment = m_tableFragments.Text(index);
        if (m_tableWriter->LineBreaks() == TLineBreaks::Joined) JoinFragmentLines(fragment);
        WriteTable(fragment, index, output);
      }
    } else if (order.every || !order.indices.empty()) {
      passes.Rewind();
      StreamTables(passes, order, output);
    }
    FinishOutput(output);
  } catch (const TJobStopped&) {
    AbandonOutput(output);
    m_stopped = true;
    m_runFailed = true;
    m_stoppedFile = m_currentFile;
    LogJoined(kLogStopped, m_currentFile);
  } catch (const TFileError& error) {
    AbandonOutput(output);
    Fail(error.what());
  } catch (const std::bad_alloc&) {
    AbandonOutput(output);
    Fail("Not enough memory to convert " + m_currentFile);
  } catch (const std::exception& error) {
    AbandonOutput(output);
    Fail(std::string(error.what()) + " while converting " + m_currentFile);
  }
}

bool TConversionJob::SkipRepeatedFile(const TFileIdentity& identity) {
  const auto [earlier, added] = m_convertedFiles.try_emplace(identity, m_currentFile);
  if (added) return false;
  LogJoined(kLogSameFile, earlier->second);
  return true;
}

std::size_t TConversionJob::ScanTables(TRunInput& input, bool keepFragments) {
  // The page's head is kept as it goes by, for its character-set declaration.
  std::string head;
  TTableFragmentScanner scanner;
  // Counting only: no fragment's text is wanted.
  struct TCounter final : TFragmentSink {
    bool WantsText(std::size_t) override { return false; }
    bool Take(std::size_t, std::string&) override { return true; }
  } counter;
  // Kept tables go to the store, which holds a large page's tables in a temporary file.
  struct TKeeper final : TFragmentSink {
    TFragmentStore& store;
    explicit TKeeper(TFragmentStore& s) : store(s) {}
    bool WantsText(std::size_t) override { return true; }
    bool Take(std::size_t, std::string& text) override {
      store.Add(text);
      return true;
    }
  } keeper(m_tableFragments);
  m_tableFragments.Clear();
  scanner.SetSink(keepFragments ? static_cast<TFragmentSink*>(&keeper) : &counter);
  // Kept fragments are shown to the user before they are written: they keep their line breaks until
  // then (and are joined for a writer that wants them so).
  if (keepFragments) scanner.SetLineBreaks(TLineBreaks::Kept);
  const std::uint64_t total = input.Size();
  std::uint64_t done = 0;
  scanner.ScanAll(
      [this, &input, &head, total, &done](char* buffer, std::size_t size) {
        CheckStop();
        const std::size_t got = input.Read(buffer, size);
        if (head.size() < kPageCharsetScanLimit) head.append(buffer, std::min(got, kPageCharsetScanLimit - head.size()));
        done += got;
        m_host.ShowReadProgress(done, total);
        return got;
      },
      input.BlockSize());
  if (keepFragments) return m_tableFragments.size();
  m_pageCharset = PageCharsetDeclaration(head);
  m_pageHead = std::move(head);

  ++m_passNumber;
  ShowPassLabels();
  LogJoined(kLogTableCount, std::to_string(scanner.FragmentCount()));
  return scanner.FragmentCount();
}

void TConversionJob::CallPreview() {
  m_selectedTables.clear();
  TTableChoice choice = m_host.ChooseTables(m_tableFragments);
  m_selectedTables = std::move(choice.Selection);
  // A cancelled choice is never remembered: the next file asks again.
  m_rememberSelection = choice.Remember && !m_selectedTables.empty();
}

std::string TConversionJob::PerFileOutputPath() {
  const std::string base = UpToLastSeparator(m_host.OutputPath()) + AfterLastSeparator(m_currentFile);
  const std::string extension(m_tableWriter->Extension());
  std::string path = base + extension;
  // Two inputs of one job with the same name (from different folders) never share an output file: the
  // later one gets "NAME (2).xls", "NAME (3).xls", ...
  unsigned k = 2;
  for (; m_writtenOutputs.count(path) != 0; ++k) path = base + " (" + std::to_string(k) + ")" + extension;
  if (k != 2) LogJoined(kLogRenamedOutput, path);
  return path;
}

bool TConversionJob::OpenOutputFile(TOutputFile& output) {
  std::error_code error;
  if (m_tableWriter->WritesAtJobEnd()) {
    m_outputPath.clear();
    m_runOutputBegun = true;
    BeginWriterOutput(output, TOutputStart::NewFile);
    return true;
  }
  if (m_host.AppendOutput() && m_host.AppendsToStandardOutput()) {
    if (output.Open(m_host.OutputPath(), TOutputMode::StandardOutput, error)) {
      m_outputPath.clear();
      BeginWriterOutput(output, TOutputStart::Stream);
      return true;
    }
    const std::string reason = "Cannot write to standard output: " + error.message();
    Log(kLogExitingConversion);
    Log(reason);
    m_host.ReportFailure(reason);
  } else if (m_host.AppendOutput()) {
    const std::string path = m_host.OutputPath();
    const bool existed = PathExists(path);
    if (output.Open(path, TOutputMode::Append, error)) {
      // Appending to a file this job reads would write the rows into the page itself.
      TFileIdentity current;
      if (FileIdentityOf(m_currentFile, current) && current == output.Identity())
        throw TFileError("Cannot append to " + path + std::string(kAppendTargetIsInput));
      m_outputPath.clear();
      BeginWriterOutput(output, output.StartSize() > 0 ? TOutputStart::AfterContent : TOutputStart::NewFile);
      return true;
    }
    if (existed) throw TFileError("Cannot open " + path + " for appending: " + error.message());
    Log(kLogExitingConversion);
    LogJoined(kLogCannotCreateFile, path);
    m_host.ReportFailure("Cannot create file " + path + ": " + error.message());
  } else {
    const std::string path = PerFileOutputPath();
    // An output at the name of an input still to be read would replace the page before it is read: this
    // run fails instead, and that input is read intact at its turn.
    TFileIdentity target;
    if (!m_pendingInputs.empty() && FileIdentityOf(path, target)) {
      const auto pending = m_pendingInputs.find(target);
      if (pending != m_pendingInputs.end() && pending->second.lastRun > m_runNumber)
        throw TFileError("Cannot write " + path + ": it is the input file " + pending->second.path +
                         ", still to be converted in this job");
    }
    if (output.Open(path, TOutputMode::Replace, error, &m_spareOutput)) {
      m_outputPath = path;
      BeginWriterOutput(output, TOutputStart::NewFile);
      return true;
    }
    Log(kLogExitingConversion);
    const std::string reason = std::string(m_tableWriter->CannotCreateText()) + path + ": " + error.message();
    Log(reason);
    m_host.ReportFailure(reason);
  }
  m_abortJob = true;
  m_runFailed = true;
  return false;
}

std::vector<std::size_t> TConversionJob::TablesToWrite(const std::vector<std::string>& tables,
                                                       std::size_t count) const {
  std::vector<std::size_t> order;
  const std::size_t n = std::min(tables.size(), count);
  for (std::size_t k = 0; k < n; ++k) {
    // A choice that names no fragment of this file (a remembered one meeting fewer tables) ends the
    // file's tables there.
    const std::optional<std::size_t> index = ParseTableIndex(tables[k]);
    if (!index || *index >= count) break;
    order.push_back(*index);
  }
  return order;
}

bool TConversionJob::StreamTables(TRunInput& input, const TTableOrder& order, TOutputFile& output,
                                  std::size_t pendingLimit, bool beside) {
  // Tables written beside the scan wait in a queue of about this size.
  constexpr std::size_t kQueueBytes = std::size_t{4} << 20;
  // The scan makes a table's lines itself while this many tables wait for the thread.
  constexpr std::size_t kBacklogTables = 8;
  std::size_t written = 0;  // tables written by the thread
  std::optional<TBackgroundWriter> writer;
  // A small file is over before a thread would pay for itself. Every table goes to the thread, in the
  // page's order, which numbers them.
  const int threads = RunThreads();
  if (beside && order.every && !input.InMemory() && threads != 1 && TBackgroundWriter::Worthwhile()) {
    // The writing thread is one of the run's: the writer reads its tables on those left.
    if (threads > 1) m_tableWriter->Threads = threads - 1;
    writer.emplace([this, &output, &written](const std::string& text) { WriteTable(text, written++, output); },
                   kQueueBytes,
                   [this, &output, &written](const std::string& lines) {
                     // A table whose output the scan made: counted and written as WriteTable would.
                     ++written;
                     ++m_runTables;
                     output.Write(lines);
                   },
                   kBacklogTables);
  }
  TTableStreamer streamer(*this, order, output, writer ? &*writer : nullptr);
  TTableFragmentScanner scanner;
  scanner.SetSink(&streamer);
  scanner.SetLineBreaks(m_tableWriter->LineBreaks());
  scanner.SetPendingLimit(pendingLimit);
  const std::uint64_t total = input.Size();
  std::uint64_t done = 0;
  scanner.ScanAll(
      [this, &input, total, &done](char* buffer, std::size_t size) {
        CheckStop();
        const std::size_t got = input.Read(buffer, size);
        done += got;
        m_host.ShowReadProgress(done, total);
        return got;
      },
      input.BlockSize());
  if (writer) {
    writer->Finish();
    m_tableWriter->Threads = threads;
  }
  return !scanner.Overflowed();
}

void TConversionJob::BeginWriterOutput(TOutputFile& output, TOutputStart start) {
  m_tableWriter->SetPageHead(m_pageHead);
  m_tableWriter->BeginOutput(output, start, m_currentFile);
}

void TConversionJob::AbandonOutput(TOutputFile& output) noexcept {
  m_tableWriter->Abandon();
  output.Abandon();
}

void TConversionJob::ReadPageHead(TRunInput& input) {
  m_pageHead.resize(kPageCharsetScanLimit);
  m_pageHead.resize(input.Read(m_pageHead.data(), m_pageHead.size()));
  input.Rewind();
  m_pageCharset = PageCharsetDeclaration(m_pageHead);
}

void TConversionJob::WriteTable(std::string_view fragment, std::size_t index, TOutputFile& output) {
  ++m_runTables;
  CheckStop();
  m_tableWriter->WriteTable(fragment, index + 1, m_pageCharset, m_host.TrimCellValues(), output);
}

void TConversionJob::FinishOutput(TOutputFile& output) {
  CheckStop();
  // A page cut short or grown while it was read fails its run: its tables may be a mix of two files.
  if (m_runInput) m_runInput->CheckUnchanged();
  m_tableWriter->FinishOutput(output);
  output.Commit();
  if (!m_outputPath.empty()) m_writtenOutputs.insert(m_outputPath);
  m_tablesWritten += m_runTables;
}

}  // namespace corvane
