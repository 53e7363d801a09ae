#!/usr/bin/env bash
# Installs what tolvar needs on a Debian machine and builds it into .venv.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install_packages.sh g++ pkg-config libre2-dev libgtest-dev python3-dev python3-venv

[ -x .venv/bin/python ] || python3 -m venv .venv
.venv/bin/pip install -q --upgrade pip
.venv/bin/pip install -q cmake ninja
# The test extra brings pytest, Hypothesis and mypy; xlsform brings pyxform.
.venv/bin/pip install -q ".[test,xlsform]"
