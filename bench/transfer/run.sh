#!/usr/bin/env bash
# End-to-end transfers through trovanti-service on loopback, sender and receiver as separate
# processes, against the reference (curl downloading from nginx) measured in the same run:
#   bash bench/transfer/run.sh [SIZE_MIB [SMALL_COUNT]]
# Exit status 1 when any received byte was wrong or a transfer failed; missed targets are only reported.
set -euo pipefail
cd "$(dirname "$0")/../.."
SIZE_MIB=${1:-1024}
SMALL_COUNT=${2:-2000}
SMALL_KIB=16
. bench/lib.sh
echo "bench: building bench_transfer and trovanti-service"
bench_build bench_transfer trovanti-service
BIN="$BUILD_DIR/bench/transfer/bench_transfer"
SERVICE_BIN="$BUILD_DIR/service/trovanti-service"

# Sources, copies and the service's data (the relay copy) all live here, on one file system.
WORK=$(mktemp -d "${TMPDIR:-/tmp}/trovanti-bench-transfer-XXXXXX")
SERVICE_PID=""
cleanup() {
  if [ -n "$SERVICE_PID" ]; then kill "$SERVICE_PID" 2>/dev/null || true; wait "$SERVICE_PID" 2>/dev/null || true; fi
  nginx_stop
  rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

FAILED=0
fail() { echo "bench: FAILED: $*" >&2; FAILED=1; }

echo "bench: creating a ${SIZE_MIB} MiB file and ${SMALL_COUNT} files of ${SMALL_KIB} KiB in $WORK"
mkdir -p "$WORK/www/small"
dd if=/dev/urandom of="$WORK/www/big.bin" bs=1M count="$SIZE_MIB" status=none
BIG_BYTES=$(stat -c %s "$WORK/www/big.bin")
BIG_MD5=$(md5sum < "$WORK/www/big.bin" | cut -d' ' -f1)
# Every small file has bytes of its own, so a file delivered under the wrong name is caught too.
dd if=/dev/urandom bs=1K count=$((SMALL_COUNT * SMALL_KIB)) status=none |
  (cd "$WORK/www/small" && split -b $((SMALL_KIB * 1024)) -a 5 -d --additional-suffix=.bin - f)
(cd "$WORK/www" && find small -type f -print0 | sort -z | xargs -0 md5sum > "$WORK/small.md5")
[ "$(wc -l < "$WORK/small.md5")" -eq "$SMALL_COUNT" ] || { echo "bench: could not create the small files" >&2; exit 1; }

start_service() {
  local port
  for _ in 1 2 3; do
    port=$(free_port)
    "$SERVICE_BIN" --bind 127.0.0.1 --port "$port" --partner-port 0 --data-dir "$WORK/service-data" \
      > "$WORK/service.out" 2> "$WORK/service.log" &
    SERVICE_PID=$!
    for _ in $(seq 150); do
      if grep -q "listening on" "$WORK/service.out"; then API="http://127.0.0.1:$port/api/v1/"; return 0; fi
      kill -0 "$SERVICE_PID" 2>/dev/null || break
      sleep 0.1
    done
    kill "$SERVICE_PID" 2>/dev/null || true; wait "$SERVICE_PID" 2>/dev/null || true
    SERVICE_PID=""
  done
  echo "bench: trovanti-service did not start: $(tail -3 "$WORK/service.log")" >&2
  exit 1
}
start_service
nginx_start "$WORK/www"

# ---- reference: curl from nginx ----
echo "bench: reference, curl GET of the big file from nginx"
sync
t0=$(now); curl -s -f -o "$WORK/curl_big.bin" "http://127.0.0.1:$NGINX_PORT/big.bin"; t1=$(now)
REF_BIG=$(mbps "$BIG_BYTES" "$t0" "$t1")
[ "$(stat -c %s "$WORK/curl_big.bin")" -eq "$BIG_BYTES" ] || fail "curl's copy has the wrong size"
rm -f "$WORK/curl_big.bin"

echo "bench: reference, one curl fetching the ${SMALL_COUNT} small files over one keep-alive connection"
mkdir -p "$WORK/curl_small"
for f in "$WORK"/www/small/*; do
  n=${f##*/}
  printf 'url = "http://127.0.0.1:%s/small/%s"\noutput = "%s/curl_small/%s"\n' "$NGINX_PORT" "$n" "$WORK" "$n"
done > "$WORK/curl_small.cfg"
sync
t0=$(now); curl -s -f -K "$WORK/curl_small.cfg"; t1=$(now)
REF_SMALL=$(awk -v n="$SMALL_COUNT" -v t0="$t0" -v t1="$t1" 'BEGIN { printf "%.0f", n / (t1 - t0) }')
[ "$(find "$WORK/curl_small" -type f | wc -l)" -eq "$SMALL_COUNT" ] || fail "curl did not fetch every small file"
rm -rf "$WORK/curl_small"

# ---- the engine: sender and receiver through the service ----
# run_pair NAME MODE SOURCE...: runs one case, its "name value" lines land in $WORK/NAME.out
run_pair() {
  local name=$1 mode=$2
  shift 2
  mkdir -p "$WORK/recv_$name"
  sync
  if ! "$BIN" pair "$API" "$mode" "$WORK/recv_$name" "$@" > "$WORK/$name.out" 2> "$WORK/$name.err"; then
    fail "$name transfer did not succeed: $(tail -5 "$WORK/$name.err" | tr '\n' ' ')"
  fi
}
value() { awk -v k="$2" '$1 == k { print $2 }' "$WORK/$1.out"; }

