#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

namespace corvane {

// A file could not be opened, read or written; the message names the file and the reason.
class TFileError : public std::runtime_error {
 public:
  explicit TFileError(const std::string& message, int code = 0) : std::runtime_error(message), m_code(code) {}
  // The errno value behind a failed system call; 0 when there is none.
  int Code() const { return m_code; }

 private:
  int m_code = 0;
};

// "reason" text for an errno value, safe on any thread.
std::string ErrorText(int error);

// What makes two paths the same file: its device and inode (a hard link, a symbolic link, a folder
// reached twice).
struct TFileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool operator==(const TFileIdentity&) const = default;
};

struct TFileIdentityHash {
  std::size_t operator()(const TFileIdentity& id) const {
    return std::hash<std::uint64_t>()(id.inode * 0x9E3779B97F4A7C15ull ^ id.device);
  }
};

// The identity of the file at path (symbolic links followed); false when there is none.
bool FileIdentityOf(const std::string& path, TFileIdentity& identity);

// An input file read as raw bytes. Only regular files are read: a FIFO or a device would block or
// never end, so opening one fails at once.
class TInputFile {
 public:
  // Throws TFileError when the file cannot be opened or is not a regular file.
  explicit TInputFile(std::string path);
  ~TInputFile();
  TInputFile(const TInputFile&) = delete;
  TInputFile& operator=(const TInputFile&) = delete;

  // Reads up to size bytes; returns 0 at the end of the file. Throws TFileError when reading fails.
  std::size_t Read(char* buffer, std::size_t size);
  // Reads up to size bytes at offset, leaving the position of Read as it is; 0 at the end of the file.
  // Safe from several threads at once. Throws TFileError when reading fails.
  std::size_t ReadAt(std::uint64_t offset, char* buffer, std::size_t size) const;
  // Goes back to the first byte, for another pass over the file.
  void Rewind();
  // Goes to the byte at offset: the next Read starts there.
  void Seek(std::uint64_t offset);
  const std::string& Path() const { return m_path; }
  const TFileIdentity& Identity() const { return m_identity; }
  // The size when the file was opened.
  std::uint64_t Size() const { return m_size; }
  // Throws TFileError when the file's size is no longer the size it had when it was opened: what was
  // read of it may be neither the old file nor the new one.
  void CheckUnchanged() const;

 private:
  std::string m_path;
  int m_fd = -1;
  TFileIdentity m_identity;
  std::uint64_t m_size = 0;
};

// Why a file may not take path's place by a rename: empty when path names nothing or a regular file.
// Anything else (a device, a FIFO, a folder, a symbolic link even to a regular file) is not ours to
// replace: a rename would destroy it, or the link, rather than write through it.
std::string ReplaceTargetProblem(const std::string& path);

// The folder part of an output path, as the file's folder is opened: "." when there is none.
std::string FolderOf(const std::string& path);

// A file without a name, made ahead of time in an output folder for TOutputFile::Open to write (see
// Replace below). Closed unused, it leaves nothing behind.
class TUnnamedFile {
 public:
  TUnnamedFile() = default;
  // Nothing open when the folder's file system has no unnamed files or the folder takes no new file.
  static TUnnamedFile MakeIn(const std::string& folder);
  ~TUnnamedFile();
  TUnnamedFile(TUnnamedFile&& other) noexcept;
  TUnnamedFile& operator=(TUnnamedFile&& other) noexcept;

  bool IsOpen() const { return m_fd >= 0; }
  const std::string& Folder() const { return m_folder; }
  // Hands the descriptor over to the caller.
  int Release();

 private:
  int m_fd = -1;
  std::string m_folder;
};

enum class TOutputMode { Replace, Append, StandardOutput };

// An output file written through a buffer, so that a run that does not finish never leaves a damaged
// file behind:
// - Replace writes a file without a name (or, where the file system has none, a hidden temporary file)
//   in the target's folder; Commit gives it the target's name, replacing an earlier file at once.
//   Until then an earlier file at the target stays as it was; the file that replaces it keeps its
//   permission bits, and its owner where the process may give it.
// - Append writes at the end of the target (created when missing); a file abandoned before Commit is
//   cut back to the size it had when it was opened (and removed when the open created it).
// - StandardOutput writes to the process's standard output (the path only names it in messages). What
//   has gone out cannot be taken back: an abandoned run only drops what is still buffered.
// Only regular files are appended to, each run holding an exclusive lock (flock) on the file until it
// is committed or abandoned: a second job appending meanwhile fails to open it. Write and Commit throw TFileError when writing fails; a file
// destroyed without Commit is abandoned.
class TOutputFile {
 public:
  TOutputFile() = default;
  ~TOutputFile();
  TOutputFile(const TOutputFile&) = delete;
  TOutputFile& operator=(const TOutputFile&) = delete;

  // Returns false with the reason in error when the file cannot be created or opened; throws
  // TFileError for an append target that exists but is not a regular file or a folder.
  // spare: for Replace, an unnamed file already made, taken when it lies in the target's folder.
  bool Open(const std::string& path, TOutputMode mode, std::error_code& error, TUnnamedFile* spare = nullptr);
  void Write(std::string_view bytes);
  // Writes what is buffered and puts the file in place.
  void Commit();
  // Undoes the run's writing (see above). Never throws.
  void Abandon() noexcept;

  bool IsOpen() const { return m_fd >= 0; }
  // Append: the file's size before this run; 0 otherwise.
  std::uint64_t StartSize() const { return m_mode == TOutputMode::Append ? m_startSize : 0; }
  TOutputMode Mode() const { return m_mode; }
  // The target file (Append) once opened.
  const TFileIdentity& Identity() const { return m_identity; }

 private:
  void Flush();
  void WriteAll(const char* bytes, std::size_t size);
  void NameUnnamedFile();
  void KeepTargetsOwnerAndMode();

  std::string m_path;
  std::string m_temporary;  // Replace: the file written, renamed to m_path by Commit
  TOutputMode m_mode = TOutputMode::Replace;
  int m_fd = -1;
  bool m_unnamed = false;          // Replace: the file has no name until Commit
  bool m_created = false;          // Append: the open created the file
  std::uint64_t m_startSize = 0;   // Append: the size before this run
  TFileIdentity m_identity;
  std::unique_ptr<char[]> m_buffer;
  std::size_t m_capacity = 0;
  std::size_t m_used = 0;
};

}  // namespace corvane
