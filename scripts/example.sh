#!/usr/bin/env bash
# Sets up, then runs tolvar on the bundled example form and submission.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
.venv/bin/python examples/run_example.py
