#!/usr/bin/env bash
# Installs the form engines of the conformance harness and runs the suite:
# JavaRosa (Maven), Enketo's evaluator and ODK Web Forms (npm). Downloads are
# cached in build/engines, never in the repository. Arguments go to pytest.
#
#   bash scripts/engines.sh                 # install, then the whole suite
#   bash scripts/engines.sh -k regex        # some cases only
#   bash scripts/engines.sh --install       # install only (the benchmarks need it)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh  # the module and pytest, into .venv

need=()
command -v javac >/dev/null 2>&1 || need+=(openjdk-17-jdk-headless)
command -v mvn >/dev/null 2>&1 || need+=(maven)
command -v node >/dev/null 2>&1 || need+=(nodejs)
command -v npm >/dev/null 2>&1 || need+=(npm)
if [ ${#need[@]} -gt 0 ]; then bash scripts/install_packages.sh "${need[@]}"; fi

out=build/engines
mkdir -p "$out/node"

# JavaRosa: the driver compiled against the pinned jar, and its class path.
mvn -q -B -f engines/javarosa/pom.xml -Dmaven.repo.local="$PWD/$out/m2" \
  compile dependency:build-classpath -Dmdep.outputFile="$PWD/$out/javarosa/classpath.txt"

# The browser engines: installed from the lock file into build/engines/node,
# only when the lock file changed.
if ! cmp -s engines/node/package-lock.json "$out/node/package-lock.json" \
    || [ ! -d "$out/node/node_modules" ]; then
  rm -rf "$out/node/node_modules"
  cp -r engines/node/package.json engines/node/package-lock.json engines/node/empty-common "$out/node/"
  (cd "$out/node" && npm ci --no-audit --no-fund --loglevel=error --cache "$PWD/../npm-cache")
fi

if [ "${1:-}" = --install ]; then exit 0; fi
.venv/bin/python -m pytest -q engines/conformance "$@"
