"""threads= bounds the threads read_tables and convert use, and changes nothing of what they give."""

import os
import threading

import pytest

import corvane

ROWS = "".join(f"<tr><td><a href=\"p{r}.html\">item {r}</a><td rowspan=2>caf\u00e9 &amp; <b>{r}</b><td>{r}.5"
               for r in range(40))
# More than one batch of tables, and larger than a page the job reads whole into memory.
LARGE = ("<base href=\"http://t.test/\">" +
         "".join(f"<table><thead><tr><th colspan=2>t{t}<th>n</thead>{ROWS}</table>\n" for t in range(600)))
SMALL = "<table><tr><td>a<td>1</table><table><tr><th>h<tr><td>\u00a0x\u00a0</table>"

# (name, source, keyword arguments)
READINGS = [
    ("large page", LARGE, {}),
    ("large page, links unresolved", LARGE, {"links": False}),
    ("small page, trimmed", SMALL, {"trim": True}),
    ("tables chosen", LARGE, {"tables": [3, 700, 5000]}),
]


def summary(tables):
    return [(t.number, t.header_rows, t.rows, t.header, t.links) for t in tables]


def test_read_tables_gives_the_same_tables_on_any_number_of_threads():
    for name, source, options in READINGS:
        expected = summary(corvane.read_tables(source, **options))
        assert expected, name
        for threads in (1, 2, 3, 8):
            assert summary(corvane.read_tables(source, threads=threads, **options)) == expected, (name, threads)


def most_threads_while(run):
    """The most threads the process had while run ran, the one counting them not counted."""
    seen = [0]
    done = threading.Event()

    def count():
        while not done.is_set():
            seen[0] = max(seen[0], len(os.listdir("/proc/self/task")))
            done.wait(0.0005)

    before = len(os.listdir("/proc/self/task"))
    counter = threading.Thread(target=count)
    counter.start()
    try:
        run()
    finally:
        done.set()
        counter.join()
    return max(seen[0] - 1, before) - before + 1


def test_one_thread_reads_and_converts_on_the_calling_thread_alone(tmp_path):
    page = LARGE * 3
    # The count sees the reading thread a lone call starts beside the caller.
    assert most_threads_while(lambda: corvane.read_tables(page)) >= 2
    assert most_threads_while(lambda: corvane.read_tables(page, threads=1)) == 1
    assert most_threads_while(lambda: corvane.read_tables(page, threads=2)) <= 2
    path = tmp_path / "large.html"
    path.write_text(page, encoding="utf-8")
    assert most_threads_while(lambda: corvane.convert(path, output_dir=tmp_path / "1", format="csv", threads=1)) == 1
    if os.cpu_count() >= 2:
        # A large page is written on a thread beside its scan.
        assert most_threads_while(lambda: corvane.convert(path, output_dir=tmp_path / "0", format="csv")) >= 2


def without_zip_times(data):
    """A workbook's bytes with its members' times blanked: the same tables then give the same bytes."""
    data = bytearray(data)
    for signature, offset in ((b"PK\x03\x04", 10), (b"PK\x01\x02", 12)):
        at = data.find(signature)
        while at >= 0:
            data[at + offset:at + offset + 4] = bytes(4)
            at = data.find(signature, at + 1)
    return bytes(data)


def test_convert_writes_the_same_files_on_any_number_of_threads(tmp_path):
    pages = tmp_path / "pages"
    pages.mkdir()
    (pages / "large.html").write_text(LARGE, encoding="utf-8")
    for k in range(12):
        (pages / f"small{k:02}.html").write_text(SMALL * (k + 1), encoding="utf-8")
    for format in ("xls", "csv", "jsonl", "xlsx"):
        outputs = {}
        for threads in (None, 1, 2):
            out = tmp_path / f"{format}-{threads}"
            summary = corvane.convert([pages], output_dir=out, format=format, threads=threads)
            assert summary.files_converted == 13
            outputs[threads] = {name: without_zip_times((out / name).read_bytes()) for name in sorted(os.listdir(out))}
            target = tmp_path / f"all-{threads}.{format}"
            corvane.convert([pages], append=target, format=format, threads=threads)
            outputs[threads]["all"] = without_zip_times(target.read_bytes())
        assert len(outputs[None]) == 14
        assert outputs[1] == outputs[None], format
        assert outputs[2] == outputs[None], format


def test_threads_takes_a_number_from_one():
    message = "threads takes None or a number of threads from 1"
    for threads in (0, -1, True, 2.0, "2"):
        with pytest.raises(corvane.Error) as error:
            corvane.read_tables(SMALL, threads=threads)
        assert str(error.value) == message, threads
    with pytest.raises(corvane.Error) as error:
        corvane.convert(["missing.html"], output_dir="out", threads=0)
    assert str(error.value) == message
    assert summary(corvane.read_tables(SMALL, threads=10**30)) == summary(corvane.read_tables(SMALL))
