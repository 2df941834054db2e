#include "app/png_band_writer.h"

#include <QImage>

#include <png.h>

#include <new>
#include <vector>

#include "extract/byte_file.h"

namespace corvane {

namespace {

// libpng reports errors by a long jump to the last setjmp: each call into it sits in a function of its
// own that holds no object with a destructor.
bool WriteHeader(png_structp png, png_infop info, void* writer, png_rw_ptr write, int width, int height) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, writer, write, nullptr);
  // Tall pages are the point of writing in bands: allow every size the format holds.
  png_set_user_limits(png, 0x7fffffff, 0x7fffffff);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  // A rendered page is mostly flat colour, which a fast level packs about as well as a slow one; the
  // adaptive row filters cost more than they save on it. (table_5000: 2.7 s of CPU at filters and level
  // 6, 1.0 s with no filter at level 2, and a file 1% smaller.)
  png_set_filter(png, 0, PNG_FILTER_NONE);
  png_set_compression_level(png, 2);
  png_write_info(png, info);
  return true;
}

bool WriteRow(png_structp png, png_bytep row) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_write_row(png, row);
  return true;
}

bool WriteEnd(png_structp png, png_infop info) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_write_end(png, info);
  return true;
}

void IgnoreWarning(png_structp, png_const_charp) {}

// Keeps libpng's message for the error text, then leaves through the long jump.
void KeepError(png_structp png, png_const_charp message) {
  if (auto* error = static_cast<std::string*>(png_get_error_ptr(png))) *error = message ? message : "PNG error";
  png_longjmp(png, 1);
}

}  // namespace

TPngBandWriter::TPngBandWriter() = default;

TPngBandWriter::~TPngBandWriter() {
  if (m_png) {
    auto png = static_cast<png_structp>(m_png);
    auto info = static_cast<png_infop>(m_info);
    png_destroy_write_struct(&png, &info);
  }
}

// A failed write names the system's reason; other failures libpng's.
std::string TPngBandWriter::ErrorText() const {
  if (!m_writeError.empty()) return m_writeError;
  return m_libraryError.empty() ? "PNG error" : m_libraryError;
}

// libpng's output: the bytes go to the output file. A failure is kept and leaves through libpng's error,
// once the exception is done with (no C++ exception may cross libpng).
void TPngBandWriter::WriteData(void* png, unsigned char* data, std::size_t length) {
  auto* writer = static_cast<TPngBandWriter*>(png_get_io_ptr(static_cast<png_structp>(png)));
  try {
    writer->m_output->Write(std::string_view(reinterpret_cast<const char*>(data), length));
    return;
  } catch (const TFileError& error) {
    writer->m_writeError = error.Code() != 0 ? corvane::ErrorText(error.Code()) : error.what();
  } catch (const std::bad_alloc&) {
    writer->m_writeError = "out of memory";
  }
  png_error(static_cast<png_structp>(png), "write failed");
}

bool TPngBandWriter::Fail(const std::string& message) {
  if (m_error.empty()) m_error = message;
  return false;
}

bool TPngBandWriter::Open(TOutputFile& output, int width, int height) {
  m_width = width;
  m_height = height;
  m_output = &output;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &m_libraryError, KeepError, IgnoreWarning);
  if (!png) return Fail("out of memory");
  m_png = png;
  png_infop info = png_create_info_struct(png);
  if (!info) return Fail("out of memory");
  m_info = info;
  auto write = [](png_structp png, png_bytep data, png_size_t length) { WriteData(png, data, length); };
  if (!WriteHeader(png, info, this, write, width, height)) return Fail(ErrorText());
  return true;
}

bool TPngBandWriter::WriteRows(const QImage& band, int rows) {
  if (!m_png) return Fail("not open");
  std::vector<png_byte> row(static_cast<std::size_t>(m_width) * 3);
  for (int y = 0; y < rows && m_written < m_height; ++y, ++m_written) {
    const auto* pixels = reinterpret_cast<const QRgb*>(band.constScanLine(y));
    for (int x = 0; x < m_width; ++x) {
      const QRgb pixel = pixels[x];
      row[static_cast<std::size_t>(x) * 3] = static_cast<png_byte>(qRed(pixel));
      row[static_cast<std::size_t>(x) * 3 + 1] = static_cast<png_byte>(qGreen(pixel));
      row[static_cast<std::size_t>(x) * 3 + 2] = static_cast<png_byte>(qBlue(pixel));
    }
    if (!WriteRow(static_cast<png_structp>(m_png), row.data())) return Fail(ErrorText());
  }
  return true;
}

bool TPngBandWriter::Close() {
  if (!m_png || !m_output) return Fail("not open");
  if (m_written != m_height) return Fail("the picture is incomplete");
  if (!WriteEnd(static_cast<png_structp>(m_png), static_cast<png_infop>(m_info))) return Fail(ErrorText());
  return true;
}

}  // namespace corvane
