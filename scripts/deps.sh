# Sourced by the run-* scripts: installs the Debian packages that are
# missing, and only those, saying which.

# The packages the verdict needs (run-probes), and those every build of the
# test suite needs.
probe_packages="cmake make g++ pkg-config libtiff-dev help2man"
base_packages="$probe_packages libgtest-dev libbenchmark-dev"

# The Debian releases whose library the verdict can be taken on
# (run-probes --debian, scripts/cross-sysroot --debian).
debian_suites="bookworm trixie sid"
# The machine's own release, by its code name.
machine_suite() {
    sed -n 's/^VERSION_CODENAME=//p' /etc/os-release | tr -d '"'
}

# The other hosts the probes run on, by preset name (run-probes --arch).
cross_arches="s390x i686"
# Sets, for one of them, cross_debian (its Debian architecture, for
# scripts/cross-sysroot), cross_qemu and cross_packages (what builds and runs
# it here), and cross_toolchain (its CMake toolchain file); fails for any
# other name.
cross_arch() {
    case "$1" in
    s390x)
        cross_debian=s390x cross_qemu=qemu-s390x-static
        cross_packages="g++-s390x-linux-gnu libc6-dev-s390x-cross qemu-user-static"
        cross_toolchain=cmake/s390x-linux-gnu.cmake
        ;;
    i686)
        cross_debian=i386 cross_qemu=qemu-i386-static
        cross_packages="g++-i686-linux-gnu libc6-dev-i386-cross qemu-user-static"
        cross_toolchain=cmake/i686-linux-gnu.cmake
        ;;
    *) return 1 ;;
    esac
}

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
