#!/usr/bin/env bash
# Benchmarks against the tools people would otherwise use: installs the peers
# (lxml, pugixml, Enketo's evaluator under jsdom, JavaRosa), builds in release mode and
# prints one table of ratios. Arguments go to bench/run.py (--runs N, --only
# WORD..., --json FILE). Never part of the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh  # the module, built in release mode into .venv

need=()
dpkg -s libpugixml-dev >/dev/null 2>&1 || need+=(libpugixml-dev)
command -v node >/dev/null 2>&1 || need+=(nodejs)
command -v npm >/dev/null 2>&1 || need+=(npm)
if [ ${#need[@]} -gt 0 ]; then
  echo "installing ${need[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
fi
.venv/bin/pip install -q lxml
bash scripts/engines.sh --install  # JavaRosa, for its rows
(cd bench && npm ci --no-audit --no-fund --loglevel=error)

build=build/bench
.venv/bin/cmake -S . -B "$build" -G Ninja -DCMAKE_MAKE_PROGRAM="$PWD/.venv/bin/ninja" \
  -DTOLVAR_PYTHON=OFF -DTOLVAR_BENCH=ON -DCMAKE_BUILD_TYPE=Release >/dev/null
.venv/bin/cmake --build "$build" --target xml_read_bench
.venv/bin/python bench/run.py --build "$build" "$@"
