#pragma once

#include <string>

class QImage;

namespace corvane {

class TOutputFile;

// Writes a PNG picture (8-bit RGB) band by band, so that a tall picture never needs to be in memory
// whole. Rows must come top to bottom until Height rows were written.
class TPngBandWriter {
 public:
  TPngBandWriter();
  ~TPngBandWriter();
  TPngBandWriter(const TPngBandWriter&) = delete;
  TPngBandWriter& operator=(const TPngBandWriter&) = delete;

  // Writes the header into output, which the caller opened and puts in place after Close. False with
  // Error() set when it cannot.
  bool Open(TOutputFile& output, int width, int height);
  // Writes the first rows of band (ARGB32 or ARGB32 premultiplied, at least Width wide).
  bool WriteRows(const QImage& band, int rows);
  // Ends the picture and writes it all to the output; false when anything failed.
  bool Close();
  const std::string& Error() const { return m_error; }

 private:
  bool Fail(const std::string& message);
  std::string ErrorText() const;
  static void WriteData(void* png, unsigned char* data, std::size_t length);

  TOutputFile* m_output = nullptr;
  std::string m_writeError;  // why the output took no more bytes
  void* m_png = nullptr;   // png_structp
  void* m_info = nullptr;  // png_infop
  int m_width = 0;
  int m_height = 0;
  int m_written = 0;
  std::string m_error;
  std::string m_libraryError;  // libpng's message of its last error
};

}  // namespace corvane
