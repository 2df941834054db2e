#!/usr/bin/python3
"""corvane-dask on a local cluster: the same outputs as one `corvane convert`, each written once and
whole, also when a worker dies during a task."""

import glob
import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import warc_writer  # noqa: E402

CORVANE = os.environ["CORVANE"]
CORVANE_DASK = os.environ["CORVANE_DASK"]
DATA = os.environ["CORVANE_TEST_DATA_DIR"]


def make_archives(folder):
    """Archives of the test pages, plain and gzipped, and one damaged: their paths."""
    pages = sorted(glob.glob(os.path.join(DATA, "*.html")) + glob.glob(os.path.join(DATA, "fidelity", "*.html")))
    records = []
    for k, path in enumerate(pages):
        with open(path, "rb") as page:
            html = page.read()
        url = "http://example.test/" + os.path.basename(path)
        records.append(warc_writer.record("request", url, b"GET / HTTP/1.1\r\n\r\n", 1000 + k))
        records.append(warc_writer.record(
            "response", url, warc_writer.http_response(html, chunked=k % 2 == 1, encoding=("", "gzip", "deflate")[k % 3]), k))
    archives = []
    for k in range(4):
        name = os.path.join(folder, f"crawl-{k}.warc" + (".gz" if k % 2 == 0 else ""))
        with open(name, "wb") as out:
            out.write(warc_writer.archive(records[k * 10:k * 10 + 14], k % 2 == 0))
        archives.append(name)
    damaged = os.path.join(folder, "damaged.warc.gz")
    with open(damaged, "wb") as out:
        out.write(warc_writer.archive(records[:4], True)[:-25])
    return archives, damaged


def outputs(folder):
    """Every file below folder, hidden ones too, with its bytes."""
    found = {}
    for root, dirs, files in os.walk(folder):
        for name in dirs + files:
            path = os.path.join(root, name)
            if os.path.isfile(path):
                with open(path, "rb") as file:
                    found[os.path.relpath(path, folder)] = file.read()
            else:
                found[os.path.relpath(path, folder)] = None
    return found


