#!/usr/bin/python3
"""Times the corvane Python module against the corvane program.

  PYTHONPATH=build/python bench/python_bench.py [--corvane build/src/app/corvane] [--size-mb 50]
      [--dir /tmp/corvane-bench] [--repeat 3] [--threads-only]

1. read_tables on a generated page of SIZE_MB (with and without its links resolved) against
   `corvane convert -q --format csv -o DIR` of it (best of REPEAT each), and their ratios;
2. read_tables on 4 pages of SIZE_MB/4 one after the other, and on 4 threads at once, the two runs
   alternating REPEAT times: each pair's wall and processor times, and the speed-up by wall time (best
   and median); first with threads=1 (each call on its own thread alone, a core each), then with the
   default threads (a lone call reads on three), then with convert(threads=1) writing CSV files, which
   makes no Python objects of the tables. --threads-only measures this part alone.

On a machine others share, the wall times depend on their load; the processor times say whether the
threads did more work than the calls one after another (contention), whatever the load.

Generated pages are kept in DIR: tables of 50 rows of 8 cells with formatting tags, references and
attributes, some nested in layout tables, tags in mixed letter case; the same size gives the same bytes.
"""

import argparse
import os
import random
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time

import corvane

WORDS = ["alpha", "beta", "gamma", "delta", "Ölmühle", "café", "naïve", "price", "total", "name"]


def generate_page(path, size_bytes):
    """Writes a page of about size_bytes bytes of tables."""
    rng = random.Random(size_bytes)
    with open(path + ".part", "w", encoding="utf-8") as out:
        out.write("<html><head><meta charset=\"utf-8\"><title>tables</title></head><body>\n")
        written = 0
        number = 0
        while written < size_bytes:
            number += 1
            nested = number % 7 == 0
            parts = ["<TABLE class=\"layout\"><tr><td>\n" if nested else "",
                     f"<table border=1 id=\"t{number}\">\n<thead><tr>"]
            parts += [f"<th>Column {c}</th>" for c in range(8)]
            parts.append("</tr></thead>\n")
            for row in range(50):
                cells = []
                for column in range(8):
                    kind = (row + column + number) % 6
                    if kind == 0:
                        cells.append(f"<td align=right>{rng.randint(-99999, 99999) / 100}</td>")
                    elif kind == 1:
                        cells.append(f"<TD><b>{rng.choice(WORDS)}</b> &amp; {rng.choice(WORDS)}</TD>")
                    elif kind == 2:
                        cells.append(f"<td><a href=\"page{row}.html\">{rng.choice(WORDS)}</a></td>")
                    elif kind == 3:
                        cells.append(f"<td>{rng.randint(0, 10**6)}</td>")
                    elif kind == 4:
                        cells.append(f"<td><i>{rng.choice(WORDS)}</i>&nbsp;{rng.choice(WORDS)}<br>line</td>")
                    else:
                        cells.append(f"<td style=\"color:red\">{rng.choice(WORDS)} &lt;{column}&gt;</td>")
                parts.append("<tr>" + "".join(cells) + "</tr>\n")
            parts.append("</table>\n" + ("</td></tr></TABLE>\n" if nested else ""))
            text = "".join(parts)
            out.write(text)
            written += len(text.encode("utf-8"))
        out.write("</body></html>\n")
    os.replace(path + ".part", path)


def page_of(directory, size_mb, name="tables"):
    path = os.path.join(directory, f"{name}-{size_mb:g}mb-py.html")
    if not os.path.exists(path):
        os.makedirs(directory, exist_ok=True)
        generate_page(path, int(size_mb * 1e6))
    return path


def best_of(repeat, run):
    """The least wall time of repeat runs, and the least processor time (of this process's threads and
    of the programs it ran) of one."""
    times = []
    processor = []
    for _ in range(repeat):
        start = time.perf_counter()
        used = time.process_time() + children_time()
        run()
        times.append(time.perf_counter() - start)
        processor.append(time.process_time() + children_time() - used)
    return min(times), min(processor)


