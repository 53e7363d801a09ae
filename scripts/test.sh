#!/usr/bin/env bash
# Sets up, then runs the C++ unit tests and the Python test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

build=build/cpp-tests
.venv/bin/cmake -S . -B "$build" -G Ninja -DCMAKE_MAKE_PROGRAM="$PWD/.venv/bin/ninja" \
  -DTOLVAR_PYTHON=OFF -DTOLVAR_TESTS=ON -DCMAKE_BUILD_TYPE=Release >/dev/null
.venv/bin/cmake --build "$build" -j2
(cd "$build" && ../../.venv/bin/ctest --output-on-failure)

.venv/bin/python -m pytest -q tests
