import pathlib

import pytest

CORPUS = pathlib.Path(__file__).resolve().parents[2] / "shared" / "corpus"
EXAMPLES = pathlib.Path(__file__).resolve().parents[1] / "examples"


@pytest.fixture
def corpus():
    if not CORPUS.is_dir():
        pytest.skip("the shared corpus is not beside the project")
    return CORPUS
