#!/usr/bin/env bash
# Installs the Debian packages named as arguments that are not installed yet.
#
#   bash scripts/install_packages.sh PACKAGE...
set -euo pipefail

missing=()
for package in "$@"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi
