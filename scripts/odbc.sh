# ODBC data source "result" for the user running this, without touching /etc: odbcinst.ini and
# odbc.ini are written into a folder of our own and ODBCSYSINI / ODBCINI point there.
# Sourced, not run.
#
#   odbc_use_sqlite DBFILE [FOLDER]   "result" -> SQLite ODBC driver on DBFILE (the embedded default)
#   odbc_use_postgres PORT [FOLDER]   "result" -> psqlODBC on 127.0.0.1:PORT, database result, user sa

# The driver library a package installs, by file name; the usual path when dpkg knows nothing.
_odbc_driver() {
  local package=$1 file=$2 path
  path=$(dpkg -L "$package" 2>/dev/null | grep -m1 "/$file\$" || true)
  echo "${path:-/usr/lib/x86_64-linux-gnu/odbc/$file}"
}

_odbc_write() {
  local folder=$1 dsn=$2
  mkdir -p "$folder"
  # No pooling: a save holds one connection for all its sheets and closes it. A pooled SQLite
  # connection would outlive its file: sheets stored after the file was removed or put back from
  # a backup would land in a file no longer on disk.
  cat >"$folder/odbcinst.ini" <<INI
[ODBC]
Pooling = No

[SQLite3]
Description = SQLite3 ODBC driver
Driver = $(_odbc_driver libsqliteodbc libsqlite3odbc.so)

[PostgreSQL Unicode]
Description = PostgreSQL ODBC driver (Unicode)
Driver = $(_odbc_driver odbc-postgresql psqlodbcw.so)
INI
  printf '%s\n' "$dsn" >"$folder/odbc.ini"
  export ODBCSYSINI=$folder
  export ODBCINI=$folder/odbc.ini
}

odbc_use_sqlite() {
  local db=$1
  mkdir -p "$(dirname "$db")"
  db=$(cd "$(dirname "$db")" && pwd)/$(basename "$db")
  local folder=${2:-$(dirname "$db")/odbc}
  # WAL journal: one sync per commit instead of several, still durable (SyncPragma FULL).
  _odbc_write "$folder" "[result]
Driver = SQLite3
Database = $db
Timeout = 5000
JournalMode = WAL
SyncPragma = FULL"
}

odbc_use_postgres() {
  local port=$1
  local folder=${2:-${VARNOT_PG_DIR:?start the cluster first or name a folder}/odbc}
  _odbc_write "$folder" "[result]
Driver = PostgreSQL Unicode
Servername = 127.0.0.1
Port = $port
Database = result
Username = sa
Password ="
}
