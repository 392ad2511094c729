# Sourced by the scripts that check many things and say which failed:
#   check DESCRIPTION COMMAND...  runs the command; prints "ok:" or "FAILED:"
#                                 with the description and counts failures
#   same GOT EXPECTED             equal, or the lines that differ shown
#   contains FILE TEXT            FILE holds TEXT, or FILE shown
#   logged FILE COMMAND...        runs the command, its output in FILE, shown if it fails
#   checked NAME                  prints NAME's summary; true if none failed
failures=0
check() {
  if "${@:2}"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi
}
same() { [ "$1" = "$2" ] || { diff <(echo "$2") <(echo "$1") | sed 's/^/    /' >&2; return 1; }; }
contains() { grep -qF -- "$2" "$1" || { echo "  expected \"$2\" in:" >&2; sed 's/^/    /' "$1" >&2; return 1; }; }
logged() { "${@:2}" > "$1" 2>&1 || { sed 's/^/    /' "$1" >&2; return 1; }; }
checked() {
  if [ "$failures" -eq 0 ]; then echo "$1: all checks passed"; else echo "$1: $failures checks failed"; fi
  [ "$failures" -eq 0 ]
}
