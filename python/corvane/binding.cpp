// corvane._corvane: the libraries as Python sees them. The package's __init__.py gives the public
// functions their signatures and documentation; this module does the work, with the global interpreter
// lock released while CORVANE reads, converts or renders, and taken again only to make Python objects.

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPageSize>
#include <QSysInfo>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "app/output_format.h"
#include "app/render_command.h"
#include "builder/document_loader.h"
#include "extract/byte_file.h"
#include "extract/conversion_job.h"
#include "extract/inline_job_host.h"
#include "extract/table_fragment_scanner.h"
#include "forms/form_controls.h"
#include "html/html_reader.h"
#include "layout/section_list.h"
#include "sheets/cell_value.h"
#include "sheets/page_tables.h"
#include "sheets/sheet_table.h"
#include "viewer/bounded_layout.h"
#include "viewer/print_document.h"
#include "py_text_cache.h"

namespace py = pybind11;
namespace fs = std::filesystem;

namespace corvane {

namespace {

// What corvane.Error carries to Python: a usage error or a failure, with its reason.
class TPythonError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A page as the caller gave it: a file to read, or HTML text in memory.
struct TPageSource {
  std::string Path;             // the file, or the name links resolve against for text
  std::optional<py::bytes> Bytes;  // the page's bytes, held while they are read
  std::string Text;             // a str's HTML, as UTF-8
  bool InMemory = false;
  bool Utf8 = false;            // the page came as a str: its bytes are UTF-8 whatever it declares
};

// A path as the file system has it: a name Python decoded with surrogate escapes gets its bytes back.
std::string FileSystemPath(const py::handle& source) {
  return py::module_::import("os").attr("fsencode")(source).cast<std::string>();
}

// A page in memory resolves its links as if it were this file in the current folder.
constexpr char kMemoryPageName[] = "page.html";

// A str holding "<" is HTML text; any other str, or an os.PathLike, names a file.
TPageSource PageSourceOf(const py::handle& source) {
  TPageSource page;
  page.Path = kMemoryPageName;
  if (py::isinstance<py::bytes>(source)) {
    page.Bytes = py::reinterpret_borrow<py::bytes>(source);
    page.InMemory = true;
    return page;
  }
  if (py::isinstance<py::str>(source)) {
    if (py::str(source).attr("find")("<").cast<long long>() >= 0) {
      page.Text = source.cast<std::string>();
      page.InMemory = page.Utf8 = true;
      return page;
    }
    page.Path = FileSystemPath(source);
  } else if (py::hasattr(source, "__fspath__")) {
    page.Path = FileSystemPath(source);
  } else {
    throw py::type_error("source must be a path, bytes or a str of HTML, not " +
                         py::str(py::type::of(source).attr("__name__")).cast<std::string>());
  }
  if (page.Path.empty()) throw TPythonError("the source path is empty");
  return page;
}

std::string_view MemoryPage(const TPageSource& page) {
  if (page.Bytes) {
    char* data = nullptr;
    Py_ssize_t size = 0;
    PyBytes_AsStringAndSize(page.Bytes->ptr(), &data, &size);
    return {data, static_cast<std::size_t>(size)};
  }
  return page.Text;
}

// An open page file, closed when it goes.
struct TPageFile {
  std::FILE* File = nullptr;
  ~TPageFile() {
    if (File) std::fclose(File);
  }
};

// Opens the page file (or a pipe), or says why it cannot.
void OpenPageFile(const std::string& path, TPageFile& file) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) throw TPythonError("cannot read " + path + ": " + ErrorText(errno));
  if (S_ISDIR(info.st_mode)) throw TPythonError("cannot read " + path + ": " + ErrorText(EISDIR));
  file.File = std::fopen(path.c_str(), "rb");
  if (!file.File) throw TPythonError("cannot read " + path + ": " + ErrorText(errno));
}

// The whole page: read_tables scans a file as it reads it, render needs it whole.
std::string WholePage(const TPageSource& page) {
  if (page.InMemory) return std::string(MemoryPage(page));
  TPageFile file;
  OpenPageFile(page.Path, file);
  std::string text;
  char buffer[1 << 16];
  while (const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.File)) text.append(buffer, got);
  if (std::ferror(file.File)) throw TPythonError("cannot read " + page.Path + ": read error");
  return text;
}

// A table's links: each cell's place and the end of its address in the addresses, one after another
// in UTF-8 (an absolute address is ASCII). One buffer for them all, however many links a table holds.
struct TPyLinks {
  struct TPlace {
    int Row = 0;
    int Column = 0;
    std::size_t End = 0;
  };
  std::vector<TPlace> Places;
  std::string Addresses;

