# Shared by scripts/run and scripts/test: installing what is missing, building a preset.
# Sourced, not run.

VARNOT_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Debian packages the console needs to build, test and run.
VARNOT_PACKAGES=(
  g++ cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-serialport-dev
  libgtest-dev libbenchmark-dev
  socat xvfb xauth poppler-utils
  fonts-arphic-uming fonts-wqy-microhei
  libqt6sql6-sqlite libqt6sql6-odbc unixodbc unixodbc-dev odbcinst libsqliteodbc
  postgresql odbc-postgresql
  qt6-charts-dev libqt6opengl6-dev
  qt6-l10n-tools qt6-tools-dev
)

# What scripts/fuzz needs besides: clang and its libFuzzer and sanitizer runtimes.
VARNOT_FUZZ_PACKAGES=(clang libclang-rt-14-dev)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; elif command -v sudo >/dev/null; then sudo "$@"; else
    echo "need root to install packages: $*" >&2; return 1; fi
}

# Installs the packages that are not installed yet; apt-get update runs once, and only when
# something is missing.
ensure_packages() {
  local missing=()
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "installing: ${missing[*]}"
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq >/dev/null
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# The compiler cache is shared by every clone on this machine: paths under the clone's parent
# folder are hashed relative to it.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(dirname "$VARNOT_ROOT")}
export CCACHE_NOHASHDIR=1

# Configures (once) and builds one preset.
build_preset() {
  local preset=$1
  (cd "$VARNOT_ROOT" &&
    { [ -f "build/$preset/build.ninja" ] || cmake --preset "$preset" >/dev/null; } &&
    cmake --build --preset "$preset")
}
