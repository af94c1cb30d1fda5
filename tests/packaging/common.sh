# Shared by the packaging checks: arguments, a scratch folder, and a tally of failures.
set -euo pipefail

build=$(realpath "$1")
source_dir=$(realpath "$2")
version=$3
scratch=$(mktemp -d "${TMPDIR:-/tmp}/vexorin-packaging-XXXXXX")
failures=0

# Installing rewrites the build's install_manifest.txt, which `make uninstall` reads: the
# user's own stays as it was.
manifest=$build/install_manifest.txt
if [[ -e $manifest ]]; then cp -p "$manifest" "$scratch/users-manifest"; fi
finish() {
    if [[ -e $scratch/users-manifest ]]; then cp -p "$scratch/users-manifest" "$manifest"; else rm -f "$manifest"; fi
    rm -rf "$scratch"
}
trap finish EXIT

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# expect_eq WHAT ACTUAL EXPECTED
expect_eq() {
    if [[ $2 != "$3" ]]; then fail "$1: got '$2', expected '$3'"; fi
}

# Runs a program as on a machine without a display: --version and --help must not need one.
headless() {
    env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$@"
}

# The programs' versions and the home page, as installed under ROOT/bin.
check_programs() {
    local root=$1
    expect_eq "vexorin-cli --version" "$("$root/bin/vexorin-cli" --version 2>&1)" "vexorin-cli $version"
    expect_eq "vexorin --version" "$(headless "$root/bin/vexorin" --version 2>&1)" "vexorin $version"
    local help
    help=$(headless "$root/bin/vexorin" --help 2>&1) || fail "vexorin --help failed: $help"
    local page
    page="file://$(realpath "$root")/share/doc/vexorin/index.html"
    if ! grep -qxF "Home page: $page" <<<"$help"; then fail "the home page is not $page: $help"; fi
}

# The files of an install, relative to its prefix, sorted.
files_under() {
    (cd "$1" && find . -type f -o -type l) | sed 's|^\./||' | LC_ALL=C sort
}

report() {
    if ((failures > 0)); then
        echo "$failures check(s) failed" >&2
        exit 1
    fi
    echo "all checks passed"
}