  // Room for count links of size characters in all, set aside at once.
  void Reserve(std::size_t count, std::size_t size) {
    Places.reserve(count);
    Addresses.reserve(size);
  }
  void Add(int row, int column, const QString& address) {
    const std::size_t begin = Addresses.size();
    const std::size_t size = static_cast<std::size_t>(address.size());
    Addresses.resize(begin + size);
    const char16_t* units = reinterpret_cast<const char16_t*>(address.constData());
    char* out = Addresses.data() + begin;
    char16_t all = 0;
    for (std::size_t k = 0; k < size; ++k) {
      out[k] = static_cast<char>(units[k]);
      all |= units[k];
    }
    // Should an address not be ASCII, its UTF-8 takes the place.
    if (all >= 0x80) {
      const QByteArray utf8 = address.toUtf8();
      Addresses.replace(begin, std::string::npos, utf8.constData(), static_cast<std::size_t>(utf8.size()));
    }
    Places.push_back({row, column, Addresses.size()});
  }
};

// A table as read_tables gives it. Its links become a dict only when asked for: most callers never look.
struct TPyTable {
  std::size_t Number = 0;
  int HeaderRows = 0;
  py::list Rows;
  py::list Header;
  TPyLinks LinkList;
  py::object Links;  // the dict, once made

  const py::object& LinksDict() {
    if (Links) return Links;
    py::dict links;
    std::size_t begin = 0;
    for (const TPyLinks::TPlace& place : LinkList.Places) {
      links[py::make_tuple(place.Row, place.Column)] = py::str(LinkList.Addresses.data() + begin, place.End - begin);
      begin = place.End;
    }
    Links = std::move(links);
    LinkList = {};
    return Links;
  }
};

// The text as a new Python str, in the narrowest form that all (its units or'ed together) allows: ASCII,
// Latin-1 or two bytes a character; text with surrogates is decoded, a pair to one character and a lone
// one to U+FFFD as in the CSV file's UTF-8. A byte-order mark at the start is text like any other.
PyObject* NewPyText(const QString& text, char16_t all) {
  const char16_t* data = reinterpret_cast<const char16_t*>(text.utf16());
  const qsizetype size = text.size();
  PyObject* object = nullptr;
  if (all < 0x100) {
    object = PyUnicode_New(static_cast<Py_ssize_t>(size), all < 0x80 ? 0x7F : 0xFF);
    if (object) {
      Py_UCS1* out = PyUnicode_1BYTE_DATA(object);
      for (qsizetype k = 0; k < size; ++k) out[k] = static_cast<Py_UCS1>(data[k]);
    }
  } else if (all < 0xD800 || std::none_of(data, data + size, [](char16_t c) { return c >= 0xD800 && c < 0xE000; })) {
    object = PyUnicode_FromKindAndData(PyUnicode_2BYTE_KIND, data, static_cast<Py_ssize_t>(size));
  } else {
    int order = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? -1 : 1;
    object = PyUnicode_DecodeUTF16(reinterpret_cast<const char*>(data), static_cast<Py_ssize_t>(size) * 2, "replace",
                                   &order);
  }
  if (!object) throw py::error_already_set();
  return object;
}

// A list of size places, each holding fill. Rows hold only str, float and None, which make no cycles:
// they are left out of the cyclic garbage collector's walks, which would otherwise visit every cell of
// every table read (a row a caller makes part of a cycle is not collected).
py::list FilledList(std::size_t size, py::handle fill) {
  PyObject* list = PyList_New(static_cast<Py_ssize_t>(size));
  if (!list) throw py::error_already_set();
  for (std::size_t k = 0; k < size; ++k) PyList_SET_ITEM(list, static_cast<Py_ssize_t>(k), fill.inc_ref().ptr());
  PyObject_GC_UnTrack(list);
  return py::reinterpret_steal<py::list>(list);
}

// Puts value at a place of list, where fill was.
void Place(const py::list& list, int index, const py::handle& value) {
  PyObject* old = PyList_GET_ITEM(list.ptr(), index);
  PyList_SET_ITEM(list.ptr(), index, value.inc_ref().ptr());
  Py_DECREF(old);
}

// The leading rows in which every cell that begins there is a header cell (a TH, or in a THEAD), and
// at least one does.
int HeaderRowsOf(const std::vector<const TSheetCell*>& cells) {
  int row = 0;
  std::size_t k = 0;
  while (k < cells.size() && cells[k]->Row == row) {
    bool header = true;
    for (; k < cells.size() && cells[k]->Row == row; ++k) header = header && cells[k]->Header;
    if (!header) break;
    ++row;
  }
  return row;
}

