// Makes web archives from test pages: records as a crawler writes them, and damaged ones.
#pragma once

#include <zlib.h>

#include <string>
#include <string_view>
#include <vector>

namespace corvane::test {

// bits: 16 + 15 for gzip, -15 for a bare deflate stream.
inline std::string Deflated(std::string_view bytes, int bits = 16 + 15) {
  z_stream stream{};
  deflateInit2(&stream, 1, Z_DEFLATED, bits, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&stream, static_cast<uLong>(bytes.size())) + 32, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  stream.avail_in = static_cast<uInt>(bytes.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

// How a response's page is sent.
struct THttpSending {
  std::string ContentType = "text/html";
  bool Chunked = false;
  std::string Encoding;  // "gzip", "deflate" (zlib), "raw-deflate" (sent as "deflate"), or another name
};

inline std::string HttpResponse(std::string_view page, const THttpSending& sending = {}) {
  std::string body(page);
  std::string encoding = sending.Encoding;
  if (encoding == "gzip") body = Deflated(body);
  else if (encoding == "deflate") body = Deflated(body, 15);
  else if (encoding == "raw-deflate") body = Deflated(body, -15), encoding = "deflate";
  if (sending.Chunked) {
    std::string chunks;
    // Pieces of 7 bytes, then the rest: chunk boundaries fall anywhere.
    for (std::size_t at = 0; at < body.size();) {
      const std::size_t size = at == 0 ? std::min<std::size_t>(7, body.size()) : body.size() - at;
      char length[32];
      std::snprintf(length, sizeof length, "%zx;ext=1\r\n", size);
      chunks += length + body.substr(at, size) + "\r\n";
      at += size;
    }
    body = chunks + "0\r\nX-Trailer: 1\r\n\r\n";
  }
  std::string http = "HTTP/1.1 200 OK\r\nServer: test\r\nContent-Type: " + sending.ContentType + "\r\n";
  if (sending.Chunked) http += "Transfer-Encoding: chunked\r\n";
  if (!encoding.empty()) http += "Content-Encoding: " + encoding + "\r\n";
  return http + "\r\n" + body;
}

// A WARC record; length: the Content-Length written, the block's own when negative.
inline std::string WarcRecord(std::string_view type, std::string_view url, std::string_view block, int number,
                              long long length = -1, std::string_view version = "WARC/1.1") {
  std::string record(version);
  record += "\r\nWARC-Type: " + std::string(type) + "\r\nWARC-Target-URI: " + std::string(url) +
            "\r\nWARC-Date: 2024-05-0" + std::to_string(number % 9 + 1) + "T10:00:00Z\r\nWARC-Record-ID: <urn:uuid:" +
            std::to_string(number) + ">\r\nContent-Type: application/http; msgtype=" + std::string(type) +
            "\r\nContent-Length: " + std::to_string(length < 0 ? static_cast<long long>(block.size()) : length) +
            "\r\n\r\n";
  record += block;
  record += "\r\n\r\n";
  return record;
}

// An archive of records, plain or as one gzip member per record.
inline std::string WarcArchive(const std::vector<std::string>& records, bool gzip) {
  std::string archive;
  for (const std::string& record : records) archive += gzip ? Deflated(record) : record;
  return archive;
}

}  // namespace corvane::test
