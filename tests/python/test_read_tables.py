"""read_tables gives the cells `corvane convert --format csv` writes, and read_html types them."""

import pathlib
import subprocess

import pytest

import corvane

# Pages of the kinds of tables whose reading differs most: spans, header rows, references, white space,
# line breaks and PRE, nested tables, a declared code page, a byte-order mark, markup left open.
PAGES = {
    "spans.html": b"<table><tr><th colspan=2>Name<th rowspan=2>Age<tr><th>First<th>Last"
                  b"<tr><td>Ann<td>Lee<td>31<tr><td rowspan=2>Bo<td>Ng<td>7.5<tr><td>Ox<td></table>",
    "text.html": b"<p>before</p>\n<table>\n<tr><td> a &amp; b </td><td>x<br>y</td><td>\"q\", c</td></tr>\n"
                 b"<tr><td><pre>one\n  two</pre></td><td>&nbsp;pad&nbsp;</td><td>caf&eacute; &#8364;</td></tr>\n"
                 b"<tr><td>&#x1F600; \xf0\x9f\x98\x80</td><td>&#xD800; &#xFEFF;x</td><td>\xef\xbb\xbfy</td></tr>\n"
                 b"</table>\n",
    "nested.html": b"<table><tr><td>outer<table><tr><td>inner 1</td></tr></table></td></tr></table>"
                   b"<table><tr><td>second<td>2</table><TABLE><TR><TD>third, upper case</TABLE>",
    "cp1252.html": b"<html><head><meta charset=\"windows-1252\"></head><body>"
                   b"<table><tr><td>\x93quoted\x94</td><td>\x80 5</td></tr></table></body></html>",
    "bom.html": b"\xef\xbb\xbf<table><tr><td>\xc3\xa9t\xc3\xa9</td><td>\xe2\x82\xac</td></tr></table>",
    "open.html": b"<table><tr><td>no closing tags<td>at all<tr><td>second row</table>"
                 b"<table><tr><td>empty rows follow<tr><tr><td>last</table>",
    "links.html": b"<base href=\"http://example.org/dir/\"><table><tr><td><a href=\"a.html\">A</a>"
                  b"<td><a href=\"mailto:x@example.org\">mail</a><td>not <a href=\"b.html\">all</a></table>",
}


def csv_field(text):
    if any(c in text for c in ',"\r\n'):
        return '"' + text.replace('"', '""') + '"'
    return text


def as_csv(tables):
    """The CSV file `corvane convert --format csv` writes for these tables."""
    parts = ["\r\n".join(",".join(csv_field(f) for f in row) for row in t.rows) + ("\r\n" if t.rows else "")
             for t in tables]
    return b"\xef\xbb\xbf" + "\r\n".join(parts).encode("utf-8")


def convert_csv(program, page, out, *options):
    subprocess.run([program, "convert", "-q", "--format", "csv", "-o", str(out), *options, str(page)], check=True)
    return (out / (page.name + ".csv")).read_bytes()


def page_files(tmp_path, data_dir):
    files = []
    for name, text in PAGES.items():
        (tmp_path / name).write_bytes(text)
        files.append(tmp_path / name)
    files += [data_dir / "three-tables.html", data_dir / "one-table.html", data_dir / "bytes.html"]
    files += sorted((data_dir / "fidelity").glob("t*.html"))[:6]
    return files


def test_same_cells_as_convert_csv(tmp_path, data_dir, program):
    checked = 0
    for page in page_files(tmp_path, data_dir):
        for options, kwargs in [((), {}), (("--trim",), {"trim": True}), (("--tables", "1,3"), {"tables": [3, 1]})]:
            tables = corvane.read_tables(page, **kwargs)
            out = tmp_path / ("out" + str(checked))
            expected = convert_csv(program, page, out, *options)
            if len(tables) == 1 and "tables" in kwargs:
                continue  # a file of one table always writes it
            assert as_csv(tables) == expected, (page, options)
            checked += 1
    assert checked > 20


def test_sources_give_the_same_tables(tmp_path):
    page = tmp_path / "spans.html"
    page.write_bytes(PAGES["spans.html"])
    rows = [t.rows for t in corvane.read_tables(page)]
    assert [t.rows for t in corvane.read_tables(str(page))] == rows
    assert [t.rows for t in corvane.read_tables(PAGES["spans.html"])] == rows
    assert [t.rows for t in corvane.read_tables(PAGES["spans.html"].decode())] == rows
    # A str is text, whatever its page declares; bytes are read as the page declares.
    cp1252 = PAGES["cp1252.html"]
    assert corvane.read_tables(cp1252)[0].rows == [["\u201cquoted\u201d", "\u20ac 5"]]
    cyrillic = b"<table><tr><td>\xcf\xf0\xe8</table>"
    assert corvane.read_tables(cyrillic)[0].rows == [["\u00cf\u00f0\u00e8"]]
    assert corvane.read_tables(cyrillic, encoding="windows-1251")[0].rows == [["\u041f\u0440\u0438"]]
    assert corvane.read_tables("<table><tr><td>\u00e9t\u00e9 \u20ac</table>")[0].rows == [["\u00e9t\u00e9 \u20ac"]]


