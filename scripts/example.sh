#!/usr/bin/env bash
# Sets up, then runs the tolvar command on the bundled example form and its
# submissions, and the Python example that uses the module directly.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
export PATH="$PWD/.venv/bin:$PATH"

# Shows the command, then runs it. Exit status 1 means "there are findings",
# which is what the example is there to show.
run() {
  echo "\$ $1"
  eval "$1" || [ $? -eq 1 ]
  echo
}

run "tolvar check examples/household.xml"
run "tolvar judge examples/household.xml examples/submissions"
run "tolvar eval 'count(/household/member[member_age >= 18])' examples/submissions/uuid-9b2d4e17/submission.xml"
run "python examples/run_example.py"
