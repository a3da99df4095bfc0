#!/bin/sh
# Installs the build tree into a temporary prefix and runs the installed
# runner there: every probe passes, and one installed-tests file per probe.
set -u
cmake=$1
build=$2
prefix=$(mktemp -d) || exit 1
trap 'rm -rf "$prefix"' EXIT

"$cmake" --install "$build" --prefix "$prefix" >/dev/null || exit 1
all=$("$prefix/bin/tiff-probes" --list | wc -l)
# No time limit: under the sanitizers read_probe alone comes near the 60 s
# default on a loaded machine.
out=$("$prefix/bin/tiff-probes" --timeout 0) || { echo "$out"; echo "installed runner failed"; exit 1; }
echo "$out"
# Every probe passes, or fails only with the known defects of this library.
echo "$out" | grep -Eqx "[0-9]+ passed, 0 failed(, [0-9]+ known)?" || exit 1
[ "$(echo "$out" | grep -Ec '^(PASS|XFAIL) ')" -eq "$all" ] || exit 1

for probe in $("$prefix/bin/tiff-probes" --list); do
    test_file="$prefix/share/installed-tests/tiff-probes/$probe.test"
    expected=$(printf '[Test]\nType=session\nExec=%s/bin/tiff-probes %s' "$prefix" "$probe")
    if [ "$(cat "$test_file")" != "$expected" ]; then
        echo "wrong or missing $test_file:"
        cat "$test_file"
        exit 1
    fi
done
# The man page, made from the runner's own --help, documents its options.
man_page="$prefix/share/man/man1/tiff-probes.1"
for option in timeout junit keep tap expectations strict jobs verbose defect\\-expected; do
    grep -qF -- "\\-\\-$option" "$man_page" || { echo "$man_page lacks --$option"; exit 1; }
done
# The known defects are installed beside the runner, which reads them.
defects="$prefix/share/tiff-probes/known-defects"
grep -q '^# Known defects' "$defects" || { echo "no $defects"; exit 1; }
printf 'word_probe\n' >>"$defects"
out=$("$prefix/bin/tiff-probes" word_probe 2>&1)
[ "$out" = "tiff-probes: $defects:$(wc -l <"$defects"): expected 6 fields separated by tabs (probe, versions, hosts, failure line, reason, reproduction), found 1" ] ||
    { echo "the installed runner did not read $defects: $out"; exit 1; }
echo "installed tree passes"
