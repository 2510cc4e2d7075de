# Shared steps of scripts/run and scripts/test: install what is missing, configure, build.
# Sourced, not run.

TABULEX_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Debian 12 packages the build, the program and the tests need. The project tests compare
# --check with Free Pascal's own notes (fp-compiler: the compiler and its run-time library,
# about 63 MB, not the `fpc` package, which brings every unit package, the IDE and the
# documentation) and read the tags file with readtags (universal-ctags).
TABULEX_PACKAGES=(cmake g++ make pkg-config qt6-base-dev libgl-dev libgtest-dev
                  fonts-liberation poppler-utils chromium qt6-translations-l10n
                  zlib1g-dev libharfbuzz-dev libfontconfig-dev clang-format qpdf
                  fp-compiler universal-ctags libgraphviz-dev qt6-svg-dev)

tabulex_as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs the packages of the given list that are not installed yet.
tabulex_install() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
    done
    [ "${#missing[@]}" -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    tabulex_as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    tabulex_as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Configures and builds into the given folder (default build/) with extra CMake arguments.
# With TABULEX_TARGETS set (names separated by blanks) only those targets are built.
tabulex_build() {
    local dir="$1"; shift
    cmake -S "$TABULEX_ROOT" -B "$TABULEX_ROOT/$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    # shellcheck disable=SC2086 # one argument per target name
    cmake --build "$TABULEX_ROOT/$dir" -j"$(nproc)" ${TABULEX_TARGETS:+--target $TABULEX_TARGETS}
}