// What a table's Python objects are made of, found without the lock: its cells in grid order (those on
// the grid with text), its header rows, the number each typed cell is, and its links, taken from the
// cells.
struct TTableParts {
  std::vector<const TSheetCell*> Cells;
  std::vector<std::optional<double>> Numbers;  // by cell, when typed
  std::vector<std::uint32_t> Places;           // by cell, its text's place in the call's cache
  std::vector<char16_t> Units;                 // by cell, its text's units or'ed together
  int HeaderRows = 0;
  TPyLinks Links;
};

TTableParts TablePartsOf(const TSheetTable& table, bool typed, TPyTextCache& texts) {
  texts.BeginTable();
  TTableParts parts;
  const std::vector<const TSheetCell*> ordered = CellsInGridOrder(table);
  parts.HeaderRows = HeaderRowsOf(ordered);
  parts.Cells.reserve(ordered.size());
  parts.Places.reserve(ordered.size());
  parts.Units.reserve(ordered.size());
  std::size_t links = 0, linkSize = 0;
  for (const TSheetCell& cell : table.Cells) {
    links += cell.Link.isEmpty() ? 0 : 1;
    linkSize += static_cast<std::size_t>(cell.Link.size());
  }
  parts.Links.Reserve(links, linkSize);
  for (const TSheetCell* cell : ordered) {
    if (cell->Row >= table.Rows || cell->Column >= table.Columns || cell->Text.isEmpty()) continue;
    parts.Cells.push_back(cell);
    if (typed) parts.Numbers.push_back(cell->Row >= parts.HeaderRows ? PlainNumber(cell->Text) : std::nullopt);
    char16_t units = 0;
    // A number is made a float, not a str: its text is left out of the cache.
    parts.Places.push_back(typed && parts.Numbers.back()
                               ? TPyTextCache::kNone
                               : texts.Find(std::u16string_view(reinterpret_cast<const char16_t*>(cell->Text.utf16()),
                                                                static_cast<std::size_t>(cell->Text.size())),
                                            units));
    parts.Units.push_back(units);
    if (!cell->Link.isEmpty()) parts.Links.Add(cell->Row, cell->Column, cell->Link);
  }
  return parts;
}

// The rows placed as the CSV output places them: a row per grid row, a field per grid column, a cell's
// text at its first place and the places its spans cover empty. typed: the rows below the header rows
// hold a float for each cell the XLSX output writes as a number (--numbers exact) and None for each
// empty place, for a DataFrame.
TPyTable MakePyTable(std::size_t number, const TSheetTable& table, TTableParts& parts, bool typed,
                     TPyTextCache& texts) {
  TPyTable result;
  result.Number = number;
  result.HeaderRows = parts.HeaderRows;
  const py::str empty("");
  const std::size_t columns = static_cast<std::size_t>(std::max(table.Columns, 0));
  const std::size_t rowCount = static_cast<std::size_t>(std::max(table.Rows, 0));
  result.Rows = FilledList(rowCount, Py_None);
  for (std::size_t row = 0; row < rowCount; ++row) {
    const bool blank = typed && row >= static_cast<std::size_t>(result.HeaderRows);
    Place(result.Rows, static_cast<int>(row), FilledList(columns, blank ? py::handle(Py_None) : py::handle(empty)));
  }
  // The header's names: a spanning header cell's text over every place it covers.
  result.Header = FilledList(static_cast<std::size_t>(result.HeaderRows), Py_None);
  for (int row = 0; row < result.HeaderRows; ++row) Place(result.Header, row, FilledList(columns, empty));
  for (std::size_t k = 0; k < parts.Cells.size(); ++k) {
    const TSheetCell* cell = parts.Cells[k];
    py::object text;
    if (typed && parts.Numbers[k]) text = py::float_(*parts.Numbers[k]);
    if (!text) {
      const std::uint32_t place = parts.Places[k];
      if (place == TPyTextCache::kNone || (place & TPyTextCache::kNew)) {
        text = py::reinterpret_steal<py::object>(NewPyText(cell->Text, parts.Units[k]));
        if (place != TPyTextCache::kNone) texts.Fill(place & ~TPyTextCache::kNew, text.inc_ref().ptr());
      } else {
        text = py::reinterpret_borrow<py::object>(texts.Object(place));
      }
    }
    Place(py::reinterpret_borrow<py::list>(PyList_GET_ITEM(result.Rows.ptr(), cell->Row)), cell->Column, text);
    if (cell->Row >= result.HeaderRows) continue;
    const int rowEnd = std::min(cell->Row + cell->RowSpan, result.HeaderRows);
    const int columnEnd = std::min(cell->Column + cell->ColumnSpan, table.Columns);
    for (int row = cell->Row; row < rowEnd; ++row) {
      const auto names = py::reinterpret_borrow<py::list>(PyList_GET_ITEM(result.Header.ptr(), row));
      for (int column = cell->Column; column < columnEnd; ++column) Place(names, column, text);
    }
  }
  result.LinkList = std::move(parts.Links);
  return result;
}

