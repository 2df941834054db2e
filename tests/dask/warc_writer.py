"""Makes web archives from test pages, as a crawler writes them: WARC records, plain or one gzip member each."""

import gzip
import zlib


def http_response(page, content_type="text/html", chunked=False, encoding=""):
    body = page
    if encoding == "gzip":
        body = gzip.compress(body)
    elif encoding == "deflate":
        body = zlib.compress(body)
    if chunked:
        body = b"%x\r\n%s\r\n%x\r\n%s\r\n0\r\n\r\n" % (min(5, len(body)), body[:5], len(body[5:]), body[5:])
    head = b"HTTP/1.1 200 OK\r\nContent-Type: " + content_type.encode() + b"\r\n"
    if chunked:
        head += b"Transfer-Encoding: chunked\r\n"
    if encoding:
        head += b"Content-Encoding: " + encoding.encode() + b"\r\n"
    return head + b"\r\n" + body


def record(kind, url, block, number, length=None):
    head = (f"WARC/1.1\r\nWARC-Type: {kind}\r\nWARC-Target-URI: {url}\r\n"
            f"WARC-Date: 2024-05-01T10:00:{number % 60:02d}Z\r\nWARC-Record-ID: <urn:uuid:{number}>\r\n"
            f"Content-Type: application/http; msgtype={kind}\r\n"
            f"Content-Length: {len(block) if length is None else length}\r\n\r\n")
    return head.encode() + block + b"\r\n\r\n"


def archive(records, gzipped):
    return b"".join(gzip.compress(r, 6) if gzipped else r for r in records)
