#include "extract/conversion_job.h"

#include <sched.h>
#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <functional>
#include <new>
#include <unordered_map>
#include <optional>
#include <system_error>
#include <thread>

#include "extract/background_writer.h"
#include "extract/byte_file.h"
#include "extract/chunked_table_scan.h"
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

// The tables a run writes, in order: every table of the file, or the fragment numbers given.
struct TTableOrder {
  bool every = false;
  std::vector<std::size_t> indices;
};

// The current file for the passes of a run. A small file is read once and its passes served from
// memory; a large one is read again for each pass.
class TRunInput {
 public:
  static constexpr std::uint64_t kInMemoryLimit = 256 * 1024;

  // buffer: kInMemoryLimit + 1 bytes, made on first use and kept from run to run.
  TRunInput(TInputFile& file, std::unique_ptr<char[]>& buffer) : m_file(&file) {
    if (file.Size() > kInMemoryLimit) return;
    constexpr std::size_t kRoom = static_cast<std::size_t>(kInMemoryLimit) + 1;
    if (!buffer) buffer.reset(new char[kRoom]);  // not zero-filled: only what is read is used
    // The read stops at the size the file had when it was opened, without a last read to meet its end:
    // a file written to meanwhile is converted as it was then.
    const std::size_t size = static_cast<std::size_t>(file.Size());
    std::size_t got = 0;
    for (std::size_t n; got < kRoom && (got < size || size == 0) && (n = file.Read(buffer.get() + got, kRoom - got)) != 0;)
      got += n;
    if (got == kRoom) {
      // The file has grown since its size was taken: it is read from the file after all.
      file.Rewind();
      return;
    }
    m_bytes = std::string_view(buffer.get(), got);
    m_inMemory = true;
  }

  // A file read ahead of its run.
  explicit TRunInput(std::string_view bytes) : m_bytes(bytes), m_inMemory(true) {}

  std::size_t Read(char* buffer, std::size_t size) {
    if (!m_inMemory) return m_file->Read(buffer, size);
    const std::size_t count = std::min(size, m_bytes.size() - m_offset);
    std::memcpy(buffer, m_bytes.data() + m_offset, count);
    m_offset += count;
    return count;
  }

  void Rewind() {
    if (m_inMemory) m_offset = 0;
    else m_file->Rewind();
  }

  // Fills buffer with the size bytes at offset, from any thread, leaving the passes' reading as it is.
  void ReadAt(std::uint64_t offset, char* buffer, std::size_t size) const {
    if (m_inMemory) {
      if (offset > m_bytes.size() || m_bytes.size() - offset < size) throw TFileError("Cannot read past the end of the input");
      std::memcpy(buffer, m_bytes.data() + offset, size);
      return;
    }
    while (size != 0) {
      const std::size_t got = m_file->ReadAt(offset, buffer, size);
      if (got == 0) throw TFileError("Cannot read " + m_file->Path() + ": the file changed size while it was read");
      offset += got;
      buffer += got;
      size -= got;
    }
  }

  bool InMemory() const { return m_inMemory; }
  // The bytes a pass reads.
  std::uint64_t Size() const { return m_inMemory ? m_bytes.size() : m_file->Size(); }

  std::size_t BlockSize() const {
    return m_inMemory ? std::max<std::size_t>(m_bytes.size() + 16, 64) : TTableFragmentScanner::kDefaultBlockSize;
  }

 private:
  TInputFile* m_file = nullptr;
  std::string_view m_bytes;
  bool m_inMemory = false;
  std::size_t m_offset = 0;
};

// The second pass: writes the chosen fragments as the scan finishes them. Only a fragment whose turn
// has not come yet (a choice out of file order, or a table chosen twice) is held.
class TTableStreamer final : public TFragmentSink {
 public:
  // writer: when given, the tables of an every-table order are written through it.
  TTableStreamer(TConversionJob& job, const TTableOrder& order, TOutputFile& output, TBackgroundWriter* writer)
      : m_job(job), m_order(order.indices), m_every(order.every), m_output(output), m_writer(writer) {
    m_ascending = std::adjacent_find(m_order.begin(), m_order.end(), std::greater_equal<>()) == m_order.end();
    if (!m_ascending)
      for (std::size_t index : m_order) ++m_uses[index];
  }

  bool WantsText(std::size_t index) override {
    if (m_every) return true;
    if (m_ascending) return m_next < m_order.size() && m_order[m_next] == index;
    return m_uses.count(index) != 0;
  }