// tables=None: every table; otherwise table numbers counted from 1 (an int, or an iterable of them).
std::vector<std::size_t> TableNumbers(const py::object& tables) {
  std::vector<std::size_t> numbers;
  if (tables.is_none()) return numbers;
  const char* usage = "tables takes None or table numbers counted from 1, such as [1, 3]";
  auto add = [&](const py::handle& item) {
    if (py::isinstance<py::bool_>(item) || !py::isinstance<py::int_>(item)) throw TPythonError(usage);
    const long long number = item.cast<long long>();
    if (number < 1) throw TPythonError(usage);
    numbers.push_back(static_cast<std::size_t>(number));
  };
  if (py::isinstance<py::int_>(tables)) {
    add(tables);
  } else if (py::isinstance<py::str>(tables) || py::isinstance<py::bytes>(tables) || !py::hasattr(tables, "__iter__")) {
    throw TPythonError(usage);
  } else {
    for (const py::handle item : tables) add(item);
    if (numbers.empty()) throw TPythonError(usage);
  }
  std::sort(numbers.begin(), numbers.end());
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
  return numbers;
}

// The declaration that has the tables read in encoding; an encoding CORVANE does not know is refused.
std::string CharsetDeclaration(const std::string& encoding) {
  std::string declaration = "<meta charset=\"" + encoding + "\">";
  const TDeclaredCharset charset = DeclaredCharset(declaration);
  if (encoding.empty() || encoding.find_first_of("\"<>") != std::string::npos || (!charset.Utf8 && !charset.CharSet))
    throw TPythonError("unknown encoding '" + encoding + "'");
  return declaration;
}

// While tables are made, the cyclic garbage collector stays off: each of their many lists would count
// towards a collection that finds nothing, over every object of the process. The first reading to
// begin turns it off and the last to end turns it back on, if it was on; the lock guards the count.
class TCollectorPause {
 public:
  TCollectorPause() {
    if (s_readings++ == 0) s_wasOn = PyGC_Disable() != 0;
  }
  ~TCollectorPause() {
    if (--s_readings == 0 && s_wasOn) PyGC_Enable();
  }
  TCollectorPause(const TCollectorPause&) = delete;
  TCollectorPause& operator=(const TCollectorPause&) = delete;

 private:
  static inline int s_readings = 0;
  static inline bool s_wasOn = false;
};

// The read_tables calls under way in the process. A lone call reads on three threads (the scan, a second
// for half of each batch of tables, the caller's making the Python objects), which keeps two cores busy;
// a call that begins while others run reads on its own thread only, so that calls on several threads
// share the cores without each starting three threads and contending for them. A call given threads
// uses that many at most, whatever else runs.
class TReadingsUnderWay {
 public:
  TReadingsUnderWay() : m_alone(s_count.fetch_add(1) == 0) {}
  ~TReadingsUnderWay() { s_count.fetch_sub(1); }
  TReadingsUnderWay(const TReadingsUnderWay&) = delete;
  TReadingsUnderWay& operator=(const TReadingsUnderWay&) = delete;
  bool Alone() const { return m_alone; }

 private:
  static inline std::atomic<int> s_count{0};
  bool m_alone;
};

// threads as the functions take it: None (0, as many as pay) or a number from 1 (a larger one than a
// job could start is as many as pay too).
constexpr int kMostThreads = 1'000'000;
int ThreadCount(const py::object& threads) {
  if (threads.is_none()) return 0;
  const std::string usage = "threads takes None or a number of threads from 1";
  if (py::isinstance<py::bool_>(threads) || !py::isinstance<py::int_>(threads)) throw TPythonError(usage);
  int overflow = 0;
  const long long count = PyLong_AsLongLongAndOverflow(threads.ptr(), &overflow);
  if (overflow > 0) return kMostThreads;
  if (overflow < 0 || count < 1) throw TPythonError(usage);
  return static_cast<int>(std::min<long long>(count, kMostThreads));
}

