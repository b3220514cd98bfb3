#!/usr/bin/env bash
# Loopback throughput of the byte channels against the reference (curl with nginx), one command:
#   bash bench/channels/run.sh [SIZE_MIB]
set -euo pipefail
cd "$(dirname "$0")/../.."
SIZE_MIB=${1:-1024}
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR" -j2 --target bench_channels >/dev/null
BIN="$BUILD_DIR/bench/channels/bench_channels"

WORK=$(mktemp -d /tmp/trovanti-bench-XXXXXX)
NGINX_PID=""
cleanup() {
  if [ -n "$NGINX_PID" ]; then kill "$NGINX_PID" 2>/dev/null || true; wait "$NGINX_PID" 2>/dev/null || true; fi
  rm -rf "$WORK"
}
trap cleanup EXIT

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
now() { date +%s.%N; }
mbps() { awk -v b="$1" -v t0="$2" -v t1="$3" 'BEGIN { printf "%.1f", b / 1e6 / (t1 - t0) }'; }

echo "bench: creating ${SIZE_MIB} MiB source file"
mkdir -p "$WORK/www" "$WORK/nginx/logs" "$WORK/nginx/tmp"
[ -f "${BENCH_SOURCE:-}" ] && cp "$BENCH_SOURCE" "$WORK/www/src.bin" || dd if=/dev/urandom of="$WORK/www/src.bin" bs=1M count="$SIZE_MIB" status=none
BYTES=$(stat -c %s "$WORK/www/src.bin")

NGINX_PORT=$(free_port)
cat > "$WORK/nginx/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
error_log $WORK/nginx/logs/error.log;
pid $WORK/nginx/nginx.pid;
events { worker_connections 64; }
http {
  access_log off;
  sendfile on;
  client_body_temp_path $WORK/nginx/tmp;
  proxy_temp_path $WORK/nginx/tmp;
  fastcgi_temp_path $WORK/nginx/tmp;
  uwsgi_temp_path $WORK/nginx/tmp;
  scgi_temp_path $WORK/nginx/tmp;
  server {
    listen 127.0.0.1:$NGINX_PORT;
    root $WORK/www;
    client_max_body_size 0;
    location / { dav_methods PUT; create_full_put_path on; }
  }
}
CONF
nginx -p "$WORK/nginx" -c "$WORK/nginx/nginx.conf" &
NGINX_PID=$!
for _ in $(seq 50); do curl -s -o /dev/null "http://127.0.0.1:$NGINX_PORT/" && break; sleep 0.1; done

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
