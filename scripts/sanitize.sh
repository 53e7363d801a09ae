#!/usr/bin/env bash
# Builds the C++ unit tests and the extension module with AddressSanitizer and
# UndefinedBehaviorSanitizer (clang), runs the unit tests, then the whole
# pytest suite against the sanitized module; then runs the tests of judging
# on worker threads under ThreadSanitizer. Any report fails the run.
#
#   bash scripts/sanitize.sh
#
# The interpreter itself is not instrumented: the ASan runtime is preloaded
# into it, and leak checking is off for that run only, because CPython keeps
# allocations alive until exit by design and LeakSanitizer would report them.
# Leaks in the C++ code are caught by the unit-test run, where it is on.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install_packages.sh clang libclang-rt-14-dev
[ -x .venv/bin/pytest ] || bash scripts/setup.sh

configure() {
  CC=clang CXX=clang++ .venv/bin/cmake -S . -B "$1" -G Ninja \
    -DCMAKE_MAKE_PROGRAM="$PWD/.venv/bin/ninja" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTOLVAR_SANITIZE=ON "${@:2}" >/dev/null
}

export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1

tests=build/sanitize-tests
configure "$tests" -DTOLVAR_PYTHON=OFF -DTOLVAR_TESTS=ON
.venv/bin/cmake --build "$tests" -j"${JOBS:-2}"
(cd "$tests" && ../../.venv/bin/ctest --output-on-failure)

module=build/sanitize-module
configure "$module" -DTOLVAR_PYTHON=ON -DTOLVAR_TESTS=OFF -DPython_EXECUTABLE="$PWD/.venv/bin/python"
.venv/bin/cmake --build "$module" -j"${JOBS:-2}" --target _tolvar
# The packages pyproject.toml installs beside the module sit beside it here too.
for package in python/tolvar_cli python/tolvar-stubs; do
  if [ -d "$package" ]; then ln -sfn "$PWD/$package" "$module/$(basename "$package")"; fi
done

# PYTHONMALLOC=malloc sends Python's own objects through ASan too, so a
# reference counting mistake in the module shows up as a use after free.
runtime=$(clang -print-file-name=libclang_rt.asan-x86_64.so)
run_python() {
  env LD_PRELOAD="$runtime" PYTHONMALLOC=malloc PYTHONPATH="$PWD/$module" \
    ASAN_OPTIONS="${ASAN_OPTIONS/detect_leaks=1/detect_leaks=0}" TOLVAR_SANITIZED=1 \
    .venv/bin/python "$@"
}
run_python -c "import sys, tolvar; sys.exit(not tolvar.__file__.startswith('$PWD/$module'))" \
  || { echo "the sanitized module was not the one imported" >&2; exit 1; }
run_python -m pytest -q -p no:cacheprovider tests

threads=build/sanitize-threads
CC=clang CXX=clang++ .venv/bin/cmake -S . -B "$threads" -G Ninja \
  -DCMAKE_MAKE_PROGRAM="$PWD/.venv/bin/ninja" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS=-fsanitize=thread -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread \
  -DTOLVAR_PYTHON=OFF -DTOLVAR_TESTS=ON >/dev/null
.venv/bin/cmake --build "$threads" -j"${JOBS:-2}" --target rules_tests
TSAN_OPTIONS=halt_on_error=1 "$threads/rules_tests" --gtest_filter='*JudgeBatch*'
