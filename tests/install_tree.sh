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
out=$("$prefix/bin/tiff-probes") || { echo "$out"; echo "installed runner failed"; exit 1; }
echo "$out"
echo "$out" | grep -qx "$all passed, 0 failed" || exit 1

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
for option in timeout junit keep tap; do
    grep -qF -- "\\-\\-$option" "$man_page" || { echo "$man_page lacks --$option"; exit 1; }
done
echo "installed tree passes"