py::list ReadTables(const py::object& source, const py::object& tables, bool trim, const py::object& encoding,
                    bool links, bool typed, const py::object& threads) {
  const int threadCount = ThreadCount(threads);
  TPageSource page = PageSourceOf(source);
  const TReadingsUnderWay underWay;
  TPageTablesReading reading;
  // Three threads at most: a number above reads as a lone call does.
  if (threadCount == 0) reading.Threads = underWay.Alone() ? 0 : 1;
  else reading.Threads = threadCount >= 3 ? 0 : threadCount;
  reading.Trim = trim;
  reading.Links = links;
  reading.Tables = TableNumbers(tables);
  if (!encoding.is_none()) reading.Charset = CharsetDeclaration(encoding.cast<std::string>());
  else if (page.Utf8) reading.Charset = CharsetDeclaration("utf-8");
  py::list result;
  const TCollectorPause pause;
  TPyTextCache texts;
  // Runs without the lock; takes it for each table made into Python objects.
  const TTakeSheetTable take = [&](std::size_t number, TSheetTable& table) {
    TTableParts parts = TablePartsOf(table, typed, texts);
    py::gil_scoped_acquire lock;
    texts.Release();
    // Ctrl+C reaches a long reading between two tables.
    if (PyErr_CheckSignals() != 0) throw py::error_already_set();
    result.append(py::cast(MakePyTable(number, table, parts, typed, texts)));
  };
  if (page.InMemory) {
    const std::string_view text = MemoryPage(page);
    {
      py::gil_scoped_release unlock;
      ReadPageTables(page.Path, text, reading, take);
    }
    return result;
  }
  TPageFile file;
  bool readFailed = false;
  {
    // Opening waits for a pipe's writer, without the lock.
    py::gil_scoped_release unlock;
    OpenPageFile(page.Path, file);
    ReadPageTables(page.Path,
                   [&](char* buffer, std::size_t size) {
                     const std::size_t got = std::fread(buffer, 1, size, file.File);
                     if (got == 0 && std::ferror(file.File)) readFailed = true;
                     return got;
                   },
                   reading, take);
  }
  if (readFailed) throw TPythonError("cannot read " + page.Path + ": read error");
  return result;
}

// --- convert -------------------------------------------------------------------------------------------

struct TConvertRequest {
  std::vector<std::string> Paths;
  std::string OutputDir;
  std::string Append;
  TOutputFormat Format = TOutputFormat::Xls;
  bool Trim = false;
  bool Links = false;
  bool LocaleNumbers = false;
  bool Quiet = true;
  std::optional<std::vector<std::string>> Tables;  // 0-based positions as decimal text; none: all
  int Threads = 0;  // the most threads the job uses at once; 0: as many as pay
};

// The job's host for Python: runs each run at once on the calling thread, the table choice from
// tables, the log and the failures gathered for the summary.
class TPythonJobHost final : public TInlineJobHost {
 public:
  TPythonJobHost(const TConvertRequest& request, std::vector<std::string> files)
      : m_request(request), m_files(std::move(files)) {
    m_outputPath = request.Append.empty() ? request.OutputDir : request.Append;
    if (request.Append.empty() && m_outputPath.back() != '/') m_outputPath.push_back('/');
  }

