#!/usr/bin/env bash
# Installs the Debian packages the build needs, when any is missing: the
# compilers (g++ for developers' builds, clang with its sanitizer and fuzzer
# runtimes for the test build) and test tools, SQLite, pybind11, Qt 6 Widgets and UiTools for the
# Qt host and the sample front end, and a font so its screenshots show text.
set -euo pipefail
packages=(cmake ninja-build g++ clang libclang-rt-14-dev pkg-config libgtest-dev libgmock-dev libbenchmark-dev libsqlite3-dev sqlite3
  pybind11-dev python3-dev python3-pytest
  qt6-base-dev qt6-tools-dev libqt6opengl6-dev libgl-dev fonts-dejavu-core)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
