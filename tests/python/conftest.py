"""The corvane module's tests run against the build tree: ctest sets PYTHONPATH to build/python,
CORVANE_PROGRAM to the corvane program (for comparing with `corvane convert`) and CORVANE_TEST_DATA to
tests/data."""

import os
import pathlib

import pytest

HERE = pathlib.Path(__file__).resolve().parent


@pytest.fixture(scope="session")
def program():
    path = os.environ.get("CORVANE_PROGRAM")
    if not path:
        pytest.skip("CORVANE_PROGRAM names no corvane program")
    return path


@pytest.fixture(scope="session")
def data_dir():
    return pathlib.Path(os.environ.get("CORVANE_TEST_DATA", HERE.parent / "data"))