check_big() {
  local copy="$WORK/recv_$1/big.bin"
  if [ ! -f "$copy" ]; then fail "$1: big.bin was not received"; return; fi
  [ "$(stat -c %s "$copy")" -eq "$BIG_BYTES" ] || fail "$1: big.bin has $(stat -c %s "$copy") bytes, not $BIG_BYTES"
  [ "$(md5sum < "$copy" | cut -d' ' -f1)" = "$BIG_MD5" ] || fail "$1: big.bin has the wrong bytes"
  if find "$WORK/recv_$1" -name '*.trovanti' | grep -q .; then fail "$1: a temporary file was left"; fi
  rm -rf "$WORK/recv_$1"
}

echo "bench: direct, big file"
run_pair direct direct "$WORK/www/big.bin"
check_big direct
echo "bench: upload through the relay, big file"
run_pair upload upload "$WORK/www/big.bin"
check_big upload
rm -rf "$WORK/service-data/relay"/* 2>/dev/null || true
echo "bench: direct, ${SMALL_COUNT} small files"
run_pair small direct "$WORK/www/small"
if ! (cd "$WORK/recv_small" && md5sum --quiet -c "$WORK/small.md5" >/dev/null 2>"$WORK/small.check"); then
  fail "small files differ: $(head -3 "$WORK/small.check" | tr '\n' ' ')"
fi
[ "$(find "$WORK/recv_small" -type f | wc -l)" -eq "$SMALL_COUNT" ] || fail "small: not exactly $SMALL_COUNT files received"

# ---- figures ----
rate() { awk -v a="$1" -v t="$2" -v s="${3:-1e6}" 'BEGIN { if (t > 0) printf "%.1f", a / s / t; else print 0 }'; }
sum() { awk -v a="$1" -v b="$2" 'BEGIN { print a + b }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print 0 }'; }
verdict() { awk -v r="$1" -v t="$2" 'BEGIN { print (r >= t) ? "met" : "MISSED" }'; }
mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
rss_verdict() { awk -v a="$1" -v b="$2" 'BEGIN { print (a < 65536 && b < 65536) ? "met" : "MISSED" }'; }

D_E2E=$(rate "$BIG_BYTES" "$(value direct recv_wall_s)")
D_DATA=$(rate "$BIG_BYTES" "$(value direct recv_data_s)")
U_E2E=$(rate "$BIG_BYTES" "$(sum "$(value upload send_wall_s)" "$(value upload recv_wall_s)")")
U_DATA=$(rate "$BIG_BYTES" "$(sum "$(value upload send_data_s)" "$(value upload recv_data_s)")")
S_E2E=$(rate "$SMALL_COUNT" "$(value small recv_wall_s)" 1)
S_DATA=$(rate "$SMALL_COUNT" "$(value small recv_data_s)" 1)
D_R=$(ratio "$D_E2E" "$REF_BIG"); U_R=$(ratio "$U_E2E" "$REF_BIG"); S_R=$(ratio "$S_E2E" "$REF_SMALL")

echo
echo "build type: ${BUILD_TYPE:-unset}; big file ${SIZE_MIB} MiB; ${SMALL_COUNT} x ${SMALL_KIB} KiB"
echo "reference curl GET from nginx:        $REF_BIG MB/s"
echo "reference curl, ${SMALL_COUNT} small files:     $REF_SMALL files/s"
echo "Rates are end to end (receiver start to receiver exit: authentication, key lookup, pairing, bytes,"
echo "final report); 'bytes only' counts from the first file's start to the last file's end."
for c in direct upload small; do
  case $c in
    direct) e=$D_E2E; d=$D_DATA; r=$D_R; t=0.7; u="MB/s"; what="direct, ${SIZE_MIB} MiB" ;;
    upload) e=$U_E2E; d=$U_DATA; r=$U_R; t=0.35; u="MB/s"; what="upload (send + receive via relay)" ;;
    small) e=$S_E2E; d=$S_DATA; r=$S_R; t=0.7; u="files/s"; what="direct, ${SMALL_COUNT} small files" ;;
  esac
  s=$(value $c send_rss_kib); v=$(value $c recv_rss_kib)
  printf '%-36s %8s %s (bytes only %s), ratio %s (target >= %s: %s); peak RSS send %s MiB, receive %s MiB (< 64: %s)\n' \
    "$what:" "$e" "$u" "$d" "$r" "$t" "$(verdict "$r" "$t")" "$(mib "$s")" "$(mib "$v")" "$(rss_verdict "$s" "$v")"
done
RSS_MAX=$(for c in direct upload small; do value $c send_rss_kib; value $c recv_rss_kib; done | sort -n | tail -1)
[ "$FAILED" -eq 0 ] && BYTES_OK="all bytes verified" || BYTES_OK="WRONG OR MISSING BYTES"
echo "figure: direct/curl $D_R (>= 0.7), upload/curl $U_R (>= 0.35), small files/curl $S_R (>= 0.7)," \
  "max peak RSS $(mib "${RSS_MAX:-0}") MiB (< 64); $BYTES_OK"
exit "$FAILED"