def test_table_fields():
    spans, = corvane.read_tables(PAGES["spans.html"])
    assert spans.number == 1
    assert spans.header_rows == 2
    assert spans.rows == [["Name", "", "Age"], ["First", "Last", ""], ["Ann", "Lee", "31"], ["Bo", "Ng", "7.5"],
                          ["", "Ox", ""]]
    assert spans.header == [["Name", "Name", "Age"], ["First", "Last", "Age"]]
    assert repr(spans) == "<corvane.Table 1: 5 rows x 3 columns>"
    links, = corvane.read_tables(PAGES["links.html"])
    assert links.links == {(0, 0): "http://example.org/dir/a.html", (0, 1): "mailto:x@example.org"}
    assert links.header_rows == 0
    unresolved, = corvane.read_tables(PAGES["links.html"], links=False)
    assert (unresolved.rows, unresolved.links) == (links.rows, {})
    numbers = [t.number for t in corvane.read_tables(PAGES["nested.html"], tables=[2, 3, 9])]
    assert numbers == [2, 3]
    assert [t.number for t in corvane.read_tables(PAGES["nested.html"], tables=3)] == [3]
    assert corvane.read_tables("<p>no tables</p>") == []


def test_read_html_columns_and_types():
    pandas = pytest.importorskip("pandas")
    page = (b"<table><thead><tr><th>Item<th>Count<th>Price<th>Code<th>Note</thead>"
            b"<tr><td>Tea<td>3<td>2.5<td>002<td>1,204<tr><td>Jam<td>12<td>-0.25<td>7<td></table>")
    frame, = corvane.read_html(page)
    assert list(frame.columns) == ["Item", "Count", "Price", "Code", "Note"]
    assert [str(t) for t in frame.dtypes] == ["object", "int64", "float64", "object", "object"]
    assert frame["Count"].tolist() == [3, 12]
    assert frame["Price"].tolist() == [2.5, -0.25]
    assert frame["Code"].tolist() == ["002", 7.0]
    assert frame["Note"].tolist()[0] == "1,204" and frame["Note"].isna().tolist() == [False, True]

    spans, = corvane.read_html(PAGES["spans.html"])
    assert isinstance(spans.columns, pandas.MultiIndex)
    assert list(spans.columns) == [("Name", "First"), ("Name", "Last"), ("Age", "Age")]
    assert spans[("Age", "Age")].tolist()[:2] == [31.0, 7.5]
    assert spans[("Age", "Age")].isna().tolist() == [False, False, True]

    # A header's text that a column below repeats as a number: a name above, numbers below.
    repeated, = corvane.read_html(b"<table><thead><tr><th>7<th>x</thead><tr><td>7<td>7</table>")
    assert list(repeated.columns) == ["7", "x"] and repeated.iloc[0].tolist() == [7, 7]

    plain, = corvane.read_html(b"<table><tr><td>a<td>1<tr><td>b<td>2</table>")
    assert list(plain.columns) == [0, 1]
    assert plain[1].tolist() == [1, 2] and str(plain[1].dtype) == "int64"


def test_errors(tmp_path):
    missing = tmp_path / "missing.html"
    with pytest.raises(corvane.Error) as error:
        corvane.read_tables(missing)
    assert str(error.value) == f"cannot read {missing}: No such file or directory"
    with pytest.raises(corvane.Error) as error:
        corvane.read_tables(tmp_path)
    assert str(error.value) == f"cannot read {tmp_path}: Is a directory"
    for tables in ([0], [], "1", [1.5], [True], -2):
        with pytest.raises(corvane.Error) as error:
            corvane.read_tables(PAGES["nested.html"], tables=tables)
        assert str(error.value) == "tables takes None or table numbers counted from 1, such as [1, 3]"
    with pytest.raises(corvane.Error) as error:
        corvane.read_tables(PAGES["nested.html"], encoding="klingon")
    assert str(error.value) == "unknown encoding 'klingon'"
    with pytest.raises(TypeError):
        corvane.read_tables(42)
    with pytest.raises(TypeError):
        corvane.read_tables(PAGES["nested.html"], True)
    with pytest.raises(corvane.Error):
        corvane.read_tables("")
    assert issubclass(corvane.Error, Exception)


