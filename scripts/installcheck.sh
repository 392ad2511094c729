#!/usr/bin/env bash
# The SQL regression suite over TCP against a running Firebird server (3.0 or later) with vantor installed:
#   scripts/installcheck.sh --server HOST[/PORT] --user USER --password PASSWORD [--udr]
#       [--dir SERVER_FOLDER] [--isql PROGRAM] [--build DIR] [--skip NAME]... [NAME...]
# The runner is tests/tools/sqlrun.py --server; its help says the rest.
case " $* " in *" --server "*) ;; *) sed -n '3,4p' "$0" | sed 's/^#  *//' >&2; exit 2 ;; esac
exec python3 "$(dirname "$0")/../tests/tools/sqlrun.py" "$@"
