import sys
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).parent))

import harness  # noqa: E402
from report import Report  # noqa: E402

ENGINES = {"JavaRosa": harness.javarosa, "Enketo": harness.enketo, "Web Forms": harness.webforms}


@pytest.fixture(scope="session")
def engines():
    started = {}
    try:
        for name, start in ENGINES.items():
            started[name] = start()
        yield started
    finally:
        for engine in started.values():
            engine.close()


@pytest.fixture(scope="session")
def report():
    table = Report(harness.BUILD / "conformance.md")
    yield table
    table.write()
