# A throwaway PostgreSQL cluster on a free loopback port: role sa (its superuser), database
# result, trust authentication. Sourced, not run.
#
#   pg_start   starts it and exports VARNOT_PG_PORT and VARNOT_PG_DIR
#   pg_stop    stops it and removes its folder (call it from an EXIT trap)

_pg_bin() {
  local dir
  dir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n1)
  [ -n "$dir" ] || { echo "no PostgreSQL server found under /usr/lib/postgresql" >&2; return 1; }
  echo "$dir"
}

# Runs a server program as the cluster's owner: postgres when we are root, else ourselves.
_pg_as_owner() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

# A loopback port nothing listens on, tried by connecting to it (bash alone, no other tools).
_pg_free_port() {
  local port
  while :; do
    port=$((20000 + RANDOM % 30000))
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { echo "$port"; return; }
  done
}

pg_start() {
  local bin port attempt
  bin=$(_pg_bin) || return 1
  VARNOT_PG_DIR=$(mktemp -d "${TMPDIR:-/tmp}/varnot-pg.XXXXXX")
  [ "$(id -u)" -eq 0 ] && chown postgres: "$VARNOT_PG_DIR"
  _pg_as_owner "$bin/initdb" -D "$VARNOT_PG_DIR/data" -U sa -A trust -E UTF8 --no-locale --no-sync \
    >"$VARNOT_PG_DIR/initdb.log" 2>&1 || { cat "$VARNOT_PG_DIR/initdb.log" >&2; return 1; }
  for attempt in 1 2 3; do
    port=$(_pg_free_port)
    if _pg_as_owner "$bin/pg_ctl" -D "$VARNOT_PG_DIR/data" -l "$VARNOT_PG_DIR/server.log" -w -s \
         -o "-c listen_addresses=127.0.0.1 -p $port -k $VARNOT_PG_DIR" start; then
      "$bin/createdb" -h 127.0.0.1 -p "$port" -U sa result || return 1
      export VARNOT_PG_PORT=$port VARNOT_PG_DIR
      return 0
    fi
  done
  cat "$VARNOT_PG_DIR/server.log" >&2
  return 1
}

pg_stop() {
  [ -n "${VARNOT_PG_DIR:-}" ] && [ -d "$VARNOT_PG_DIR" ] || return 0
  local bin
  bin=$(_pg_bin) || return 0
  [ -f "$VARNOT_PG_DIR/data/postmaster.pid" ] &&
    _pg_as_owner "$bin/pg_ctl" -D "$VARNOT_PG_DIR/data" -m immediate -w -s stop >/dev/null 2>&1
  rm -rf "$VARNOT_PG_DIR"
  unset VARNOT_PG_DIR VARNOT_PG_PORT
}
