#!/usr/bin/env bash
# installcheck: the SQL regression suite (tests/sql and its expected
# outputs) against a Firebird server of 3.0 or later that is already
# running, with vantor already installed in it, over TCP with credentials.
#
#   scripts/installcheck.sh --server HOST[/PORT] --user USER --password PASSWORD [--udr]
#       [--dir SERVER_FOLDER] [--isql PROGRAM] [--build DIR] [--skip NAME]... [NAME...]
#
# Each test gets a scratch database of its own, which the server creates in
# SERVER_FOLDER (a folder of the server's machine that the server may write
# and its DatabaseAccess allows; /tmp by default) and drops after the test.
# The client is isql-fb (or isql) on PATH, or --isql PROGRAM (a test that
# backs up and restores uses the gbak beside it; the 4.0 tests need a client
# of 4.0 or later); the BLOB test's setup program comes from the build
# folder (--build; build/x86_64 or build/i386 by default).
# The runner is tests/tools/sqlrun.py (its --help says the rest): it prints
# one line per test ("ok:", "FAILED:" with the difference, or "skipped:"
# with the reason) and "N passed, M failed"; exits 0 when every test that ran
# passed, 1 when one failed, 2 when the suite cannot run against this server.
case " $* " in *" --server "*) ;; *) sed -n '6,7p' "$0" | sed 's/^#  *//' >&2; exit 2 ;; esac
exec python3 "$(dirname "$0")/../tests/tools/sqlrun.py" "$@"