  bool Take(std::size_t index, std::string& text) override {
    m_job.CheckStop();
    if (m_every) {
      // In a single pass the output is opened by the first table: a file without tables has none.
      if (!m_job.m_runOutputBegun) {
        if (!m_job.OpenOutputFile(m_output)) return false;
        m_job.m_runOutputBegun = true;
      }
      if (m_writer) {
        // While the writing thread lags, this one makes the next table's output itself when the format
        // can: the row cleaning, most of the work, is then shared by both.
        std::string prepared;
        if (text.size() <= kLargestPreparedTable && m_writer->Backlogged() &&
            m_job.m_tableWriter->PrepareTable(text, m_job.m_host.TrimCellValues(), prepared)) {
          m_writer->Push(std::move(prepared), true);
        } else {
          m_writer->Push(std::move(text));
        }
        text.clear();
      } else {
        m_job.WriteTable(text, index, m_output);
      }
      return true;
    }
    if (m_ascending) {
      if (m_next < m_order.size() && m_order[m_next] == index) {
        m_job.WriteTable(text, index, m_output);
        ++m_next;
      }
      return m_next < m_order.size();
    }
    if (m_uses.count(index) != 0) {
      m_held[index] = std::move(text);
      while (m_next < m_order.size()) {
        const auto held = m_held.find(m_order[m_next]);
        if (held == m_held.end()) break;
        m_job.WriteTable(held->second, held->first, m_output);
        if (--m_uses[held->first] == 0) {
          m_uses.erase(held->first);
          m_held.erase(held);
        }
        ++m_next;
      }
    }
    return m_next < m_order.size();
  }

 private:
  TConversionJob& m_job;
  const std::vector<std::size_t>& m_order;
  const bool m_every;
  bool m_ascending = true;
  TOutputFile& m_output;
  // Larger tables are left to the writing thread, which writes their lines as it makes them.
  static constexpr std::size_t kLargestPreparedTable = std::size_t{1} << 20;
  TBackgroundWriter* m_writer;
  std::size_t m_next = 0;
  std::unordered_map<std::size_t, std::size_t> m_uses;  // how often each fragment is still to be written
  std::unordered_map<std::size_t, std::string> m_held;
};

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

void TConversionJob::ConvertArchive(TInputFile& file, TOutputFile& output) {
  if (!m_tableWriter->WritesRecords())
    throw TFileError("Cannot convert the web archive " + m_currentFile + std::string(kArchiveNeedsRecords));
  const auto [start, end] = m_host.ArchiveRange();
  TWarcReader reader(file, start, end);
  reader.Problem = [this](const std::string& line) {
    LogJoined(kLogError, line);
    m_host.ReportNotice(line);
  };
  // The command line's table numbers apply to each page; every table otherwise.
  std::vector<std::string> selection;
  if (std::optional<TTableChoice> choice = m_host.ChoiceWithoutFragments(2); choice && !choice->EveryTable)
    selection = std::move(choice->Selection);
  m_passNumber += 2;
  ShowPassLabels();
  if (!OpenOutputFile(output)) return;
  m_runOutputBegun = true;
  TArchivePage page;
  TTableOrder order;
  while (reader.NextPage(page)) {
    CheckStop();
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    // A byte-order mark says more than the HTTP header, which says more than the page.
    if (page.Html.starts_with(kByteOrderMark) || page.HttpCharset.empty()) m_pageCharset = PageCharsetDeclaration(page.Html);
    else m_pageCharset = page.HttpCharset;
    order.every = selection.empty();
    order.indices.clear();
    if (!order.every) {
      // The page's tables are counted first, as a file's are.
      TTableFragmentScanner counter;
      struct TCounter final : TFragmentSink {
        bool WantsText(std::size_t) override { return false; }
        bool Take(std::size_t, std::string&) override { return true; }
      } sink;
      counter.SetSink(&sink);
      counter.Feed(page.Html.data(), page.Html.size(), true);
      counter.Finish();
      const std::size_t count = counter.FragmentCount();
      if (count == 0) continue;
      if (count == 1) order.indices = {0};
      else order.indices = TablesToWrite(selection, count);
      if (order.indices.empty()) continue;
    }
    const TRecordSource source{page.Url, page.Record, page.Date};
    m_tableWriter->BeginRecord(&source);
    // The page is scanned where it lies.
    TTableStreamer streamer(*this, order, output, nullptr);
    TTableFragmentScanner scanner;
    scanner.SetSink(&streamer);
    scanner.SetLineBreaks(m_tableWriter->LineBreaks());
    scanner.Feed(page.Html.data(), page.Html.size(), true);
    scanner.Finish();
  }
  m_tableWriter->BeginRecord(nullptr);
  LogJoined(kLogArchiveRecords, std::to_string(reader.Records()) + ", pages: " + std::to_string(reader.Pages()) +
                                    ", tables: " + std::to_string(m_runTables));
  FinishOutput(output);
  if (reader.Damaged() > 0) {
    // What could be read is kept; the archive still counts as failed.
    Fail(std::to_string(reader.Damaged()) + (reader.Damaged() == 1 ? " damaged record or gzip member" : " damaged records or gzip members") +
         " skipped in " + m_currentFile);
  }
}

void TConversionJob::ReadPageHead(TRunInput& input) {
  m_pageHead.resize(kPageCharsetScanLimit);
  m_pageHead.resize(input.Read(m_pageHead.data(), m_pageHead.size()));
  input.Rewind();
  m_pageCharset = PageCharsetDeclaration(m_pageHead);
}

