import os
from typing import Dict, Iterable, List, Optional, Sequence, Tuple, Union

import pandas

Source = Union[str, bytes, os.PathLike[str]]

class Error(Exception):
    summary: "ConvertSummary"

class Table:
    @property
    def number(self) -> int: ...
    @property
    def header_rows(self) -> int: ...
    @property
    def rows(self) -> List[List[str]]: ...
    @property
    def header(self) -> List[List[str]]: ...
    @property
    def links(self) -> Dict[Tuple[int, int], str]: ...

class ConvertSummary:
    files_converted: int
    tables_written: int
    failed_files: List[str]
    failures: List[str]
    notices: List[str]
    log: List[str]
    @property
    def ok(self) -> bool: ...

def read_tables(source: Source, *, tables: Optional[Union[int, Iterable[int]]] = ..., trim: bool = ...,
                encoding: Optional[str] = ..., links: bool = ..., threads: Optional[int] = ...) -> List[Table]: ...
def read_html(source: Source, *, tables: Optional[Union[int, Iterable[int]]] = ..., trim: bool = ...,
              encoding: Optional[str] = ..., threads: Optional[int] = ...) -> List[pandas.DataFrame]: ...
def convert(paths: Union[Source, Sequence[Source]], output_dir: Optional[Source] = ..., append: Optional[Source] = ...,
            format: str = ..., *, trim: bool = ..., tables: Optional[Union[int, Iterable[int]]] = ...,
            links: bool = ..., numbers: str = ..., quiet: bool = ..., threads: Optional[int] = ...) -> ConvertSummary: ...
def render(source: Source, path: Source, width: int = ..., table: Optional[int] = ..., *,
           max_height: int = ...) -> List[str]: ...
