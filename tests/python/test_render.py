"""render lays a picture out as `corvane render` does: only as much of the page as reaches the picture,
cut at max_height, with the command's notices."""

import re
import subprocess

import pytest

import corvane


def paragraphs(count):
    return "<html><body>" + "".join(f"<p>line {k}</p>" for k in range(count)) + "</body></html>"


def png_size(path):
    data = path.read_bytes()
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    return int.from_bytes(data[16:20], "big"), int.from_bytes(data[20:24], "big")


# (name, page, width, max_height, the notice as a pattern or None, the picture's height or None: the
# page's own). A page of more than the first part built (512 KB) is laid out only in part.
CASES = [
    ("short page", paragraphs(3), 300, 100000, None, None),
    ("laid out whole, cut", paragraphs(20000), 400, 5000, r"{name} is \d+ px high; the picture is cut at 5000 px", 5000),
    ("laid out in part, cut", paragraphs(60000), 800, 3000,
     r"{name} is more than \d+ px high; the picture is cut at 3000 px", 3000),
    ("cut by the default height", paragraphs(60000), 800, None,
     r"{name} is more than \d+ px high; the picture is cut at 100000 px", 100000),
    ("a row past its columns", "<table><tr>" + "<td>x</td>" * 12000 + "</table>", 6000, 1000,
     r"{name} has a table of more than 10000 columns; the picture shows its first 10000", None),
]


@pytest.mark.parametrize("name,page,width,max_height,notice,height", CASES, ids=[case[0] for case in CASES])
def test_render_cuts_as_the_command_does(tmp_path, program, name, page, width, max_height, notice, height):
    source = tmp_path / "page.html"
    source.write_text(page)
    options = {} if max_height is None else {"max_height": max_height}
    notices = corvane.render(source, tmp_path / "module.png", width=width, **options)
    if notice is None:
        assert notices == []
    else:
        assert len(notices) == 1 and re.fullmatch(notice.format(name=re.escape(str(source))), notices[0]), notices
    picture_width, picture_height = png_size(tmp_path / "module.png")
    assert picture_width == width
    if height is not None:
        assert picture_height == height

    # The command lays out the same part, says the same, and paints the same picture.
    command = [program, "render", str(source), "-o", str(tmp_path / "command.png"), "--width", str(width)]
    if max_height is not None:
        command += ["--max-height", str(max_height)]
    done = subprocess.run(command, capture_output=True, text=True, timeout=300)
    assert done.returncode == 0, done.stderr
    said = [line[len("corvane: "):] for line in done.stderr.splitlines() if line.startswith("corvane: ")]
    assert said == notices
    assert (tmp_path / "command.png").read_bytes() == (tmp_path / "module.png").read_bytes()


def test_render_of_a_page_in_memory_names_the_page(tmp_path):
    notices = corvane.render(paragraphs(60000).encode(), tmp_path / "page.png", max_height=1000)
    assert len(notices) == 1 and re.fullmatch(r"the page is more than \d+ px high; the picture is cut at 1000 px",
                                              notices[0]), notices
    assert png_size(tmp_path / "page.png") == (800, 1000)


@pytest.mark.parametrize("max_height", [0, -5])
def test_render_refuses_a_height_below_one(tmp_path, max_height):
    with pytest.raises(corvane.Error) as error:
        corvane.render(paragraphs(3), tmp_path / "page.png", max_height=max_height)
    assert str(error.value) == "max_height takes a number of pixels from 1"
    assert not (tmp_path / "page.png").exists()


def pdf_pages(path):
    data = path.read_bytes()
    return data.count(b"/Type /Page") - data.count(b"/Type /Pages")


# (page, the notice as a pattern or None, the PDF's pages or None: as many as the command's without a limit)
PDF_CASES = [
    (paragraphs(30), None, None),
    (paragraphs(40000), r"{name} needs more than 1000 pages; the PDF is cut after page 1000", 1000),
]


@pytest.mark.parametrize("page,notice,pages", PDF_CASES, ids=["short page", "cut after page 1000"])
def test_render_cuts_a_pdf_as_the_command_does(tmp_path, program, page, notice, pages):
    source = tmp_path / "page.html"
    source.write_text(page)
    notices = corvane.render(source, tmp_path / "module.pdf")
    if notice is None:
        assert notices == []
    else:
        assert notices == [notice.format(name=source)], notices
    done = subprocess.run([program, "render", str(source), "-o", str(tmp_path / "command.pdf")],
                          capture_output=True, text=True, timeout=300)
    assert done.returncode == 0, done.stderr
    assert [line[len("corvane: "):] for line in done.stderr.splitlines()] == notices
    if pages is None:
        whole = subprocess.run([program, "render", str(source), "-o", str(tmp_path / "whole.pdf"), "--max-pages", "0"],
                               capture_output=True, text=True, timeout=300)
        assert whole.returncode == 0, whole.stderr
        pages = pdf_pages(tmp_path / "whole.pdf")
    assert pdf_pages(tmp_path / "module.pdf") == pages
    assert pdf_pages(tmp_path / "command.pdf") == pages