  void AppendLog(std::string_view line) override {
    if (!m_request.Quiet) Log.emplace_back(line);
  }
  void ShowPassLabels(std::string_view, std::string_view) override {}
  void ReportFailure(std::string_view message) override { Failures.emplace_back(message); }
  void ReportNotice(std::string_view message) override { Notices.emplace_back(message); }
  bool AppendOutput() const override { return !m_request.Append.empty(); }
  bool TrimCellValues() const override { return m_request.Trim; }
  std::string OutputPath() const override { return m_outputPath; }
  TTableWriter* TableWriter() override {
    if (!m_writer) m_writer = MakeTableWriter(m_request.Format, m_request.Append, m_request.Links, m_request.LocaleNumbers);
    return m_writer.get();
  }
  TTableChoice ChooseTables(const TFragmentStore& fragments) override { return *ChoiceWithoutFragments(fragments.size()); }
  std::optional<TTableChoice> ChoiceWithoutFragments(std::size_t) override {
    TTableChoice choice;
    if (m_request.Tables) {
      choice.Selection = *m_request.Tables;
      choice.Remember = true;
    } else {
      choice.EveryTable = true;
    }
    return choice;
  }
  bool WritesEveryTableUnlogged() const override { return m_request.Quiet && !m_request.Tables; }
  // Ctrl+C stops the job as the command line's interrupt does: the run going on is undone. Python
  // hears of signals on the thread that called convert, and only with the lock, so that thread looks
  // every so often.
  bool StopRequested() const override {
    if (m_interrupt) return true;
    if (std::this_thread::get_id() != m_caller) return false;
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastLook < std::chrono::milliseconds(10)) return false;
    m_lastLook = now;
    const py::gil_scoped_acquire lock;
    if (PyErr_CheckSignals() == 0) return false;
    m_interrupt.emplace();
    return true;
  }
  // The exception of a signal that stopped the job (KeyboardInterrupt), to raise once it has ended.
  std::optional<py::error_already_set>& Interrupt() { return m_interrupt; }
  void JobEnded(TJobEnd) override {}
  std::vector<std::string> InputListEntries() const override { return m_files; }
  int ProgressMaximum() const override { return static_cast<int>(m_files.size()); }
  void SetProgressPosition(int) override {}

  std::vector<std::string> Log;
  std::vector<std::string> Failures;
  std::vector<std::string> Notices;

 private:
  const TConvertRequest& m_request;
  std::vector<std::string> m_files;
  std::string m_outputPath;
  std::unique_ptr<TTableWriter> m_writer;
  std::thread::id m_caller = std::this_thread::get_id();
  mutable std::chrono::steady_clock::time_point m_lastLook = std::chrono::steady_clock::now();
  mutable std::optional<py::error_already_set> m_interrupt;
};

bool IsHtmlFileName(const std::string& name) { return name.ends_with(".htm") || name.ends_with(".html"); }

// The files to convert, as the command line finds them: files as given, folders searched for .htm and
// .html files (symbolic links to folders not followed). A folder that cannot be searched is a failure.
std::vector<std::string> InputFiles(const std::vector<std::string>& paths, std::vector<std::string>& failures) {
  std::vector<std::string> files;
  for (const std::string& path : paths) {
    std::error_code error;
    if (!fs::is_directory(path, error)) {
      const fs::path absolute = fs::absolute(path, error);
      files.push_back((error ? fs::path(path) : absolute).lexically_normal().string());
      continue;
    }
    fs::recursive_directory_iterator walk(path, fs::directory_options::skip_permission_denied, error);
    for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
      const std::string name = walk->path().filename().string();
      std::error_code kind;
      if (IsHtmlFileName(name) && walk->is_regular_file(kind))
        files.push_back(fs::absolute(walk->path()).lexically_normal().string());
    }
    if (error) failures.push_back("cannot search folder " + path + ": " + error.message());
  }
  return files;
}

