#!/bin/sh
# scripts/run-matrix reads each form of the runner's closing line, tells a
# cell that cannot be taken here (exit 3) from one that gives no verdict, and
# fails the matrix only for a failed or broken cell. The real script runs
# in a tree of its own whose run-probes is a stand-in printing a chosen
# verdict per cell, so no archive is needed.
# usage: run_matrix.sh SCRIPTS_DIR
set -u
scripts=$(cd "$1" && pwd)
native=$(uname -m)
status=0
problem() {
    echo "$1"
    status=1
}

work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
mkdir "$work/scripts"
ln -s "$scripts/run-matrix" "$scripts/deps.sh" "$work/scripts/"
# Each cell: the stand-in's exit status and last line (after the version
# line), then the row run-matrix must print for it.
cat >"$work/cells" <<EOF
bookworm-native|0|6 passed, 0 failed|| bookworm | $native | 4.5.0 | 6 | 0 | 0 | pass |
bookworm-s390x|0|6 passed, 0 failed, 3 with messages|| bookworm | s390x | 4.5.0 | 6 | 0 | 0 | pass |
trixie-native|0|5 passed, 0 failed, 1 known|| trixie | $native | 4.5.0 | 5 | 0 | 1 | pass |
trixie-s390x|3|cross-sysroot: cannot reach Debian's archive for trixie (x): y|| trixie | s390x | | | | | not run: cannot reach Debian's archive for trixie (x): y |
sid-native|1|4 passed, 1 failed, 1 known, 2 with messages|| sid | $native | 4.5.0 | 4 | 1 | 1 | fail |
sid-s390x|2|run-probes: --arch takes one of: s390x i686|| sid | s390x | ? | | | | no verdict (exit 2): run-probes: --arch takes one of: s390x i686 |
EOF
cat >"$work/scripts/run-probes" <<'EOF'
#!/bin/sh
cell=$2-${4:-native}
[ "$3" = --arch ] || cell=$2-native
line=$(grep "^$cell|" "$(dirname "$0")/../cells")
rc=$(echo "$line" | cut -d'|' -f2)
last=$(echo "$line" | cut -d'|' -f3)
if [ "$rc" -ge 2 ]; then
    echo "$last" >&2
else
    echo "TIFF library: LIBTIFF, Version 4.5.0 (Debian $2)"
    echo "$last"
fi
exit "$rc"
EOF
chmod +x "$work/scripts/run-probes"

"$work/scripts/run-matrix" bookworm trixie sid native s390x >"$work/table" 2>"$work/progress"
rc=$?
[ "$rc" -eq 1 ] || problem "exit $rc with a failed cell, expected 1"
{
    echo "| Debian | host | libtiff | passed | failed | known | verdict |"
    echo "|---|---|---|---:|---:|---:|---|"
    sed 's/^[^|]*|[^|]*|[^|]*||/|/' "$work/cells"
} >"$work/expected"
diff "$work/expected" "$work/table" >"$work/diff" || problem "table differs: $(cat "$work/diff")"
[ -f "$work/build/matrix/trixie-s390x.txt" ] || problem "no verdict file for a cell"
cmp -s "$work/table" "$work/build/matrix/matrix.md" || problem "build/matrix/matrix.md is not the table printed"

# Every reachable cell passing (known defects and messages included), and a
# cell not taken here, pass the matrix.
"$work/scripts/run-matrix" bookworm trixie native s390x >/dev/null 2>&1 || problem "exit $? with passing cells only"
err=$("$work/scripts/run-matrix" stretch 2>&1 >/dev/null)
rc=$?
[ "$rc $err" = "2 run-matrix: no release or host 'stretch' (releases: bookworm trixie sid; hosts: native s390x i686)" ] ||
    problem "an unknown name: exit $rc, '$err'"

[ "$status" -eq 0 ] && echo "every closing line, the cells not taken and the exit status: as expected"
exit "$status"
