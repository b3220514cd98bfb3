# Shared by the bench/*/run.sh scripts (sourced, not run): build, timing and the curl+nginx reference.
# The caller sets WORK (its temp folder) and calls bench_cleanup from its EXIT trap.

BUILD_DIR=${BUILD_DIR:-build}
NGINX_PID=""
NGINX_PORT=""

# Builds the given targets; an existing build folder keeps its own configuration.
bench_build() {
  if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
    cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  fi
  cmake --build "$BUILD_DIR" -j2 --target "$@" >/dev/null
  BUILD_TYPE=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$BUILD_DIR/CMakeCache.txt")
}

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
now() { date +%s.%N; }
# mbps BYTES T0 T1
mbps() { awk -v b="$1" -v t0="$2" -v t1="$3" 'BEGIN { printf "%.1f", b / 1e6 / (t1 - t0) }'; }

# nginx_start ROOT: serves ROOT (GET, and PUT through WebDAV) on a free loopback port, state under $WORK/nginx.
nginx_start() {
  local root=$1
  mkdir -p "$WORK/nginx/logs" "$WORK/nginx/tmp"
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
  keepalive_requests 100000;
  client_body_temp_path $WORK/nginx/tmp;
  proxy_temp_path $WORK/nginx/tmp;
  fastcgi_temp_path $WORK/nginx/tmp;
  uwsgi_temp_path $WORK/nginx/tmp;
  scgi_temp_path $WORK/nginx/tmp;
  server {
    listen 127.0.0.1:$NGINX_PORT;
    root $root;
    client_max_body_size 0;
    location / { dav_methods PUT; create_full_put_path on; }
  }
}
CONF
  nginx -p "$WORK/nginx" -c "$WORK/nginx/nginx.conf" &
  NGINX_PID=$!
  for _ in $(seq 50); do curl -s -o /dev/null "http://127.0.0.1:$NGINX_PORT/" && return 0; sleep 0.1; done
  echo "bench: nginx did not start" >&2
  return 1
}

nginx_stop() {
  if [ -n "$NGINX_PID" ]; then kill "$NGINX_PID" 2>/dev/null || true; wait "$NGINX_PID" 2>/dev/null || true; fi
  NGINX_PID=""
}