py::dict Convert(const std::vector<std::string>& paths, const py::object& outputDir, const py::object& append,
                 const std::string& format, bool trim, const py::object& tables, bool links,
                 const std::string& numbers, bool quiet, const py::object& threads) {
  TConvertRequest request;
  request.Threads = ThreadCount(threads);
  if (outputDir.is_none() == append.is_none())
    throw TPythonError(outputDir.is_none() ? "convert needs output_dir or append" : "use either output_dir or append, not both");
  if (!outputDir.is_none()) request.OutputDir = FileSystemPath(outputDir);
  if (!append.is_none()) request.Append = FileSystemPath(append);
  if (request.OutputDir.empty() && request.Append.empty()) throw TPythonError("the output path is empty");
  if (request.Append == "-") throw TPythonError("append cannot be standard output; give a file");
  const std::optional<TOutputFormat> known = OutputFormatNamed(format);
  if (!known) throw TPythonError("format takes xls, xlsx, csv or jsonl, not '" + format + "'");
  request.Format = *known;
  if (numbers != "exact" && numbers != "locale") throw TPythonError("numbers takes exact or locale, not '" + numbers + "'");
  request.LocaleNumbers = numbers == "locale";
  if (links && request.Format != TOutputFormat::Csv && request.Format != TOutputFormat::Jsonl)
    throw TPythonError("links needs format csv or jsonl (an xlsx cell that is one link is a hyperlink)");
  if (request.LocaleNumbers && request.Format != TOutputFormat::Xlsx)
    throw TPythonError("numbers='locale' needs format xlsx (csv and jsonl cells are the page's text)");
  if (!tables.is_none()) {
    std::vector<std::string> positions;
    for (std::size_t number : TableNumbers(tables)) positions.push_back(std::to_string(number - 1));
    request.Tables = std::move(positions);
  }
  if (paths.empty()) throw TPythonError("convert needs at least one path");
  request.Paths = paths;
  request.Trim = trim;
  request.Links = links;
  request.Quiet = quiet;

  std::vector<std::string> searchFailures;
  std::optional<TConversionJob> job;
  std::optional<TPythonJobHost> host;
  {
    py::gil_scoped_release unlock;
    if (request.Format == TOutputFormat::Xlsx && !request.Append.empty()) {
      if (const std::string problem = ReplaceTargetProblem(request.Append); !problem.empty())
        throw TPythonError("cannot write the workbook to " + request.Append + ": " + problem);
    }
    if (!request.OutputDir.empty()) {
      std::error_code error;
      fs::create_directories(request.OutputDir, error);
      if (error) throw TPythonError("cannot create output folder " + request.OutputDir + ": " + error.message());
    }
    std::vector<std::string> files = InputFiles(request.Paths, searchFailures);
    if (files.empty() && searchFailures.empty()) throw TPythonError("no .htm or .html files found");
    TFileIdentity target;
    if (!request.Append.empty() && FileIdentityOf(request.Append, target)) {
      for (const std::string& file : files) {
        TFileIdentity identity;
        if (FileIdentityOf(file, identity) && identity == target)
          throw TPythonError("cannot append to " + request.Append + ": it is the input file " + file);
      }
    }
    host.emplace(request, files);
    job.emplace(*host);
    job->SetThreads(request.Threads);
    job->FileQueue().AddAll(std::move(files));
    host->RunJob(*job);
  }
  if (host->Interrupt()) throw *host->Interrupt();
  std::vector<std::string> failures = std::move(searchFailures);
  failures.insert(failures.end(), host->Failures.begin(), host->Failures.end());
  if (job->AbortJob()) failures.push_back("stopped: the output file could not be created");
  for (const std::string& file : job->NotConverted()) failures.push_back("not converted: " + file);
  py::dict summary;
  summary["files_converted"] = job->FilesConverted();
  summary["tables_written"] = job->TablesWritten();
  summary["failed_files"] = job->FailedFiles();
  summary["failures"] = failures;
  summary["notices"] = host->Notices;
  summary["log"] = host->Log;
  return summary;
}

// --- render --------------------------------------------------------------------------------------------

constexpr int kMaxRenderWidth = 6000;  // as wide as the viewer ever paints
constexpr int kPdfMaxPages = 1000;     // as the command's --max-pages by default

// One render at a time: the toolkit's application and fonts are shared.
std::mutex g_renderLock;

// The application a picture needs: the one the process has, else one made on the offscreen platform.
void EnsureGuiApplication() {
  if (QCoreApplication::instance()) {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
      throw TPythonError("render needs a QGuiApplication, and the process has a QCoreApplication");
    return;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "corvane";
  static char* argv[] = {name, nullptr};
  static QGuiApplication* application = new QGuiApplication(argc, argv);
  static_cast<void>(application);
}

py::list Render(const py::object& source, const py::object& output, int width, const py::object& table, int maxHeight) {
  TPageSource page = PageSourceOf(source);
  const std::string path = FileSystemPath(output);
  if (width < 1 || width > kMaxRenderWidth)
    throw TPythonError("width takes 1 to " + std::to_string(kMaxRenderWidth) + " pixels");
  if (maxHeight < 1) throw TPythonError("max_height takes a number of pixels from 1");
  int tableNumber = 0;
  if (!table.is_none()) {
    if (py::isinstance<py::bool_>(table) || !py::isinstance<py::int_>(table) || table.cast<long long>() < 1 ||
        table.cast<long long>() > 1'000'000'000)
      throw TPythonError("table takes a table number counted from 1");
    tableNumber = table.cast<int>();
  }
  const bool pdf = path.ends_with(".pdf");
  if (!pdf && !path.ends_with(".png")) throw TPythonError("render writes a .png or a .pdf file, not " + path);
  const std::string name = page.InMemory ? std::string("the page") : page.Path;
  std::vector<std::string> notices;
  {
    py::gil_scoped_release unlock;
    std::string text = WholePage(page);
    if (const std::string problem = ReplaceTargetProblem(path); !problem.empty())
      throw TPythonError("cannot write " + path + ": " + problem);
    TFileIdentity input;
    TFileIdentity target;
    if (!page.InMemory && FileIdentityOf(page.Path, input) && FileIdentityOf(path, target) && input == target)
      throw TPythonError("cannot write " + path + ": it is the input file " + page.Path);
    if (tableNumber > 0) {
      std::vector<std::string> tables = CutTableFragments(text, TLineBreaks::Kept);
      if (static_cast<std::size_t>(tableNumber) > tables.size())
        throw TPythonError(name + " has " + std::to_string(tables.size()) + (tables.size() == 1 ? " table" : " tables") +
                           ", no table " + std::to_string(tableNumber));
      text = JoinLines({"<html><body>", std::move(tables[static_cast<std::size_t>(tableNumber - 1)]), "</body></html>"});
    }
    std::error_code code;
    const std::string reference = fs::absolute(page.Path, code).string();
    const std::lock_guard<std::mutex> lock(g_renderLock);
    EnsureGuiApplication();
    std::string error;
    bool written = false;
    if (pdf) {
      TPrintSource print;
      print.Text = std::move(text);
      print.ReferenceName = reference;
      if (page.Utf8) print.PageCharsetDeclaration = "<meta charset=\"utf-8\">";
      // As the command prints it: at most its default number of pages, built only as far as they reach.
      const std::unique_ptr<TPrintCopy> copy = MakeRenderPrintCopy(print, QPageSize::A4, kPdfMaxPages);
      notices = copy->Notices(name);
      written = PaintPrintCopyToPdf(*copy, QPageSize::A4, path, error);
    } else {
      // As the command lays a picture out: only as much of the page as reaches it above the cut.
      if (page.Utf8) text.insert(0, "\xEF\xBB\xBF");
      TPictureLayout picture = LayOutPicture(std::move(text), reference, width, maxHeight, kMaxRenderWidth);
      notices = picture.Notices(name);
      written = PaintDocumentToPng(*picture.Document, picture.Width, picture.Height, path, error);
    }
    if (!written) throw TPythonError("cannot write " + path + ": " + error);
  }
  return py::cast(notices);
}

}  // namespace

}  // namespace corvane