class CorvaneDaskTest(unittest.TestCase):
    def setUp(self):
        self.temp = tempfile.TemporaryDirectory()
        self.dir = self.temp.name
        self.archives, self.damaged = make_archives(self.dir)

    def tearDown(self):
        self.temp.cleanup()

    def reference(self, archives, fmt="jsonl"):
        folder = os.path.join(self.dir, "reference-" + fmt)
        done = subprocess.run([CORVANE, "convert", "-q", "--format", fmt, "-o", folder] + archives,
                              capture_output=True, check=False)
        self.assertIn(done.returncode, (0, 1))
        return outputs(folder)

    def run_dask(self, *args, corvane=CORVANE):
        return subprocess.run([CORVANE_DASK, "--corvane", corvane] + list(args),
                              capture_output=True, text=True, check=False, timeout=100, cwd=self.dir)

    def test_two_workers_write_what_one_process_writes(self):
        expected = self.reference(self.archives + [self.damaged], "csv")
        self.assertEqual(len(expected), 5)
        out = os.path.join(self.dir, "out")
        # The plain archives go in parts of 1.5 KB, a task each; their parts together are the archive's output.
        done = self.run_dask("--local", "2", "-o", out, "--format", "csv", "--part-mb", "0.0015", *self.archives, self.damaged)
        self.assertEqual(done.returncode, 1, done.stderr)
        written = outputs(out)
        for archive in ("crawl-1.warc", "crawl-3.warc"):
            parts = sorted(name for name in written if name.startswith(archive + ".part"))
            self.assertGreater(len(parts), 2)
            self.assertEqual(parts[0], archive + ".part0001.csv")
            whole = b"".join(written.pop(part)[0 if k == 0 else 3:] for k, part in enumerate(parts))  # one byte-order mark
            written[archive + ".csv"] = whole
        self.assertEqual(written, expected, "every output whole, nothing else left in OUTDIR")
        self.assertRegex(done.stdout, r"^corvane-dask: 5 archives \(1 failed\), 60 records, 29 pages, \d+ tables, "
                                      r"[0-9.]+ MB in [0-9.]+ s: [0-9.]+ MB/s\n$")
        self.assertIn(f"corvane-dask: failed: {self.damaged}: corvane: {self.damaged}: the archive ends inside", done.stderr)

    def test_a_worker_killed_during_a_task_leaves_every_output_once(self):
        expected = self.reference(self.archives)
        # The first run on crawl-1.warc kills the worker running it, as a machine lost would; the task
        # is run again on a worker that is left or the one restarted.
        marker = os.path.join(self.dir, "killed")
        wrapper = os.path.join(self.dir, "corvane-killing")
        with open(wrapper, "w") as script:
            script.write(f"""#!/bin/sh
case "$*" in *crawl-1.warc*) if mkdir {marker} 2>/dev/null; then kill -9 $PPID; sleep 30; exit 3; fi;; esac
exec {CORVANE} "$@"
""")
        os.chmod(wrapper, 0o755)
        out = os.path.join(self.dir, "out")
        done = self.run_dask("--local", "2", "-o", out, *self.archives, corvane=wrapper)
        self.assertTrue(os.path.isdir(marker), "a worker was killed")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(outputs(out), expected)
        self.assertRegex(done.stdout, r"^corvane-dask: 4 archives \(0 failed\), ")

    def test_each_task_converts_on_one_thread_unless_told_otherwise(self):
        expected = self.reference(self.archives[:2])
        # The program as the tasks run it: its arguments noted, one line per run.
        calls = os.path.join(self.dir, "calls")
        wrapper = os.path.join(self.dir, "corvane-noting")
        with open(wrapper, "w") as script:
            script.write(f"""#!/bin/sh
echo "$*" >> {calls}
exec {CORVANE} "$@"
""")
        os.chmod(wrapper, 0o755)
        cases = [([], "--threads 1"), (["--task-threads", "2"], "--threads 2"), (["--task-threads", "auto"], None)]
        for args, threads in cases:
            out = os.path.join(self.dir, "out-" + "-".join(args))
            if os.path.exists(calls):
                os.remove(calls)
            done = self.run_dask("--local", "1", "-o", out, *args, *self.archives[:2], corvane=wrapper)
            self.assertEqual(done.returncode, 0, done.stderr)
            self.assertEqual(outputs(out), expected, args)
            with open(calls) as noted:
                lines = noted.read().splitlines()
            self.assertEqual(len(lines), 2, lines)
            for line in lines:
                if threads:
                    self.assertIn(f" {threads} ", line)
                else:
                    self.assertNotIn("--threads", line)

    def test_usage_errors(self):
        os.makedirs(os.path.join(self.dir, "other"))
        os.makedirs(os.path.join(self.dir, "empty"))
        twin = os.path.join(self.dir, "other", "crawl-0.warc.gz")
        with open(twin, "wb"):
            pass
        cases = [
            (["-o", "x", self.archives[0]], 2, "one of the arguments --scheduler --local is required"),
            (["--local", "0", "-o", "x", self.archives[0]], 2, "--local takes a number of workers from 1"),
            (["--local", "1", "-o", "x", "--format", "xlsx", self.archives[0]], 2, "invalid choice: 'xlsx'"),
            (["--local", "1", "-o", "x", "--task-threads", "0", self.archives[0]], 2,
             "--task-threads takes a number of threads from 1, or auto"),
            (["--local", "1", "-o", "x", self.archives[0], twin], 2,
             f"corvane-dask: {self.archives[0]} and {twin} would write the same output: give archives distinct names"),
            (["--local", "1", "-o", "x", os.path.join(self.dir, "other", "none")], 2,
             f"corvane-dask: no such file or folder: {os.path.join(self.dir, 'other', 'none')}"),
            (["--local", "1", "-o", "x", os.path.join(self.dir, "empty")], 2, "corvane-dask: no .warc or .warc.gz archives found"),
        ]
        for args, status, message in cases:
            done = self.run_dask(*args)
            self.assertEqual(done.returncode, status, args)
            self.assertIn(message, done.stderr, args)
        self.assertFalse(os.path.exists(os.path.join(self.dir, "x")), "nothing was written")


if __name__ == "__main__":
    unittest.main()
