#!/usr/bin/env bash
# The module harness of a Windows build under Wine with the x87 control word WORD, against the Linux
# x86-64 build's harness on the same arguments (under the Linux default word), result by result. The
# harness itself fails on a control word left changed or a FREE_IT result that ib_util did not hand out.
#   tests/windows/differential.sh WINDOWS-BUILD LINUX-BUILD WORD
# VANTOR_HARNESS_STRIDE (997), VANTOR_HARNESS_RANDOM (200000): the sweep's step, the random inputs.
set -uo pipefail
. "$(dirname "$0")/../../scripts/lib/wine.sh"
build=$1 reference=$2 word=$3
arguments=("${VANTOR_HARNESS_STRIDE:-997}" "${VANTOR_HARNESS_RANDOM:-200000}" 20261209)
[ -x "$reference/tests/vantor_harness" ] \
  || { echo "differential: no module harness in $reference (scripts/build.sh x86_64)" >&2; exit 1; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
LD_LIBRARY_PATH="$reference" "$reference/tests/vantor_harness" 037F "${arguments[@]}" > "$out/linux" \
  || { echo "differential: the Linux module harness failed" >&2; exit 1; }
status=0
wine_run "$build" vantor_harness "$word" "${arguments[@]}" > "$out/windows" || status=1
results=$(wc -l < "$out/linux") windows=$(wc -l < "$out/windows")
differences=$(paste -d ' ' "$out/linux" "$out/windows" | awk '$1 != $2 { n++ } END { print n + 0 }')
echo "differential: control word $word: $results results, $windows from Windows, $differences differences"
[ "$status" -eq 0 ] && [ "$differences" -eq 0 ] && [ "$windows" -eq "$results" ]
