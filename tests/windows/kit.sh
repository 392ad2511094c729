#!/usr/bin/env bash
# The Windows kit of a flavour (win32 or win64), made by scripts/package.sh:
# the two DLLs, the four SQL scripts and the README for Windows.
set -euo pipefail
zip=$(bash "$(dirname "$0")/../../scripts/package.sh" "$1")
[ "$(unzip -Z1 "$zip" | grep -cE '/(vantor\.dll|vantor_udr\.dll|README\.txt|sql/vantor(-udr)?(-drop)?\.sql)$')" -eq 7 ]
