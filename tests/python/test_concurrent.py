"""read_tables calls on several threads at once give what each call gives alone. A call that begins
while another runs reads on its own thread only, so these cases cover that way of reading too."""

import errno
import os
import threading
import time

import corvane

BIG_TABLE = "<table><thead><tr><th>n<th>word</thead>" + "".join(
    f"<tr><td>{r}<td><b>w{r}</b> &amp; <a href=\"p{r}.html\">x</a>" for r in range(400)) + "</table>\n"

# (name, source, keyword arguments): pages and options whose readings differ in every part of a Table.
CASES = [
    ("links against BASE", b'<base href="http://example.com/d/"><table><tr><td><a href="x.html">x</a>'
                           b'<td>y</table>', {}),
    ("spans", "<table><tr><td rowspan=2>a<td colspan=2>b<tr><td>c<td>d<tr><td colspan=3>e</table>", {}),
    ("header rows", "<table><thead><tr><th colspan=2>top<tr><th>l<th>r</thead><tr><td>1<td>2</table>", {}),
    ("declared charset", b'<meta charset="windows-1252"><table><tr><td>caf\xe9 \x80</table>', {}),
    ("encoding given", b"<table><tr><td>caf\xc3\xa9</table>", {"encoding": "windows-1252"}),
    ("trim", "<table><tr><td>\u00a0 padded \u00a0<td>\u0007x</table>", {"trim": True}),
    ("tables chosen", "".join(f"<table><tr><td>t{k}</table>" for k in range(1, 9)), {"tables": [2, 5, 40]}),
    ("nested", "<table><tr><td><table><tr><td>inner</table><td>outer</table>", {}),
    # Several batches of tables, and tables past the hand-over's hold.
    ("many tables", BIG_TABLE * 600, {}),
    ("links unresolved", BIG_TABLE * 50, {"links": False}),
]


def summary(tables):
    return [(t.number, t.header_rows, t.rows, t.header, t.links) for t in tables]


def alone():
    return {name: summary(corvane.read_tables(source, **options)) for name, source, options in CASES}


def test_threads_at_once_read_what_lone_calls_read():
    expected = alone()
    results = {}
    barrier = threading.Barrier(len(CASES))

    def read(name, source, options):
        barrier.wait()
        results[name] = summary(corvane.read_tables(source, **options))

    threads = [threading.Thread(target=read, args=case) for case in CASES]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    for name, _, _ in CASES:
        assert results[name] == expected[name], name


def test_calls_beside_a_waiting_call_read_what_lone_calls_read(tmp_path):
    # One call waits for a pipe's page, so every call meanwhile begins while another is under way and
    # reads on its own thread; then the waiting call gets its page and reads it whole.
    expected = alone()
    fifo = tmp_path / "page.fifo"
    os.mkfifo(fifo)
    waiting = {}
    reader = threading.Thread(target=lambda: waiting.update(tables=corvane.read_tables(str(fifo))))
    reader.start()
    # The pipe opens for writing once the waiting call has opened it for reading.
    deadline = time.monotonic() + 60
    while True:
        try:
            pipe = os.open(fifo, os.O_WRONLY | os.O_NONBLOCK)
            break
        except OSError as error:
            assert error.errno == errno.ENXIO and time.monotonic() < deadline
            time.sleep(0.01)
    try:
        for name, source, options in CASES:
            assert summary(corvane.read_tables(source, **options)) == expected[name], name
        os.set_blocking(pipe, True)
        os.write(pipe, BIG_TABLE.encode() * 30)
    finally:
        os.close(pipe)
    reader.join()
    assert summary(waiting["tables"]) == summary(corvane.read_tables(BIG_TABLE * 30))
