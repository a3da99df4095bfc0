#!/bin/sh
# The sysroot of a cross build and the commands around it: names that are
# not architectures are refused with a clear message; a toolchain file
# without its sysroot says how to make it; the sysroot of this build's
# architecture is complete, so a second cross-sysroot is silent; its
# libraries are that architecture's and its links stay inside it; and no
# package of that architecture is installed in the system.
# usage: cross_sysroot.sh SCRIPTS_DIR DEBIAN_ARCH TIFF_LIBRARY MACHINE CMAKE TOOLCHAIN_FILE
# (MACHINE as file(1) names it)
set -u
scripts=$1
arch=$2
lib=$3
machine=$4
cmake=$5
toolchain=$6
sysroot="$(cd "$scripts/.." && pwd)/build/sysroot-$arch"
status=0
problem() {
    echo "$1"
    status=1
}

# Each refusal: command, arguments, exit status, the one line on standard
# error (a pattern: which architectures the archive has depends on the
# configured sources). Refusals come before anything is installed or built.
while IFS='|' read -r command args code line; do
    # shellcheck disable=SC2086
    err=$("$scripts/$command" $args 2>&1 >/dev/null)
    rc=$?
    # shellcheck disable=SC2254 # the expected line is a pattern
    case "$rc $err" in
    "$code "$line) ;;
    *) problem "$command $args: exit $rc, '$err'; expected $code, '$line'" ;;
    esac
done <<'CASES'
cross-sysroot|nonesuch|2|cross-sysroot: the Debian archive has no architecture 'nonesuch' (it has: *s390x*)
cross-sysroot|S390X|2|cross-sysroot: 'S390X' is not a Debian architecture name
cross-sysroot|../x|2|cross-sysroot: '../x' is not a Debian architecture name
cross-sysroot||2|cross-sysroot: usage: cross-sysroot \[--debian SUITE\] ARCH (a Debian architecture, e.g. s390x or i386)
cross-sysroot|s390x i386|2|cross-sysroot: usage: cross-sysroot \[--debian SUITE\] ARCH (a Debian architecture, e.g. s390x or i386)
run-probes|--arch i386|2|run-probes: --arch takes one of: s390x i686
run-probes|--arch|2|run-probes: --arch takes one of: s390x i686
CASES

work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
"$cmake" -S "$scripts/.." -B "$work" "-DCMAKE_TOOLCHAIN_FILE=$toolchain" \
    "-DTIFF_PROBES_SYSROOT=$work/none" >"$work/out" 2>&1
# CMake wraps its messages.
tr '\n' ' ' <"$work/out" | tr -s ' ' |
    grep -qF "No sysroot at $work/none: run scripts/cross-sysroot $arch first" ||
    problem "configuring without the sysroot: $(cat "$work/out")"

out=$("$scripts/cross-sysroot" "$arch" 2>&1)
[ $? -eq 0 ] && [ -z "$out" ] || problem "a second cross-sysroot $arch is not silent: $out"

installed=$(dpkg-query -W -f '${Package}:${Architecture} ${Status}\n' 2>/dev/null |
    grep ":$arch .* installed$")
[ -z "$installed" ] || problem "packages of $arch are installed in the system: $installed"

case "$lib" in
"$sysroot"/*) ;;
*) problem "the build links $lib, not the sysroot's" ;;
esac
file -L "$lib" | grep -qF ", $machine," || problem "$lib is not for $machine: $(file -L "$lib")"

outside=$(find "$sysroot" -type l -lname '/*')
[ -z "$outside" ] || problem "links that leave the sysroot: $outside"

[ "$status" -eq 0 ] && echo "refusals, the missing sysroot and the $arch sysroot, unpacked only: as expected"
exit "$status"
