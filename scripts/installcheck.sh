#!/usr/bin/env bash
# installcheck: the SQL regression suite against a Firebird server of 3.0 or
# later that is already running, with vantor installed in it, over TCP:
#
#   scripts/installcheck.sh --server HOST[/PORT] --user USER --password PASSWORD [--udr]
#       [--dir SERVER_FOLDER] [--isql PROGRAM] [--build DIR] [--skip NAME]... [NAME...]
#
# The runner is tests/tools/sqlrun.py --server; its help says the rest.
case " $* " in *" --server "*) ;; *) sed -n '5,6p' "$0" | sed 's/^#  *//' >&2; exit 2 ;; esac
exec python3 "$(dirname "$0")/../tests/tools/sqlrun.py" "$@"
