"""convert runs the conversion job, render writes pictures, and the lock is released while they work."""

import os
import subprocess
import sys
import textwrap
import threading

import pytest

import corvane

PAGE = b"<table><tr><th>a<th>b<tr><td>1<td>x</table><table><tr><td>second</table>"


def test_convert_writes_and_sums_up(tmp_path):
    pages = tmp_path / "pages"
    (pages / "sub").mkdir(parents=True)
    (pages / "one.html").write_bytes(PAGE)
    (pages / "sub" / "two.htm").write_bytes(PAGE)
    (pages / "notes.txt").write_text("not a page")
    out = tmp_path / "out"
    summary = corvane.convert([pages], output_dir=out, format="csv")
    assert (summary.files_converted, summary.tables_written, summary.failures) == (2, 4, [])
    assert summary.ok
    assert sorted(os.listdir(out)) == ["one.html.csv", "two.htm.csv"]
    assert (out / "one.html.csv").read_bytes() == b"\xef\xbb\xbfa,b\r\n1,x\r\n\r\nsecond\r\n"

    summary = corvane.convert(pages / "one.html", append=tmp_path / "all.jsonl", format="jsonl", tables=[2],
                              quiet=False)
    assert summary.tables_written == 1
    assert (tmp_path / "all.jsonl").read_text().endswith('"table":2,"rows":[["second"]]}\n')
    assert summary.log


def test_paths_any_file_system_name(tmp_path):
    # A name that is not UTF-8 reaches Python with surrogate escapes, and the file system as it was.
    name = os.fsdecode(b"caf\xe9.html")
    (tmp_path / name).write_bytes(PAGE)
    assert [t.number for t in corvane.read_tables(str(tmp_path / name))] == [1, 2]
    summary = corvane.convert([tmp_path / name], output_dir=tmp_path / "out", format="csv")
    assert summary.files_converted == 1
    assert os.listdir(os.fsencode(tmp_path / "out")) == [b"caf\xe9.html.csv"]
    with pytest.raises(corvane.Error) as error:
        corvane.read_tables(str(tmp_path / ("no" + name)))
    assert str(error.value) == f"cannot read {tmp_path / ('no' + name)}: No such file or directory"


def test_convert_errors(tmp_path):
    page = tmp_path / "page.html"
    page.write_bytes(PAGE)
    usage = [
        (dict(), "convert needs output_dir or append"),
        (dict(output_dir=tmp_path, append=tmp_path / "a.xls"), "use either output_dir or append, not both"),
        (dict(output_dir=tmp_path, format="pdf"), "format takes xls, xlsx, csv or jsonl, not 'pdf'"),
        (dict(output_dir=tmp_path, links=True), "links needs format csv or jsonl (an xlsx cell that is one link is a hyperlink)"),
        (dict(output_dir=tmp_path, format="xlsx", numbers="roman"), "numbers takes exact or locale, not 'roman'"),
        (dict(output_dir=tmp_path, tables=[0]), "tables takes None or table numbers counted from 1, such as [1, 3]"),
        (dict(append=page), f"cannot append to {page}: it is the input file {page}"),
    ]
    for kwargs, message in usage:
        with pytest.raises(corvane.Error) as error:
            corvane.convert([page], **kwargs)
        assert str(error.value) == message
    with pytest.raises(corvane.Error) as error:
        corvane.convert([], output_dir=tmp_path)
    assert str(error.value) == "convert needs at least one path"

    # A file that fails does not stop the others; the error names it and carries the summary.
    missing = tmp_path / "missing.html"
    out = tmp_path / "out"
    with pytest.raises(corvane.Error) as error:
        corvane.convert([page, missing], output_dir=out, format="csv")
    assert str(missing) in str(error.value)
    summary = error.value.summary
    assert (summary.files_converted, summary.failed_files) == (1, [str(missing)])
    assert os.listdir(out) == ["page.html.csv"]


