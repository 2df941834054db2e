"""CORVANE from Python: the tables of HTML pages read as a browser shows them.

The functions run CORVANE's own libraries (the same reading as ``corvane convert``), with the global
interpreter lock released while they work, so that threads read and convert pages in parallel.

    >>> import corvane
    >>> tables = corvane.read_tables("prices.html")
    >>> tables[0].rows
    [['Item', 'Price'], ['Tea', '3.50']]
    >>> frames = corvane.read_html("prices.html")      # with pandas: a DataFrame per table
    >>> corvane.convert(["pages/"], output_dir="out", format="xlsx")
    ConvertSummary(files_converted=12, tables_written=40, failed_files=[], failures=[], notices=[])

A ``source`` is a path (str or os.PathLike), bytes of HTML, or a str of HTML. A str holding a "<" is
HTML text; any other str names a file. Bytes are read in the character set the page declares; a str of
HTML is read as the text it is.

Errors that CORVANE reports (a file that cannot be read, an argument it does not take, a conversion that
failed) raise corvane.Error with the reason; an argument of the wrong type raises TypeError.
"""

from __future__ import annotations

import os
from dataclasses import dataclass, field
from typing import TYPE_CHECKING, Iterable, List, Optional, Sequence, Union

from ._corvane import Error, Table, _convert, _read_tables, _render

if TYPE_CHECKING:  # pragma: no cover
    import pandas

__all__ = ["Error", "Table", "ConvertSummary", "read_tables", "read_html", "convert", "render"]

Source = Union[str, bytes, "os.PathLike[str]"]
Tables = Optional[Union[int, Iterable[int]]]
Error.__doc__ = "A failure CORVANE reports, or an argument it does not take; str(error) gives the reason."
Error.__module__ = "corvane"
Table.__module__ = "corvane"


def read_tables(source: Source, *, tables: Tables = None, trim: bool = False,
                encoding: Optional[str] = None, links: bool = True,
                threads: Optional[int] = None) -> List[Table]:
    """The tables of a page, as ``corvane convert --format csv`` reads them.

    Every table that holds no other table, in page order. Each Table has:
      number       its number among the page's tables, counted from 1 (as --tables counts);
      rows         a list of rows, each a list of str with a field per grid column, the same cells as
                   the CSV output: a cell's text at its first place, the places its spans cover "";
      header_rows  how many leading rows are header rows (every cell beginning there is a TH or in a
                   THEAD);
      header       those rows with a spanning cell's text at every place it covers (column names);
      links        {(row, column): address} for each cell whose whole text is one link, resolved
                   against the page's BASE, else the page's file (the current folder for text).

    tables: None for every table, or the numbers of the tables wanted (an int or an iterable of ints);
    numbers past the page's last table give nothing. trim: also trims no-break spaces and control
    characters around each cell (--trim). encoding: the character set to read the page in instead of
    the one it declares, such as "windows-1252" or "utf-8". links=False leaves the cells' links
    unresolved (links is then empty), which saves a tenth of the time on pages of many links.

    threads: the most threads the call uses, the calling one included. None (the default): a call alone
    in the process reads on three (the page scanned and its tables read beside the thread making the
    Python objects, a batch of tables shared with a second one), about one and a half cores; a call that
    begins while another runs reads on its own thread only. 1: on the calling thread only, whatever else
    runs, for spreading pages over threads or processes a core each; 2: the reading on one thread beside
    the caller. The tables are the same whatever the number.
    """
    return _read_tables(source, tables, trim, encoding, links, False, threads)


def _integral_columns(frame: "pandas.DataFrame") -> "pandas.DataFrame":
    """Float columns whose values are all whole numbers, with none missing, become int64."""
    for position in range(frame.shape[1]):
        column = frame.iloc[:, position]
        if column.dtype.kind == "f" and len(column) and column.notna().all() and (column % 1 == 0).all() \
                and (column.abs() < 2**53).all():
            frame.isetitem(position, column.astype("int64"))
    return frame


def read_html(source: Source, *, tables: Tables = None, trim: bool = False,
              encoding: Optional[str] = None, threads: Optional[int] = None) -> List["pandas.DataFrame"]:
    """The tables of a page as pandas DataFrames, one per table (see read_tables for the arguments).

    The header rows name the columns (a MultiIndex when there are several; a spanning header cell names
    every column it covers); a table without header rows has columns 0, 1, 2 ... The cells below are
    typed by the rule of the XLSX output (--numbers exact): a plain decimal number ("-3.5", "1204", not
    "002" or "1,204") is a number, anything else text, and an empty place is missing (NaN). A column of
    numbers only is float64, int64 when they are all whole; any other column is object.

    Raises ImportError when pandas cannot be imported.
    """
    try:
        import pandas
    except ImportError as error:
        raise ImportError("corvane.read_html needs pandas (Debian: python3-pandas); "
                          "corvane.read_tables gives the rows without it") from error
    frames = []
    for table in _read_tables(source, tables, trim, encoding, False, True, threads):
        body = table.rows[table.header_rows:]
        width = len(table.rows[0]) if table.rows else 0
        if table.header_rows == 0:
            columns = pandas.RangeIndex(width)
        elif table.header_rows == 1:
            columns = pandas.Index(table.header[0], dtype=object)
        else:
            columns = pandas.MultiIndex.from_arrays(table.header)
        frame = pandas.DataFrame(body, columns=columns) if body else pandas.DataFrame(columns=columns)
        frames.append(_integral_columns(frame))
    return frames


