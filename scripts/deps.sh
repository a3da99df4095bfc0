# Sourced by the run-* scripts: installs the Debian packages that are
# missing, and only those, saying which.

# The packages every build needs.
base_packages="cmake make g++ pkg-config libtiff-dev libgtest-dev libbenchmark-dev"

ensure_packages() {
    missing=""
    for pkg in "$@"; do
        status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null) || status=""
        case "$status" in
        *" installed") ;;
        *) missing="$missing $pkg" ;;
        esac
    done
    [ -n "$missing" ] || return 0

    echo "Installing missing packages:$missing"
    if [ "$(id -u)" -eq 0 ]; then
        sudo=""
    elif command -v sudo >/dev/null 2>&1; then
        sudo="sudo"
    else
        echo "Not root and no sudo: install these packages first:$missing" >&2
        exit 1
    fi
    $sudo apt-get update -q >/dev/null || exit 1
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends $missing \
        >/dev/null || exit 1
}
