#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace corvane {

// A file could not be opened, read or written; the message names the file and the reason.
class TFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "reason" text for an errno value, safe on any thread.
std::string ErrorText(int error);

// An input file read as raw bytes.
class TInputFile {
 public:
  // Throws TFileError when the file cannot be opened.
  explicit TInputFile(std::string path);
  ~TInputFile();
  TInputFile(const TInputFile&) = delete;
  TInputFile& operator=(const TInputFile&) = delete;

  // Reads up to size bytes; returns 0 at the end of the file. Throws TFileError when reading fails.
  std::size_t Read(char* buffer, std::size_t size);
  const std::string& Path() const { return m_path; }

 private:
  std::string m_path;
  int m_fd = -1;
};

enum class TOutputMode { Replace, Append };

// An output file written through a buffer. Write and Close throw TFileError when writing fails; a file
// destroyed without Close is closed quietly.
class TOutputFile {
 public:
  TOutputFile() = default;
  ~TOutputFile();
  TOutputFile(const TOutputFile&) = delete;
  TOutputFile& operator=(const TOutputFile&) = delete;

  // Creates the file (Replace: emptied when it exists; Append: kept, written at its end). Returns
  // false with the reason in error when the file cannot be opened.
  bool Open(const std::string& path, TOutputMode mode, std::error_code& error);
  void Write(std::string_view bytes);
  void Close();

 private:
  void Flush();
  void WriteAll(const char* bytes, std::size_t size);

  std::string m_path;
  int m_fd = -1;
  std::vector<char> m_buffer;
  std::size_t m_used = 0;
};

}  // namespace corvane