PYBIND11_MODULE(_corvane, module) {
  using namespace corvane;
  module.doc() = "CORVANE's libraries for Python; use the corvane package.";
  // The reason names files as the file system spells them: bytes that are not UTF-8 come back as the
  // surrogate escapes Python gives them.
  static PyObject* error = PyErr_NewException("corvane._corvane.Error", PyExc_Exception, nullptr);
  module.add_object("Error", py::reinterpret_borrow<py::object>(error));
  py::register_exception_translator([](std::exception_ptr failure) {
    try {
      if (failure) std::rethrow_exception(failure);
    } catch (const TPythonError& reason) {
      const py::object message = py::reinterpret_steal<py::object>(PyUnicode_DecodeFSDefault(reason.what()));
      if (message) PyErr_SetObject(error, message.ptr());
    }
  });

  py::class_<TPyTable>(module, "Table", "A table of a page as CORVANE reads it.")
      .def_readonly("number", &TPyTable::Number, "The table's number among the page's tables, counted from 1.")
      .def_readonly("header_rows", &TPyTable::HeaderRows,
                    "How many leading rows are header rows: every cell beginning in them is a TH or in a THEAD.")
      .def_readonly("rows", &TPyTable::Rows,
                    "The rows as lists of str, one field per grid column, as the CSV output has them: a cell's "
                    "text at its first place, the places its spans cover empty.")
      .def_readonly("header", &TPyTable::Header,
                    "The header rows with a spanning cell's text at every place it covers: the names of the "
                    "columns.")
      .def_property_readonly("links", &TPyTable::LinksDict,
                             "The absolute address of each cell that is one link, by (row, column), counted from 0.")
      .def("__repr__", [](const TPyTable& table) {
        const std::size_t rows = py::len(table.Rows);
        const std::size_t columns = rows == 0 ? 0 : py::len(table.Rows[0]);
        return "<corvane.Table " + std::to_string(table.Number) + ": " + std::to_string(rows) + " rows x " +
               std::to_string(columns) + " columns>";
      });

  module.def("_read_tables", &ReadTables, py::arg("source"), py::arg("tables"), py::arg("trim"), py::arg("encoding"),
             py::arg("links"), py::arg("typed"), py::arg("threads"));
  module.def("_convert", &Convert, py::arg("paths"), py::arg("output_dir"), py::arg("append"), py::arg("format"),
             py::arg("trim"), py::arg("tables"), py::arg("links"), py::arg("numbers"), py::arg("quiet"),
             py::arg("threads"));
  module.def("_render", &Render, py::arg("source"), py::arg("path"), py::arg("width"), py::arg("table"),
             py::arg("max_height"));
}
