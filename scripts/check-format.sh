#!/usr/bin/env bash
# Checks every tracked .cpp and .h against the tree's .clang-format without
# changing anything: lists the files that differ and fails when there is any.
# Fix them with:  clang-format -i FILE...
set -uo pipefail
cd "$(dirname "$0")/.."
CLANG_FORMAT=${CLANG_FORMAT:-clang-format}
if ! command -v "$CLANG_FORMAT" >/dev/null 2>&1; then
  echo "check-format: $CLANG_FORMAT not found (scripts/deps.sh installs it)" >&2
  exit 2
fi
if ! git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  echo "check-format: $(pwd) is not a git work tree; it checks the tracked files" >&2
  exit 2
fi
files=()
while IFS= read -r -d '' f; do
  [ -f "$f" ] && files+=("$f")  # skips files deleted but not yet committed
done < <(git ls-files -z -- '*.cpp' '*.h')
[ ${#files[@]} -gt 0 ] || { echo "check-format: no files"; exit 0; }
# One run over all files: starting clang-format per file costs more than the check.
out=$("$CLANG_FORMAT" --style=file --dry-run --Werror "${files[@]}" 2>&1)
rc=$?
if [ $rc -eq 0 ]; then
  echo "check-format: ${#files[@]} files formatted"
  exit 0
fi
bad=$(printf '%s\n' "$out" | sed -n 's/^\(.*\):[0-9]*:[0-9]*: [a-z]*: code should be clang-formatted.*/\1/p' | sort -u)
if [ -z "$bad" ]; then
  printf '%s\n' "$out" >&2  # clang-format itself failed
  exit 1
fi
printf '%s\n' "$bad"
echo "check-format: $(printf '%s\n' "$bad" | wc -l) of ${#files[@]} files differ from .clang-format" >&2
exit 1
