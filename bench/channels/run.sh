#!/usr/bin/env bash
# Loopback throughput of the byte channels against the reference (curl with nginx), one command:
#   bash bench/channels/run.sh [SIZE_MIB]
set -euo pipefail
cd "$(dirname "$0")/../.."
SIZE_MIB=${1:-1024}
. bench/lib.sh
bench_build bench_channels
BIN="$BUILD_DIR/bench/channels/bench_channels"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/trovanti-bench-XXXXXX")
cleanup() {
  nginx_stop
  rm -rf "$WORK"
}
trap cleanup EXIT

echo "bench: creating ${SIZE_MIB} MiB source file"
mkdir -p "$WORK/www"
[ -f "${BENCH_SOURCE:-}" ] && cp "$BENCH_SOURCE" "$WORK/www/src.bin" || dd if=/dev/urandom of="$WORK/www/src.bin" bs=1M count="$SIZE_MIB" status=none
BYTES=$(stat -c %s "$WORK/www/src.bin")

nginx_start "$WORK/www"

echo "bench: curl GET from nginx"
t0=$(now); curl -s -f -o "$WORK/curl_get.bin" "http://127.0.0.1:$NGINX_PORT/src.bin"; t1=$(now)
CURL_GET=$(mbps "$BYTES" "$t0" "$t1")
rm -f "$WORK/curl_get.bin"
echo "bench: curl PUT to nginx"
t0=$(now); curl -s -f -o /dev/null -T "$WORK/www/src.bin" "http://127.0.0.1:$NGINX_PORT/up.bin"; t1=$(now)
CURL_PUT=$(mbps "$BYTES" "$t0" "$t1")
rm -f "$WORK/www/up.bin"

echo "bench: ostrel channels"
OUT=$("$BIN" "$WORK/www/src.bin" "$WORK" "$(free_port)" 2000)
echo "$OUT"
value() { echo "$OUT" | awk -v k="$1" '$1 == k { print $2 }'; }
OSTREL_GET=$(value ostrel_get_MBps)
OSTREL_PUT=$(value ostrel_put_MBps)

echo
echo "curl GET from nginx:        $CURL_GET MB/s"
echo "curl PUT to nginx:          $CURL_PUT MB/s"
echo "ActiveHttp GET from server: $OSTREL_GET MB/s"
echo "ActiveHttp PUT to server:   $OSTREL_PUT MB/s"
echo "ActiveMultiHttp 2000 x 16 KiB, 5 connections: $(value multi_files_per_s) files/s"
echo "peak RSS: start $(value rss_start_kib) KiB, after GET $(value rss_after_get_kib) KiB, after PUT $(value rss_after_put_kib) KiB, end $(value rss_peak_kib) KiB"
awk -v a="$OSTREL_GET" -v b="$CURL_GET" 'BEGIN { printf "ratio GET ostrel/curl: %.2f\n", a / b }'
awk -v a="$OSTREL_PUT" -v b="$CURL_PUT" 'BEGIN { printf "ratio PUT ostrel/curl: %.2f\n", a / b }'