def children_time():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def compare_with_program(args):
    """read_tables on one page against the program's CSV conversion of it."""
    page = page_of(args.dir, args.size_mb)
    out = tempfile.mkdtemp(prefix="corvane-python-bench-")
    try:
        program = best_of(args.repeat, lambda: subprocess.run(
            [args.corvane, "convert", "-q", "--format", "csv", "-o", out, page], check=True))
    finally:
        shutil.rmtree(out)
    counts = []
    module = best_of(args.repeat, lambda: counts.append(len(corvane.read_tables(page))))
    print(f"{os.path.basename(page)}: {counts[-1]} tables; wall time, processor time (best of {args.repeat})")
    print(f"corvane convert -q --format csv  {program[0]:7.3f} s {program[1]:7.3f} s")
    print(f"corvane.read_tables              {module[0]:7.3f} s {module[1]:7.3f} s  "
          f"({module[0] / program[0]:.2f} x the program's wall time)")
    plain = best_of(args.repeat, lambda: corvane.read_tables(page, links=False))
    print(f"corvane.read_tables(links=False) {plain[0]:7.3f} s {plain[1]:7.3f} s  "
          f"({plain[0] / program[0]:.2f} x; the program's CSV resolves no links either)")


def timed(run):
    """The wall time and the processor time (of this process's threads) of one run."""
    start = time.perf_counter()
    used = time.process_time()
    run()
    return time.perf_counter() - start, time.process_time() - used


def compare_threads(args):
    """4 pages read one after the other against 4 threads each reading one, alternating; with calls of
    one thread each, then with the default; then the same pages converted to CSV by convert(threads=1),
    which makes no Python objects of the tables, for the scaling the lock leaves read_tables."""
    pages = [page_of(args.dir, args.size_mb / 4, f"thread{k}") for k in range(4)]
    out = tempfile.mkdtemp(prefix="corvane-python-bench-")

    def convert(k):
        corvane.convert([pages[k]], output_dir=os.path.join(out, str(k)), format="csv", threads=1)

    series = [(lambda k, threads=threads: corvane.read_tables(pages[k], threads=threads), title)
              for threads, title in ((1, "threads=1"), (None, "default threads"))]
    series.append((convert, "convert to csv, threads=1"))
    try:
        for work, title in series:
            def one_by_one():
                for k in range(len(pages)):
                    work(k)

            def at_once():
                workers = [threading.Thread(target=work, args=(k,)) for k in range(len(pages))]
                for worker in workers:
                    worker.start()
                for worker in workers:
                    worker.join()

            print(f"4 pages of {args.size_mb / 4:g} MB, {title}: one by one, then on 4 threads; wall time, processor "
                  f"time ({os.cpu_count()} cores, load {os.getloadavg()[0]:.1f})")
            ratios, alones, threadeds, busy = [], [], [], []
            for run in range(args.repeat):
                alone = timed(one_by_one)
                threaded = timed(at_once)
                ratios.append(alone[0] / threaded[0])
                alones.append(alone[0])
                threadeds.append(threaded[0])
                busy.append(threaded[1] / threaded[0])
                print(f"  run {run + 1}: one by one {alone[0]:7.3f} s {alone[1]:7.3f} s   4 threads {threaded[0]:7.3f} s "
                      f"{threaded[1]:7.3f} s   {ratios[-1]:.2f} x")
            print(f"{title}, 4 threads against one by one: {max(ratios):.2f} x best, {statistics.median(ratios):.2f} x "
                  f"median (load {os.getloadavg()[0]:.1f})")
            # The least times are the runs the machine disturbed least; cores busy tells how much of the
            # two cores the threads kept at work (the lock's waits leave them idle).
            print(f"{title}, least times: {min(alones):.3f} s one by one, {min(threadeds):.3f} s on 4 threads, "
                  f"{min(alones) / min(threadeds):.2f} x; cores busy on 4 threads, median {statistics.median(busy):.2f}")
    finally:
        shutil.rmtree(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--corvane", default="build/src/app/corvane")
    parser.add_argument("--size-mb", type=float, default=50)
    parser.add_argument("--dir", default="/tmp/corvane-bench")
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--threads-only", action="store_true",
                        help="only read_tables on 4 pages one by one against 4 threads")
    args = parser.parse_args()

    if not args.threads_only:
        compare_with_program(args)
    compare_threads(args)
    return 0


if __name__ == "__main__":
    sys.exit(main())
