#!/bin/sh
# The verdict on another Debian release's library (run-probes --debian): bad
# names are refused; an archive that cannot be reached gives one line and exit
# 3, and leaves no half-made sysroot; the verdict names the release and the
# version of the library fetched for it, and its programs run with that
# release's own loader; and the machine's package configuration (apt
# sources and lists, dpkg's architectures, the fetched packages' installed
# state) is exactly as it was.
# usage: release_sysroot.sh SCRIPTS_DIR SUITE
set -u
scripts=$(cd "$1" && pwd)
suite=$2
root=$(dirname "$scripts")
arch=$(dpkg --print-architecture)
sysroot=$root/build/sysroot-$suite-$arch
status=0
problem() {
    echo "$1"
    status=1
}

# What the machine's package tools know: apt's configuration, the names of
# its package lists (one more architecture or source adds names), dpkg's
# architectures, and the installed state of every package the sysroots carry.
# shellcheck disable=SC2016 # dpkg-query's fields
machine_state() {
    find /etc/apt -type f -exec md5sum {} + | sort
    ls /var/lib/apt/lists
    cat /var/lib/dpkg/arch 2>/dev/null
    dpkg --print-foreign-architectures
    for stamp in "$root"/build/sysroot-*/.complete; do
        [ -f "$stamp" ] && sed 1d "$stamp" | cut -d' ' -f1
    done | sort -u | xargs -r dpkg-query -W -f '${Package}:${Architecture} ${Version} ${Status}\n' 2>/dev/null
}
before=$(machine_state)

# Each refusal: command, arguments, exit status, the one line on standard
# error.
while IFS='|' read -r command args code line; do
    # shellcheck disable=SC2086
    err=$("$scripts/$command" $args 2>&1 >/dev/null)
    rc=$?
    [ "$rc $err" = "$code $line" ] || problem "$command $args: exit $rc, '$err'; expected $code, '$line'"
done <<'CASES'
run-probes|--debian|2|run-probes: --debian takes one of: bookworm trixie sid
run-probes|--debian bullseye|2|run-probes: --debian takes one of: bookworm trixie sid
run-probes|--debian Sid|2|run-probes: --debian takes one of: bookworm trixie sid
run-probes|--debian sid --debian trixie|2|run-probes: --debian takes one of: bookworm trixie sid
run-probes|--debian sid --arch i386|2|run-probes: --arch takes one of: s390x i686
cross-sysroot|--debian woody s390x|2|cross-sysroot: --debian takes one of: bookworm trixie sid
cross-sysroot|--debian sid|2|cross-sysroot: usage: cross-sysroot [--debian SUITE] ARCH (a Debian architecture, e.g. s390x or i386)
CASES

# An archive that cannot be reached, in a tree of its own (the scripts,
# nothing built, nothing fetched): one line, exit 3, no sysroot left.
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
ln -s "$scripts" "$work/scripts"
while IFS='|' read -r command args line; do
    # shellcheck disable=SC2086
    TIFF_PROBES_DEBIAN_URI=http://127.0.0.1:9/debian "$work/scripts/$command" $args \
        >"$work/out" 2>"$work/err"
    rc=$?
    # shellcheck disable=SC2254 # the expected line is a pattern
    case "$rc $(cat "$work/err")" in
    "3 "$line) ;;
    *) problem "$command $args, archive unreachable: exit $rc, '$(cat "$work/err")'; expected 3, '$line'" ;;
    esac
    [ "$(wc -l <"$work/err")" -eq 1 ] || problem "$command $args, archive unreachable: not one line"
    [ ! -s "$work/out" ] || problem "$command $args, archive unreachable: wrote '$(cat "$work/out")'"
    left=$(find "$work/build" -maxdepth 1 -name 'sysroot-*')
    [ -z "$left" ] || problem "$command $args, archive unreachable: left $left"
done <<CASES
run-probes|--debian $suite|cross-sysroot: cannot reach Debian's archive for $suite (http://127.0.0.1:9/debian): *
cross-sysroot|s390x|cross-sysroot: cannot reach Debian's archive for * (http://127.0.0.1:9/debian): *
CASES

# The verdict, fetching the sysroot if it is not there yet.
"$scripts/run-probes" --debian "$suite" >"$work/verdict" 2>"$work/build.log"
rc=$?
cat "$work/verdict"
[ "$rc" -eq 0 ] || problem "run-probes --debian $suite: exit $rc: $(tail -n 3 "$work/build.log")"
# The library's version as the release's package gives it, epoch and Debian
# revision aside.
version=$(sed -n 's/^libtiff6 \([0-9]*:\)\{0,1\}\([^-]*\)-.*/\2/p' "$sysroot/.complete")
expected="TIFF library: LIBTIFF, Version $version (Debian $suite)"
if [ -z "$version" ] || [ "$(sed -n 1p "$work/verdict")" != "$expected" ]; then
    problem "first line '$(sed -n 1p "$work/verdict")', expected '$expected'"
fi
grep -q '^libc6 ' "$sysroot/.complete" || problem "the $suite sysroot carries no C library of its own"
for program in "$root/build/debian-$suite/bin/tiff-probes" "$root/build/debian-$suite/libexec/tiff-probes/type_probe"; do
    loader=$(readelf -l "$program" | sed -n 's/.*program interpreter: \(.*\)\]$/\1/p')
    case "$loader" in
    "$sysroot"/*) [ -x "$loader" ] || problem "$program: no loader at $loader" ;;
    *) problem "$program runs with the loader '$loader', not the $suite sysroot's" ;;
    esac
done

after=$(machine_state)
[ "$before" = "$after" ] ||
    problem "the machine's package configuration changed: $(echo "$before" >"$work/before"
        echo "$after" | diff "$work/before" - | sed -n 's/^[<>]/&/p' | head -n 5 | tr '\n' ';')"

[ "$status" -eq 0 ] && echo "refusals, the unreachable archive and the $suite sysroot, machine untouched: as expected"
exit "$status"
