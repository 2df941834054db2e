#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// Whether a fragment keeps the line breaks of the file. The rows of a table are cut from the lines
// joined without them, as the ".xls" output has always been written; someone looking at the table
// (the Table Select dialog, a picture of it) needs them, since a line break between two words is a
// space and the lines of a PRE are lines.
enum class TLineBreaks { Joined, Kept };

// Takes the fragments of a scan as they are finished, instead of the scanner keeping them all.
class TFragmentSink {
 public:
  virtual ~TFragmentSink() = default;
  // Whether the text of the fragment numbered index (from 0, in file order) is wanted. The text of the
  // other fragments is never kept: they are only counted.
  virtual bool WantsText(std::size_t index) = 0;
  // A finished fragment, with its text when it was wanted and empty otherwise; the sink may take the
  // text. Returning false ends the scan: the rest of the file is not read.
  virtual bool Take(std::size_t index, std::string& text) = 0;
};

// Cuts the text of every table that holds no other table out of an HTML file, without parsing HTML:
// it looks for "<TABLE" and "</TABLE>" in any letter case, line by line.
//
// The file is fed as a byte stream in pieces of any size. Lines end at CR, LF or CR LF; a byte of
// code 26 ends the file; blank lines are skipped; line breaks are never put back. On each line the
// earliest of the two tags is taken in turn:
// - "<TABLE" opens a table; the fragment that may follow begins with the text before the tag since the
//   previous cut on that line, then the tag and the one byte after it;
// - "</TABLE>" closes one; met outside every table it drops the rest of the line instead;
// - text outside every table is dropped with the rest of its line.
// A table yields a fragment when no other table tag stands between its opening and its closing; the
// fragment runs through the closing tag.
//
// Only the text since the last opening tag is kept besides the finished fragments, so memory stays
// close to the size of the fragments themselves, however long the lines. With a sink, the finished
// fragments go to the sink and only the wanted one being cut is held.
class TTableFragmentScanner {
 public:
  // Hands the fragments to sink (which outlives the scan) instead of keeping them. Set before the
  // first Feed.
  void SetSink(TFragmentSink* sink);
  // With TLineBreaks::Kept, each line end inside a fragment is kept as one LF, a blank line as a bare
  // LF. Deleting every LF of such a fragment gives the joined one byte for byte. Set before the first Feed.
  void SetLineBreaks(TLineBreaks lineBreaks) { m_keepLineBreaks = lineBreaks == TLineBreaks::Kept; }
  // Scans data[0, size). Returns how many bytes were consumed: all of them when atEnd is set, otherwise
  // all but at most the last seven, which may begin a tag; the caller hands those in again, followed
  // by the next bytes of the file.
  std::size_t Feed(const char* data, std::size_t size, bool atEnd);
  // Ends the scan after the last Feed: closes the last line and drops an unclosed table's text.
  void Finish();
  // Scans a whole file: read(buffer, size) fills buffer with up to size bytes and returns how many, 0
  // at the end of the file. Stops early at a byte of code 26. Calls Finish.
  void ScanAll(const std::function<std::size_t(char* buffer, std::size_t size)>& read,
               std::size_t blockSize = kDefaultBlockSize);

  static constexpr std::size_t kDefaultBlockSize = std::size_t{1} << 20;
  // True once a byte of code 26 has been met: the rest of the file is not read.
  bool EndOfFileMarkSeen() const { return m_endMarkSeen; }
  // True once the sink has ended the scan, or the text waiting outside a fragment outgrew its limit.
  bool Stopped() const { return m_stopped; }
  // Ends the scan (Stopped, Overflowed) when the text held for a fragment that may yet begin on the
  // current line (the text before a "<TABLE" belongs to its fragment) grows past limit bytes: a long
  // line without tables then costs no memory to a caller that can scan the file another way. 0: none.
  void SetPendingLimit(std::size_t limit) { m_pendingLimit = limit; }
  bool Overflowed() const { return m_overflowed; }
  // How many fragments were finished so far.
  std::size_t FragmentCount() const { return m_count; }

  // For a scan split into pieces scanned apart (see TChunkedTableScan):
  // The offset, counted from the first byte fed, just past the "</TABLE>" of the fragment being taken;
  // valid while the sink's Take runs.
  std::uint64_t TagEnd() const { return m_tagEnd; }
  // True when the scan stands outside every table at the start of a line: what follows is scanned as a
  // new scan would scan it (only the fragments' numbers go on).
  bool AtLineStartOutsideTables() const { return m_depth == 0 && m_lineStart; }
  // Like Feed, but returns just after the first line end where the scan stands outside every table
  // (PausedOutside then says so); the bytes after it are still to be fed.
  std::size_t FeedUntilOutside(const char* data, std::size_t size, bool atEnd);
  bool PausedOutside() const { return m_paused; }

  const std::vector<std::string>& Fragments() const { return m_fragments; }
  std::vector<std::string> TakeFragments() { return std::move(m_fragments); }

 private:
  std::size_t FeedBytes(const char* data, std::size_t size, bool atEnd);
  void AppendText(const char* begin, const char* end);
  void OpenTag(const char* tag);
  void CloseTag(const char* tag);
  void EndLine();

  std::vector<std::string> m_fragments;
  TFragmentSink* m_sink = nullptr;
  std::size_t m_count = 0;
  bool m_keepText = true;  // the text of the fragment that may come next is wanted
  bool m_stopped = false;
  // The candidate fragment (when the last table tag met was an opening one), followed by the text
  // of the current line since its last cut.
  std::string m_kept;
  std::size_t m_cut = 0;  // length of the candidate part of m_kept
  bool m_inCandidate = false;
  std::size_t m_depth = 0;
  bool m_lineHasText = false;    // a byte above code 32 was met on the current line
  bool m_skipToLineEnd = false;  // the rest of the line is dropped
  bool m_takeNextByte = false;   // the byte after "<TABLE" still belongs to the opening piece
  bool m_endMarkSeen = false;
  bool m_keepLineBreaks = false;
  bool m_crPending = false;  // with line breaks kept: the last line ended at a CR
  std::size_t m_pendingLimit = 0;
  bool m_overflowed = false;
  std::uint64_t m_fed = 0;      // bytes consumed by the Feed calls before the current one
  std::uint64_t m_tagEnd = 0;   // see TagEnd
  bool m_lineStart = true;      // no byte of the current line has been consumed yet
  bool m_pauseOutside = false;  // FeedUntilOutside is running
  bool m_paused = false;
};

// Convenience for whole texts in memory: the fragments of text.
std::vector<std::string> CutTableFragments(std::string_view text, TLineBreaks lineBreaks = TLineBreaks::Joined);

// Turns a fragment cut with its line breaks kept into the joined one, in place.
void JoinFragmentLines(std::string& fragment);

}  // namespace corvane