def test_render_png_and_pdf(tmp_path):
    page = tmp_path / "page.html"
    page.write_bytes(PAGE)
    assert corvane.render(page, tmp_path / "page.png", width=300) == []
    png = (tmp_path / "page.png").read_bytes()
    assert png[:8] == b"\x89PNG\r\n\x1a\n"
    assert int.from_bytes(png[16:20], "big") == 300
    corvane.render(page, tmp_path / "table.pdf", table=2)
    assert (tmp_path / "table.pdf").read_bytes()[:5] == b"%PDF-"
    for args, message in [((page, tmp_path / "page.gif"), f"render writes a .png or a .pdf file, not {tmp_path / 'page.gif'}"),
                          ((page, tmp_path / "t.png", 800, 3), f"{page} has 2 tables, no table 3"),
                          ((page, page.with_suffix(".png"), 0), "width takes 1 to 6000 pixels"),
                          ((tmp_path / "no.html", tmp_path / "no.png"), f"cannot read {tmp_path / 'no.html'}: No such file or directory")]:
        with pytest.raises(corvane.Error) as error:
            corvane.render(*args)
        assert str(error.value) == message


def test_reading_releases_the_lock(tmp_path):
    # read_tables reads a pipe that a Python thread of the same process writes only once the reading
    # has begun: the two can only meet when the reading waits without holding the lock. Were the lock
    # held, the child would hang and the timeout end it.
    fifo = tmp_path / "page.fifo"
    os.mkfifo(fifo)
    script = textwrap.dedent(f"""
        import threading, corvane
        def write():
            with open({str(fifo)!r}, "wb") as pipe:
                pipe.write({PAGE!r})
        writer = threading.Thread(target=write)
        writer.start()
        print([t.rows for t in corvane.read_tables({str(fifo)!r})])
        writer.join()
    """)
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=60, cwd=tmp_path)
    assert done.stdout == "[[['a', 'b'], ['1', 'x']], [['second']]]\n", done.stderr


def test_threads_read_at_once(tmp_path):
    # Two threads, each reading its own page while the other does: the results are each page's own.
    pages = []
    for k in range(2):
        rows = "".join(f"<tr><td>{k}-{r}<td>{r * 2}" for r in range(3000))
        pages.append(f"<table>{rows}</table>" * 20)
    results = [None, None]
    barrier = threading.Barrier(2)

    def read(k):
        barrier.wait()
        results[k] = corvane.read_tables(pages[k])

    threads = [threading.Thread(target=read, args=(k,)) for k in range(2)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    for k in range(2):
        assert len(results[k]) == 20
        assert results[k][19].rows[2999] == [f"{k}-2999", "5998"]


def test_interrupted_reading_ends_cleanly(tmp_path):
    # Ctrl+C while a page is read: the reading stops at the next table it hands over, its thread ends,
    # and KeyboardInterrupt reaches the caller. The page comes through a pipe, so that the interrupt
    # comes while the reading goes on.
    fifo = tmp_path / "page.fifo"
    os.mkfifo(fifo)
    script = textwrap.dedent(f"""
        import os, signal, threading, corvane
        table = "<table>" + "<tr><td>cell<td>1" * 2000 + "</table>\\n"
        def write():
            with open({str(fifo)!r}, "w") as pipe:
                pipe.write(table * 100)
                pipe.flush()
                os.kill(os.getpid(), signal.SIGINT)
                pipe.write(table * 100)
        writer = threading.Thread(target=write)
        writer.start()
        try:
            corvane.read_tables({str(fifo)!r})
            print("read whole")
        except KeyboardInterrupt:
            print("interrupted")
        writer.join()
    """)
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=60, cwd=tmp_path)
    assert (done.stdout, done.returncode) == ("interrupted\n", 0), done.stderr


def test_interrupted_convert_undoes_its_run(tmp_path):
    # Ctrl+C during a job: the file being converted gets no output, the ones before keep theirs, and
    # KeyboardInterrupt reaches the caller once the job has ended. The interrupt comes once the first
    # file's output is there, while the second, large one is converted.
    (tmp_path / "a.html").write_text("<table><tr><td>small</table>")
    (tmp_path / "b.html").write_text("<table>" + "<tr><td>cell<td>2<td><b>bold</b>" * 600000 + "</table>")
    script = textwrap.dedent(f"""
        import os, signal, threading, time, corvane
        def interrupt():
            while not os.path.exists("out/a.html.csv"):
                time.sleep(0.001)
            os.kill(os.getpid(), signal.SIGINT)
        threading.Thread(target=interrupt, daemon=True).start()
        try:
            corvane.convert(["a.html", "b.html"], output_dir="out", format="csv")
            print("converted")
        except KeyboardInterrupt:
            print("interrupted", sorted(os.listdir("out")))
    """)
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=60, cwd=tmp_path)
    assert done.stdout == "interrupted ['a.html.csv']\n", done.stderr