bool TConversionJob::WriteEveryTableInOnePass(TRunInput& input, TOutputFile& output) {
  // Text before a table on its line belongs to the table, so a single pass holds each line's text until
  // a table opens or the line ends. A line longer than this gives the single pass up: what it wrote is
  // undone and the file goes through the counting passes, which hold nothing outside the tables.
  constexpr std::size_t kPendingLimit = std::size_t{4} << 20;
  const int passNumber = m_passNumber;
  // The passes a counting run would show.
  m_passNumber += 2;
  ShowPassLabels();
  TTableOrder order;
  order.every = true;
  // A writer that reads each table in the page's character set, declared before the tables, or what
  // else the page says of itself, gets its head.
  if (m_tableWriter->ReadsPageHead()) ReadPageHead(input);
  // No one reads the log: the rows are not logged, and are written beside the scan.
  struct TUnlogged {
    std::function<void(std::string_view)>& LogRow;
    std::function<void(std::string_view)> Kept;
    explicit TUnlogged(std::function<void(std::string_view)>& logRow) : LogRow(logRow), Kept(std::move(logRow)) {
      LogRow = nullptr;
    }
    ~TUnlogged() { LogRow = std::move(Kept); }
  };
  bool complete = true;
  {
    const TUnlogged unlogged(m_tableWriter->LogRow);
    bool scanned = ScanInChunks(input, output, kPendingLimit, complete);
    if (scanned && !complete) {
      // The chunks' scans may have held a line the file's own scan would not (a worker's chunk may begin
      // inside a table): the one-thread scan tells whether the single pass gives up.
      AbandonOutput(output);
      input.Rewind();
      m_runTables = 0;
      m_runOutputBegun = false;
      scanned = false;
    }
    if (!scanned) complete = StreamTables(input, order, output, kPendingLimit, true);
  }
  if (!complete) {
    AbandonOutput(output);
    input.Rewind();
    m_passNumber = passNumber;
    m_runTables = 0;  // the counting passes write them again
    m_runOutputBegun = false;
    return false;
  }
  if (output.IsOpen() || m_runOutputBegun) FinishOutput(output);
  return true;
}

std::size_t TConversionJob::ChunkWorkers() const {
  // The calling thread writes the tables (and scans across chunk edges): the workers are the others.
  const int threads = RunThreads();
  if (threads == 1) return 0;
  constexpr std::size_t kMostThreads = 64;
  if (threads > 1) return std::min(static_cast<std::size_t>(threads - 1), kMostThreads);
  // Automatic: a thread per processor the process may run on (a run pinned to one stays on one thread),
  // up to a few: reading the file and writing the output keep pace with no more.
  constexpr std::size_t kMostAutomatic = 4;
  std::size_t processors = std::thread::hardware_concurrency();
#if defined(__linux__)
  cpu_set_t allowed;
  if (::sched_getaffinity(0, sizeof(allowed), &allowed) == 0) processors = static_cast<std::size_t>(CPU_COUNT(&allowed));
#endif
  if (processors < 2) return 0;
  return std::min(processors, kMostAutomatic);
}

bool TConversionJob::ScanInChunks(TRunInput& input, TOutputFile& output, std::size_t pendingLimit, bool& complete) {
  const std::size_t workers = ChunkWorkers();
  const bool trim = m_host.TrimCellValues();
  std::string probe;
  if (workers == 0 || input.Size() / 2 < m_chunkSize || !m_tableWriter->PrepareTable({}, trim, probe)) return false;
  TChunkedScanSettings settings;
  settings.chunkSize = m_chunkSize;
  settings.workers = workers;
  settings.pendingLimit = pendingLimit;
  settings.lineBreaks = m_tableWriter->LineBreaks();
  const TTableWriter& writer = *m_tableWriter;
  TChunkedTableScan scan(
      settings, [&input](std::uint64_t offset, char* buffer, std::size_t size) { input.ReadAt(offset, buffer, size); },
      input.Size(), [&writer, trim](std::string_view fragment, std::string& lines) { return writer.PrepareTable(fragment, trim, lines); });
  const std::uint64_t total = input.Size();
  ++m_filesScannedInChunks;
  const TChunkedTableScan::TResult result = scan.Run(
      [this, &output](std::string_view text, bool prepared) {
        CheckStop();
        // In a single pass the output is opened by the first table: a file without tables has none.
        if (!m_runOutputBegun) {
          if (!OpenOutputFile(output)) return false;
          m_runOutputBegun = true;
        }
        if (prepared) {
          ++m_runTables;
          output.Write(text);
        } else {
          WriteTable(text, m_runTables, output);  // a large table, written a row at a time
        }
        return true;
      },
      [this, total](std::uint64_t done) {
        CheckStop();
        m_host.ShowReadProgress(done, total);
      });
  complete = result == TChunkedTableScan::TResult::Complete;
  return true;
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