@dataclass
class ConvertSummary:
    """What a convert job did.

    files_converted: the files whose tables were written; tables_written: the tables they wrote;
    failed_files: the files whose run failed (nothing of theirs is written); failures: the reasons, one
    line each, naming the file; notices: what the output had to leave out (a table cut to fit a sheet);
    log: the job's log lines (with quiet=False).
    """

    files_converted: int = 0
    tables_written: int = 0
    failed_files: List[str] = field(default_factory=list)
    failures: List[str] = field(default_factory=list)
    notices: List[str] = field(default_factory=list)
    log: List[str] = field(default_factory=list, repr=False)

    @property
    def ok(self) -> bool:
        """True when every file was converted."""
        return not self.failures and not self.failed_files


def convert(paths: Union[Source, Sequence[Source]], output_dir: Optional[Source] = None,
            append: Optional[Source] = None, format: str = "xls", *, trim: bool = False,
            tables: Tables = None, links: bool = False, numbers: str = "exact",
            quiet: bool = True, threads: Optional[int] = None) -> ConvertSummary:
    """Runs a conversion job, as ``corvane convert`` does, and returns its ConvertSummary.

    paths: files and folders (a folder adds every .htm and .html file below it); converted in sorted
    order, each once. Exactly one of output_dir (a file NAME.EXT.FORMAT per input, the folder made when
    missing) and append (one file for every table of the job) is given. format: "xls" (the tab-separated
    text), "xlsx", "csv" or "jsonl". trim, tables, links, numbers: as --trim, --tables, --links and
    --numbers. quiet=False keeps the job's log lines in the summary. threads: as --threads, the most
    threads the job uses at once, the calling one included: None (the default) as many as pay for
    themselves, 1 all the work on the calling thread. The files written are the same whatever it is.

    The job keeps its guarantees: an output file is complete or absent; a failed run leaves an earlier
    file as it was and takes its rows back out of the append file. When any file fails, the files
    converted stay converted and corvane.Error is raised with every reason, its ``summary`` attribute
    holding the ConvertSummary. Arguments it does not take raise corvane.Error before any work. Ctrl+C
    stops the job as it stops `corvane convert`: the run going on is undone, and KeyboardInterrupt is
    raised once the job has ended.
    """
    if isinstance(paths, (str, bytes, os.PathLike)):
        paths = [paths]
    names = [os.fsencode(path) for path in paths]
    result = _convert(names, output_dir, append, format, trim, tables, links, numbers, quiet, threads)
    summary = ConvertSummary(**result)
    if not summary.ok:
        error = Error("\n".join(summary.failures or ["failed: " + file for file in summary.failed_files]))
        error.summary = summary
        raise error
    return summary


def render(source: Source, path: Source, width: int = 800, table: Optional[int] = None, *,
           max_height: int = 100000) -> List[str]:
    """Renders a page as CORVANE's viewer lays it out, into path: a PNG picture for a .png path, a PDF
    of A4 pages for a .pdf path (width and max_height unused), cut after page 1000 as ``corvane render``
    cuts it by default.

    A picture is laid out at width pixels (wider when the content is, up to 6000) and cut at max_height
    pixels down, as ``corvane render --max-height`` cuts it: only as much of the page is built and laid
    out as reaches the picture, so a huge page costs what its first part costs, and a table's grid is
    held within ten million places (hostile spans are cut).

    table: only that table, counted from 1 as read_tables counts, alone as the Table Select dialog shows
    it. The file is written beside path and takes its place only once whole. Returns the notices, the
    lines the command writes to standard error: the picture cut ("page.html is more than 150200 px high;
    the picture is cut at 100000 px"), the PDF cut ("page.html needs more than 1000 pages; the PDF is
    cut after page 1000"), a table's spans cut, a table row's cells past its first 10,000 columns left
    out ("page.html has a table of more than 10000 columns; the picture shows its first 10000"). Raises
    corvane.Error when the page cannot be read or the file cannot be written.

    Renders run one at a time. Without a Qt application in the process, the first render makes a
    QGuiApplication on the offscreen platform, on its own thread; later renders are best made from that
    same thread.
    """
    return _render(source, path, width, table, max_height)
