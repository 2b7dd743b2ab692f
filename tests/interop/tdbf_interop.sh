#!/usr/bin/env bash
# Our tables against Free Pascal's TDbf, an independent implementation of
# the same kind of table engine:
#  a. every table our engine creates (the eight of the catalogue, holding
#     accents, empty fields, cut values and records deleted then packed) is
#     read back by TDbf with the same fields, types, widths and values;
#  b. our engine reads the solution tables TDbf writes at levels 3, 4 and 7.
set -euo pipefail

src=${TVI_SOURCE_DIR:?}
bin=${TVI_BINARY_DIR:?}
tool=$bin/bin/tvi-dbftool
work=$bin/interop/tdbf
rm -rf "$work"
mkdir -p "$work/units" "$work/ours" "$work/theirs"

# TDbf keeps letters outside ASCII only under a UTF-8 locale.
export LANG=C.UTF-8 LC_ALL=C.UTF-8

fail() { echo "FAIL: $*" >&2; exit 1; }

[ -x "$tool" ] || fail "$tool is not built"
command -v fpc >/dev/null || fail "fpc is not installed (scripts/deps installs fpc and fp-units-db)"
fpc -v0 -FU"$work/units" -o"$work/tdbf_tool" "$src/tests/interop/tdbf_tool.pas" >"$work/fpc.log" 2>&1 \
  || { cat "$work/fpc.log" >&2; fail "the Pascal reader did not compile"; }
tdbf=$work/tdbf_tool

# Compares what both engines read from one file.
same_reading() {
  local file=$1 name
  name=$(basename "$file")
  "$tdbf" dump "$file" >"$work/$name.tdbf" || fail "TDbf cannot read $file"
  "$tool" dump "$file" >"$work/$name.ours" || fail "our engine cannot read $file"
  diff -u "$work/$name.tdbf" "$work/$name.ours" >&2 || fail "TDbf and our engine read $file differently"
}

# Fails unless the dump of a file holds a line matching a pattern.
holds() { grep -q -- "$2" "$work/$(basename "$1").ours" || fail "$1 lacks: $2"; }
lacks() { ! grep -q -- "$2" "$work/$(basename "$1").ours" || fail "$1 should not hold: $2"; }

# --- a. our tables, read by TDbf -------------------------------------------
"$tool" write-fixture "$work/ours"
for table in ASIGNOMT PROFT AULAT CURSOST GRUPOST ASIGT DIASHORAST SOLUC; do
  file=$work/ours/$table.DBF
  [ -f "$file" ] || fail "$file was not written"
  [ ! -e "$work/ours/$table.MDX" ] || fail "$table has a .MDX"
  # Level 7, Windows ANSI language driver, no production index.
  [ "$(od -An -tx1 -N1 "$file" | tr -d ' ')" = "04" ] || fail "$table is not a level-7 table"
  [ "$(dd if="$file" bs=1 skip=32 count=8 2>/dev/null)" = "DBWINWE0" ] || fail "$table lacks DBWINWE0"
  [ "$(od -An -tx1 -j28 -N1 "$file" | tr -d ' ')" = "00" ] || fail "$table has the index flag set"
  [ "$(tail -c1 "$file" | od -An -tx1 | tr -d ' ')" = "1a" ] || fail "$table lacks its end marker"
  same_reading "$file"
  # Six rows survive: the accented one, the empty one, the cut one, the
  # blank-led one, "ñ" and the one appended after the pack.
  [ "$(grep -c '^RECORD' "$work/$table.DBF.ours")" = 6 ] || fail "$table does not hold 6 records"
  holds "$file" $'^RECORD\t[^\t]*à'
  lacks "$file" 'fila borr'
  holds "$file" $'^RECORD\tdes'
done
# Field names longer than ten characters survive whole.
holds "$work/ours/DIASHORAST.DBF" $'^FIELD\tSESION_ORDEN\tI\t4\t0$'
holds "$work/ours/ASIGNOMT.DBF" $'^FIELD\tABREV_ITACA\tC\t10\t0$'
holds "$work/ours/ASIGT.DBF" $'^FIELD\tHORAS\tN\t18\t8$'
holds "$work/ours/ASIGNOMT.DBF" $'^FIELD\tESTAREA\tL\t1\t0$'
holds "$work/ours/PROFT.DBF" $'\tàèéíïòóúüçñ l·l ÀÈÉÍÏÒÓÚÜÇÑ\t'

# --- b. TDbf's tables, read by our engine ----------------------------------
for level in 3 4 7; do
  file=$work/theirs/SOLUC$level.DBF
  "$tdbf" write-soluc "$level" "$file" || fail "TDbf could not write a level-$level table"
  same_reading "$file"
  [ "$(grep -c '^RECORD' "$work/SOLUC$level.DBF.ours")" = 4 ] || fail "level $level: not 4 records"
  holds "$file" $'^RECORD\tGUàR\tGUàR\t5\t10\t\tMÑ\t\tF\t20250131\t'
  holds "$file" $'^RECORD\tVAL\tVAL\t-3\t2.5\t4ESO\tÇÜ\tL·L\tF\t19990228\tSessió de dilluns amb l·l i ñ$'
  lacks "$file" 'BORR'
done
echo "TDbf interoperability: all tables read alike"
