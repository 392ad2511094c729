#!/usr/bin/env bash
# The workload on CONNECTIONS connections at once, ROUNDS rounds each, to the real i386 3.0 server run from a private
# root (legacy UDFs from the build folder only): every result must equal a single-connection run's; the server's
# memory may grow past its size after a warm-up round by the noise margin only, and with --peak-per-connection
# peak at that many MiB a connection over its size before the first call.
#   scripts/loadtest.sh [--connections N] [--rounds N] [--build DIR] [--workload FILE] [--peak-per-connection MIB]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lib/fbroot.sh"
connections=8 rounds=3 builddir="$root/build/i386" workload="$root/tests/load/workload.sql"
peak_mib="" growth_limit_kb=8192 peak_limit_kb=""
while [ $# -gt 0 ]; do
  case "$1" in
    --connections) connections=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    --build) builddir=$(cd "$2" && pwd); shift 2 ;;
    --workload) workload=$(cd "$(dirname "$2")" && pwd)/$(basename "$2"); shift 2 ;;
    --peak-per-connection) peak_mib=$2; shift 2 ;;
    *) echo "usage: $0 [--connections N] [--rounds N] [--build DIR] [--workload FILE] [--peak-per-connection MIB]" >&2
       exit 2 ;;
  esac
done
# The allocator keeps blocks of the size heavy calls take (its mmap threshold grows to them), so with a peak
# limit the growth may reach it.
[ -z "$peak_mib" ] || growth_limit_kb=$((connections * peak_mib * 1024))
scratch=$(mktemp -d)
trap 'stop_server; rm -rf "$scratch"' EXIT
make_fbroot "$scratch/root" /usr/lib/i386-linux-gnu/firebird/3.0 databases.conf
password=vantor$$
start_server "$scratch/root" "$scratch" "$password" "$builddir" || { echo "loadtest: server did not start" >&2; exit 1; }
port=$server_port
# Clients use the system client library; only the server reads this root.
db="localhost/$port:$scratch/load.fdb"
create="create database '$db' user 'SYSDBA' password '$password' default character set WIN1250;"
isql-fb -q -b -ch WIN1250 -i <(echo "$create"; cat "$root/sql/vantor.sql")
client() { isql-fb -q -ch WIN1250 -user SYSDBA -password "$password" -i "$workload" "$db"; }
rss_kb() { ps -o rss= -p "$server_pid" | tr -d ' '; }
on_every_connection() {  # on_every_connection ROUNDS DIR: the workload ROUNDS times, outputs in DIR
  local c clients=()
  mkdir -p "$2"
  for c in $(seq "$connections"); do
    ( for r in $(seq "$1"); do client > "$2/c$c-r$r.out" 2>&1; done ) &
    clients+=($!)
  done
  wait "${clients[@]}"
}
rss_start=$(rss_kb)
client > "$scratch/reference.out" 2>&1 && ! grep -qE 'Statement failed|SQLSTATE' "$scratch/reference.out" \
  || { cat "$scratch/reference.out"; echo "loadtest: the workload failed" >&2; exit 1; }
# The warm-up brings caches and pools to their size.
on_every_connection 1 "$scratch/warm-up"
rss_warm=$(rss_kb)
start=$(date +%s%N)
on_every_connection "$rounds" "$scratch/out"
elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
rss_end=$(rss_kb)
kill -0 "$server_pid" || { echo "loadtest: the server died" >&2; exit 1; }
mismatches=0
for f in "$scratch"/out/*.out; do
  diff "$scratch/reference.out" "$f" > "$f.diff" || { mismatches=$((mismatches + 1)); head -20 "$f.diff"; }
done
growth=$((rss_end - rss_warm))
# The peak over the whole run, every connection's calls at once included.
peak=$(awk '/^VmHWM:/ {print $2}' "/proc/$server_pid/status")
[ -z "$peak_mib" ] || peak_limit_kb=$((rss_start + connections * peak_mib * 1024))
echo "loadtest: $connections connections x $rounds rounds = $((connections * rounds)) workload runs" \
  "in ${elapsed_ms} ms; $mismatches mismatching results"
echo "loadtest: server RSS after warm-up ${rss_warm} KiB, at end ${rss_end} KiB (growth ${growth} KiB," \
  "limit ${growth_limit_kb} KiB)"
echo "loadtest: server RSS before the first call ${rss_start} KiB," \
  "peak ${peak} KiB${peak_limit_kb:+ (limit ${peak_limit_kb} KiB)}"
[ "$mismatches" -eq 0 ] && [ "$growth" -le "$growth_limit_kb" ] && [ "$peak" -le "${peak_limit_kb:-$peak}" ] \
  || { echo "loadtest: FAILED: results differ, or the memory is over a limit (above)" >&2; exit 1; }
