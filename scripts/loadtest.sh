#!/usr/bin/env bash
# Concurrent load on the real i386 Firebird server: starts /usr/sbin/firebird
# from a private root (bound to 127.0.0.1 on a free port, its own security
# database, UDFs allowed from the build folder only), declares the library in
# a scratch database, then runs tests/load/workload.sql on CONNECTIONS
# connections at once for ROUNDS rounds each. Every result must equal that of
# a single-connection run, and the server's resident memory at the end must
# not exceed its size after the warm-up round by more than the noise margin.
# With --workload, another workload (tests/load/heavy_match.sql runs the
# matcher at its per-call memory bound); with --peak-per-connection MIB, the
# server's peak memory over the whole run must stay within that many MiB a
# connection of its size before the first call.
#
#   scripts/loadtest.sh [--connections N] [--rounds N] [--build DIR] [--workload FILE]
#                       [--peak-per-connection MIB]
# A longer soak: scripts/loadtest.sh --rounds 200
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lib/fbroot.sh"
connections=8 rounds=3 builddir="$root/build/i386" growth_limit_kb=8192
workload="$root/tests/load/workload.sql" peak_per_connection_mib=""
while [ $# -gt 0 ]; do
  case "$1" in
    --connections) connections=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    --build) builddir=$(cd "$2" && pwd); shift 2 ;;
    --workload) workload=$(cd "$(dirname "$2")" && pwd)/$(basename "$2"); shift 2 ;;
    --peak-per-connection) peak_per_connection_mib=$2; shift 2 ;;
    *) echo "usage: $0 [--connections N] [--rounds N] [--build DIR] [--workload FILE] [--peak-per-connection MIB]" >&2
       exit 2 ;;
  esac
done
# The allocator keeps blocks of the size heavy calls take (its mmap
# threshold grows to them), so with a peak limit the growth may reach it.
if [ -n "$peak_per_connection_mib" ]; then growth_limit_kb=$((connections * peak_per_connection_mib * 1024)); fi
system_root=/usr/lib/i386-linux-gnu/firebird/3.0
scratch=$(mktemp -d)
server_pid=""
cleanup() {
  stop_server
  rm -rf "$scratch"
}
trap cleanup EXIT

port=$(free_port 31000 31999) || { echo "loadtest: no free port" >&2; exit 1; }
fbroot="$scratch/root"
mkdir -p "$scratch/out"
make_fbroot "$fbroot" "$system_root" databases.conf
printf 'UdfAccess = Restrict %s\nRemoteServicePort = %s\nRemoteBindAddress = 127.0.0.1\nIpcName = vantor_load_%s\n' \
  "$builddir" "$port" "$port" > "$fbroot/firebird.conf"
password=vantor$$
start_server "$fbroot" "$scratch" "$port" "$password" || { echo "loadtest: server did not start" >&2; exit 1; }

# Clients use the system client library; only the server reads this root.
db="localhost/$port:$scratch/load.fdb"
{
  echo "create database '$db' user 'SYSDBA' password '$password' default character set WIN1250;"
  cat "$root/sql/vantor.sql"
  echo "commit;"
} > "$scratch/install.sql"
isql-fb -q -b -ch WIN1250 -i "$scratch/install.sql"
client() { isql-fb -q -ch WIN1250 -user SYSDBA -password "$password" -i "$workload" "$db"; }
rss_kb() { ps -o rss= -p "$server_pid" | tr -d ' '; }
peak_kb() { awk '/^VmHWM:/ {print $2}' "/proc/$server_pid/status"; }
rss_start=$(rss_kb)

client > "$scratch/reference.out" 2>&1 || { cat "$scratch/reference.out"; echo "loadtest: the workload failed" >&2; exit 1; }
grep -q -E 'Statement failed|SQLSTATE' "$scratch/reference.out" && { cat "$scratch/reference.out"; exit 1; }
# Warm-up: one round on every connection, so caches and pools reach their size.
clients=()
for c in $(seq "$connections"); do client > "$scratch/warm$c.out" 2>&1 & clients+=($!); done
wait "${clients[@]}"
rss_warm=$(rss_kb)

start=$(date +%s%N)
mismatches=0
clients=()
for c in $(seq "$connections"); do
  (
    for r in $(seq "$rounds"); do
      client > "$scratch/out/c$c-r$r.out" 2>&1
    done
  ) &
  clients+=($!)
done
wait "${clients[@]}"
elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
rss_end=$(rss_kb)
kill -0 "$server_pid" || { echo "loadtest: the server died" >&2; exit 1; }
for f in "$scratch"/out/*.out; do
  cmp -s "$f" "$scratch/reference.out" || { mismatches=$((mismatches + 1)); diff "$scratch/reference.out" "$f" | head -20; }
done
runs=$((connections * rounds))
growth=$((rss_end - rss_warm))
echo "loadtest: $connections connections x $rounds rounds = $runs workload runs in ${elapsed_ms} ms; $mismatches mismatching results"
echo "loadtest: server RSS after warm-up ${rss_warm} KiB, at end ${rss_end} KiB (growth ${growth} KiB, limit ${growth_limit_kb} KiB)"
# The peak over the whole run, every connection's calls at once included.
peak=$(peak_kb)
peak_ok=1
if [ -n "$peak_per_connection_mib" ]; then
  peak_limit_kb=$((rss_start + connections * peak_per_connection_mib * 1024))
  echo "loadtest: server RSS before the first call ${rss_start} KiB, peak ${peak} KiB (limit ${peak_limit_kb} KiB)"
  [ "$peak" -le "$peak_limit_kb" ] || peak_ok=0
else
  echo "loadtest: server RSS before the first call ${rss_start} KiB, peak ${peak} KiB"
fi
[ "$mismatches" -eq 0 ] && [ "$growth" -le "$growth_limit_kb" ] && [ $peak_ok -eq 1 ]
