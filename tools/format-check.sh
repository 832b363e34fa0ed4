#!/usr/bin/env bash
# Checks that every tracked C++ source follows .clang-format and lists the
# files that do not (exit 1).
#   tools/format-check.sh          check only
#   tools/format-check.sh --fix    rewrite the files that do not follow it
# Files or folders given after the option limit the check to them.
set -euo pipefail
cd "$(dirname "$0")/.."

fix=0
if [ "${1:-}" = "--fix" ]; then fix=1; shift; fi

clang_format=${CLANG_FORMAT:-clang-format}
if ! command -v "$clang_format" >/dev/null; then
  echo "format-check: $clang_format not found (tools/install-deps.sh installs it)" >&2
  exit 2
fi

# Tracked files and new ones not yet added, without deleted ones. Nothing in
# the tree is generated or third-party (GoogleTest comes from the system).
mapfile -t files < <(git ls-files --cached --others --exclude-standard -- "${@:-.}" |
                     grep -E '\.(cpp|h)$' | while read -r f; do [ -f "$f" ] && echo "$f"; done)

# One clang-format process for all files (one per file costs a second of
# start-up every few files): it names each file that differs in a warning.
bad=()
if [ ${#files[@]} -gt 0 ]; then
  report=$("$clang_format" --style=file --dry-run "${files[@]}" 2>&1) || {
    printf '%s\n' "$report" >&2
    echo "format-check: $clang_format failed" >&2
    exit 2
  }
  mapfile -t bad < <(printf '%s\n' "$report" |
                     sed -n 's/^\(.*\):[0-9]*:[0-9]*: warning: code should be clang-formatted.*/\1/p' | sort -u)
fi

if [ ${#bad[@]} -eq 0 ]; then
  echo "format-check: ${#files[@]} files follow .clang-format"
  exit 0
fi
if [ $fix -eq 1 ]; then
  "$clang_format" --style=file -i "${bad[@]}"
  printf 'format-check: reformatted %s\n' "${bad[@]}"
  exit 0
fi
printf 'format-check: %s does not follow .clang-format\n' "${bad[@]}"
echo "format-check: ${#bad[@]} of ${#files[@]} files; tools/format-check.sh --fix reformats them"
exit 1
