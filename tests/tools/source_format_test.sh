#!/usr/bin/env bash
# Every C++ source of the tree is laid out as .clang-format says, so that a
# change shows only what it changes. Prints the files that differ and how to
# mend them.
#
#   source_format_test.sh SOURCE_DIR
set -uo pipefail

top=$1
cd "$top" || exit 1
command -v clang-format >/dev/null || { echo "FAIL: clang-format is not installed (scripts/packages.sh installs it)" >&2; exit 1; }
mapfile -t files < <(find src programs tests -name '*.cpp' -o -name '*.h' | sort)
[ ${#files[@]} -gt 0 ] || { echo "FAIL: no sources found under $top" >&2; exit 1; }
off=()
for f in "${files[@]}"; do
    clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || off+=("$f")
done
if [ ${#off[@]} -gt 0 ]; then
    printf 'FAIL: not laid out as .clang-format says: %s\n' "${off[@]}" >&2
    echo "Mend with:  clang-format -i ${off[*]}" >&2
    exit 1
fi
# Statement texts and messages are split into literals of at most the line
# width too: no line over 120 columns.
long=$(awk 'length > 120 { print FILENAME ":" FNR ": " length " columns" }' "${files[@]}")
if [ -n "$long" ]; then
    echo "FAIL: lines over 120 columns:" >&2
    echo "$long" >&2
    exit 1
fi
echo "${#files[@]} sources laid out as .clang-format says"