# Each text in the narrowest form Python keeps it in (ASCII, Latin-1, two bytes, four), with a lone
# surrogate as U+FFFD: cells must equal, hash and compare as the same str made in Python does.
TEXTS = [
    ("plain", "plain"),
    ("caf&eacute;", "café"),
    ("&#xFF;&#x7F;", "\u00ff\u007f"),
    ("&#x100;", "\u0100"),
    ("&#x20AC; &#x5800;&#x8000;", "€ \u5800\u8000"),
    ("&#x1F600;x", "\U0001F600x"),
    ("&#xD800;", "\ufffd"),
    ("&#xE000;&#xFFFD;", "\ue000\ufffd"),
]


@pytest.mark.parametrize("markup,text", TEXTS)
def test_cells_are_ordinary_str(markup, text):
    table, = corvane.read_tables(f"<table><tr><td>{markup}<td>x</table>")
    cell = table.rows[0][0]
    assert cell == text and hash(cell) == hash(text) and {text: 1}[cell] == 1
    assert cell.isascii() == text.isascii() and cell.encode("utf-8") == text.encode("utf-8")


def test_links_by_place_in_grid_order():
    # A table of addresses: plain ones written as they are, others parsed, all in the order of the grid.
    hrefs = ["a.html", "HTTP://H.ORG/x", "../up", "x/./y", "http://1.2/", "https://h.org", "q?a=1&amp;b", "#f"]
    rows = "".join(f"<tr><td>{k}<td><a href='{href}'>{href}</a>" for k, href in enumerate(hrefs))
    table, = corvane.read_tables(f"<base href='http://h.org/d/'><table>{rows}<tr><td><a href=z>z</a></table>")
    expected = {(0, 1): "http://h.org/d/a.html", (1, 1): "http://h.org/x", (2, 1): "http://h.org/up",
                (3, 1): "http://h.org/d/x/y", (4, 1): "http://1.0.0.2/", (5, 1): "https://h.org",
                (6, 1): "http://h.org/d/q?a=1&b", (7, 1): "http://h.org/d/#f", (8, 0): "http://h.org/d/z"}
    assert list(table.links.items()) == list(expected.items())
    assert table.links is table.links
    assert corvane.read_tables(f"<table>{rows}</table>", links=False)[0].links == {}


def test_rows_are_lists_a_caller_may_change():
    table, = corvane.read_tables("<table><tr><td>a<td>b<tr><td>c</table>")
    table.rows[1].append("d")
    table.rows.append(["e"])
    assert table.rows == [["a", "b"], ["c", "", "d"], ["e"]]


def tables_page(tables):
    """A page of the tables given as rows of cells."""
    return "".join("<table>" + "".join("<tr>" + "".join(f"<td>{cell}" for cell in row) for row in rows) + "</table>"
                   for rows in tables)


def test_repeated_texts_read_right_and_share_one_str():
    # Texts of every narrowest form and of lengths about the four-unit steps the reader takes them in,
    # some over 32 units; more of them than the reading keeps at once, repeated across and within tables,
    # so that what it keeps fills up and is emptied between tables, and the texts held before come again.
    pieces = ["a", "Z9", "é", "€", "\U0001F600", "ÿ", "\u0100"]
    vocabulary = ["".join(pieces[(k + n * n) % len(pieces)] for n in range(1 + k % 9)) + str(k)
                  for k in range(12_000)]
    vocabulary += ["long" * 9 + str(k) for k in range(50)]
    tables = [[[vocabulary[(t * 1_500 + r * 3 + c) % len(vocabulary)] if c < 3 else r % 4
                for c in range(4)] for r in range(500)] for t in range(12)] * 2
    read = corvane.read_tables(tables_page(tables).encode("utf-8"))
    assert [t.rows for t in read] == [[[str(cell) for cell in row] for row in rows] for rows in tables]

    table, = corvane.read_tables("<table><tr><td>yes<td>no<tr><td>yes<td>yes</table>")
    assert table.rows[0][0] is table.rows[1][0] is table.rows[1][1]

    # Texts that do not repeat, then tables that do: the reading stops keeping texts and reads on right.
    unique = [[f"{r * 10 + c}.5" for c in range(10)] for r in range(1_000)]
    repeated = [["yes", "é", "€" * 3, "\U0001F600"] for _ in range(100)]
    expected = [unique, repeated, repeated]
    assert [t.rows for t in corvane.read_tables(tables_page(expected))] == expected
