#!/usr/bin/env bash
# Installs the Debian packages the build needs, when any is missing: the
# compilers (g++ for developers' builds, clang with its sanitizer and fuzzer
# runtimes for the test build) and test tools, SQLite, pybind11, Qt 6 Widgets
# and UiTools for the Qt host and the sample front end, Qt's SQLite driver
# (the Qt host's benchmark baseline), a font so its
# screenshots show text, for the front end's test under real windows an X
# server without a screen and a source of keyboard and mouse events, and
# libpq with the PostgreSQL server for the engine's server backend and the
# private server its tests start (scripts/pg-server.sh), PgBouncer, the
# transaction pooler one of them puts in front of it, libxlsxwriter for
# spreadsheet export with openpyxl and poppler's tools to read what the
# export and printing tests wrote, lintian, which checks the packages, and
# openssl for the certificate authority of the encrypted connections' test.
set -euo pipefail
packages=(cmake ninja-build g++ clang libclang-rt-14-dev pkg-config libgtest-dev libgmock-dev libbenchmark-dev libsqlite3-dev sqlite3
  pybind11-dev python3-dev python3-pytest
  qt6-base-dev qt6-tools-dev libqt6opengl6-dev libqt6sql6-sqlite libgl-dev fonts-dejavu-core
  xvfb xdotool libpq-dev postgresql pgbouncer
  libxlsxwriter-dev python3-openpyxl poppler-utils lintian openssl)
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

# One system locale besides the library's built-in en-US and de-DE, so that
# the tests see conventions read from the system's locale data (fr_FR: comma
# decimals, day-month-year dates, French month names). A second or two, once.
if ! locale -a 2>/dev/null | grep -qi '^fr_FR\.utf-\?8$'; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  if [ ! -d /usr/share/i18n/locales ]; then
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get install -y -qq --no-install-recommends locales
  fi
  $sudo localedef -i fr_FR -f UTF-8 fr_FR.UTF-8 || echo "deps: fr_FR.UTF-8 could not be generated; its test is skipped"
fi
