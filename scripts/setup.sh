#!/usr/bin/env bash
# Installs what tolvar needs on a Debian machine and builds it into .venv.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install_packages.sh g++ pkg-config libre2-dev libgtest-dev python3-dev python3-venv

[ -x .venv/bin/python ] || python3 -m venv .venv
.venv/bin/pip install -q --upgrade pip
# The build requirements live in .venv and the build is not isolated, so the
# CMake cache in build/ keeps naming tools that still exist and a repeat
# install rebuilds only what changed.
mapfile -t requires < <(.venv/bin/python -c "import tomllib
print(*tomllib.load(open('pyproject.toml', 'rb'))['build-system']['requires'], sep='\\n')")
.venv/bin/pip install -q "${requires[@]}" cmake ninja
# The test extra brings pytest, Hypothesis and mypy; xlsform brings pyxform.
.venv/bin/pip install -q --no-build-isolation ".[test,xlsform]"
