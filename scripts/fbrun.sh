#!/usr/bin/env bash
# Runs SQL files in the embedded engine, each in a scratch database with vantor declared: sqlrun.py --run (see --help).
exec python3 "$(dirname "$0")/../tests/tools/sqlrun.py" --run "$@"
