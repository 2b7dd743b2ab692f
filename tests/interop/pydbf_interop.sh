#!/usr/bin/env bash
# Our engine reads the dBase III, Clipper, FoxPro and Visual FoxPro tables
# that Python's dbf package writes (memo fields, deleted records, empty
# rows, little-endian FoxPro integers) exactly as that package reads them.
set -euo pipefail

src=${TVI_SOURCE_DIR:?}
bin=${TVI_BINARY_DIR:?}
tool=$bin/bin/tvi-dbftool
work=$bin/interop/pydbf
rm -rf "$work"
mkdir -p "$work"
export LANG=C.UTF-8 LC_ALL=C.UTF-8 PYTHONIOENCODING=utf-8

fail() { echo "FAIL: $*" >&2; exit 1; }
[ -x "$tool" ] || fail "$tool is not built"

# The Debian package python3-dbf installs for the system's interpreter,
# which another python3 earlier on PATH may not see.
python=
for candidate in python3 /usr/bin/python3; do
  if command -v "$candidate" >/dev/null && "$candidate" -c 'import dbf' 2>/dev/null; then
    python=$candidate
    break
  fi
done
[ -n "$python" ] || fail "Python's dbf package is missing (scripts/deps installs python3-dbf)"

declare -A version=([db3]=83 [clp]=03 [fp]=f5 [vfp]=30)
for kind in db3 clp fp vfp; do
  file=$work/SOLUC_$kind.DBF
  "$python" "$src/tests/interop/pydbf_tool.py" write "$kind" "$file"
  [ "$(od -An -tx1 -N1 "$file" | tr -d ' ')" = "${version[$kind]}" ] || fail "$kind: unexpected version byte"
  "$python" "$src/tests/interop/pydbf_tool.py" dump "$file" >"$work/$kind.theirs"
  "$tool" dump "$file" >"$work/$kind.ours" || fail "our engine cannot read the $kind table"
  diff -u "$work/$kind.theirs" "$work/$kind.ours" >&2 || fail "$kind: read differently"
  [ "$(grep -c '^RECORD' "$work/$kind.ours")" = 4 ] || fail "$kind: not 4 records"
  grep -q $'^RECORD\tVAL\tVAL\t-3\t-2.5\t4ESO\tÇÜ\tL·L\tF\t19990228' "$work/$kind.ours" || fail "$kind: row VAL"
  ! grep -q BORR "$work/$kind.ours" || fail "$kind: the deleted row is visible"
done
echo "Python dbf interoperability: all tables read alike"
