#!/usr/bin/env bash
# The checked-in format reference is what the program prints from the line
# formats of the code now.
#
#   format_reference_test.sh PROGRAM REFERENCE
set -uo pipefail

program=$1 reference=$2
printed=$(mktemp) || exit 1
trap 'rm -f "$printed"' EXIT

"$program" >"$printed" || { echo "FAIL: $program ended with $?" >&2; exit 1; }
if ! diff -u "$reference" "$printed"; then
    echo "FAIL: $reference differs from what $program prints (above: - the file, + the program)." >&2
    echo "Regenerate it with:  $program > $reference" >&2
    exit 1
fi
