#!/usr/bin/env bash
# The API reference of the public headers, made by Doxygen from Debian
# (apt-get install doxygen), into build/apidoc/html/index.html. Fails on any
# Doxygen warning, so the reference stays whole. Not part of the tests.
#
# The headers document themselves in plain // comments, which Doxygen does
# not read; a filter hands it each header with those comments as its own
# (the comment after "#pragma once" describes the file).
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v doxygen >/dev/null; then
  echo "apidoc: doxygen is not installed (apt-get install doxygen)" >&2
  exit 1
fi
out=build/apidoc
rm -rf "$out"
mkdir -p "$out"

# Backslashes and <word> in the comments are text, not Doxygen commands or HTML.
cat >"$out/filter.sh" <<'EOF'
#!/bin/sh
exec awk '
  function text() { gsub(/\\/, "\\\\\\\\"); gsub(/<[a-z]+>/, "\\\\&") }
  /^#pragma once/ { print; head = 1; next }
  head && /^\/\/( |$)/ {
    if (!described) { print "/// @file"; described = 1 }
    sub(/^\/\//, "///"); text(); print; next
  }
  { head = 0 }
  /^[ \t]*\/\/( |$)/ { sub(/\/\//, "///"); text() }
  { print }
' "$1"
EOF
chmod +x "$out/filter.sh"

version=$(sed -n 's/^project(Tarnwick VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
doxygen - >"$out/doxygen.log" 2>"$out/warnings.log" <<EOF
PROJECT_NAME           = Tarnwick
PROJECT_NUMBER         = $version
PROJECT_BRIEF          = "Component library for form-based database front ends"
OUTPUT_DIRECTORY       = $out
INPUT                  = include/tarnwick
FILE_PATTERNS          = *.h
RECURSIVE              = YES
INPUT_FILTER           = $out/filter.sh
FILTER_SOURCE_FILES    = NO
STRIP_FROM_PATH        = include
STRIP_FROM_INC_PATH    = include
FULL_PATH_NAMES        = YES
EXTRACT_ALL            = YES
EXTRACT_STATIC         = YES
HIDE_UNDOC_MEMBERS     = NO
EXCLUDE_SYMBOLS        = impl tarnwick::impl tarnwick::*::impl detail
MACRO_EXPANSION        = YES
PREDEFINED             = TARNWICK_API=
JAVADOC_AUTOBRIEF      = YES
MARKDOWN_SUPPORT       = YES
GENERATE_HTML          = YES
GENERATE_LATEX         = NO
HAVE_DOT               = NO
QUIET                  = YES
WARNINGS               = YES
WARN_IF_UNDOCUMENTED   = NO
WARN_IF_DOC_ERROR      = YES
WARN_NO_PARAMDOC       = NO
WARN_AS_ERROR          = NO
EOF
if [ -s "$out/warnings.log" ]; then
  cat "$out/warnings.log" >&2
  echo "apidoc: $(wc -l <"$out/warnings.log") warnings (in $out/warnings.log)" >&2
  exit 1
fi
echo "apidoc: $out/html/index.html"
