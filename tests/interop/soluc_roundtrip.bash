# Shared by the soluc_*.sh tests (sourced, not run by itself): the sample
# centre imported, solved by the stand-in with rows to skip, and exported
# twice, once from the SOLUC our engine wrote and once from a SOLUC that
# another dBase writer wrote from the same rows. Both exports must be
# well-formed and identical but for the export time.
#
#   soluc_roundtrip NAME VERSION_BYTE WRITER...
#
# runs `WRITER... LISTING FILE.DBF` to write the other SOLUC, and checks
# that the file it wrote has the dBase version byte given (hexadecimal).

fail() { echo "FAIL: $*" >&2; exit 1; }

soluc_roundtrip() {
  local name=$1 version=$2
  shift 2
  local src=${TVI_SOURCE_DIR:?} bin=${TVI_BINARY_DIR:?}
  local work=$bin/interop/soluc_$name
  local tv=$bin/bin/transvelmar solver=$bin/bin/solver
  local tables=$work/tablas

  [ -x "$tv" ] || fail "$tv is not built"
  [ -x "$solver" ] || fail "$solver is not built"
  command -v xmllint >/dev/null || fail "xmllint is not installed (scripts/deps installs libxml2-utils)"
  rm -rf "$work"
  mkdir -p "$tables"
  cp "$src/examples/centro_ejemplo.xml" "$work/centro.xml"

  "$tv" import "$work/centro.xml" --tables "$tables" --template 1 >"$work/import.log" 2>&1 \
    || { cat "$work/import.log" >&2; fail "the import of the sample failed"; }
  "$solver" --tables "$tables" --with-skips --listing "$work/solucion.tsv" >"$work/solver.log" 2>&1 \
    || { cat "$work/solver.log" >&2; fail "the solver failed"; }

  export_to() {
    local out=$1
    "$tv" export "$work/centro.xml" --tables "$tables" --report "$work/$out.json" \
      >"$work/$out.log" 2>&1 || { cat "$work/$out.log" >&2; fail "the export ($out) failed"; }
    tail -n1 "$work/$out.log" | grep -qx "Proceso finalizado" || fail "the export ($out) did not finish"
    mv "$work/ResultadoVelmarcentro.xml" "$work/$out.xml"
    xmllint --noout "$work/$out.xml" || fail "the export ($out) is not well-formed XML"
  }

  export_to ours
  rm -f "$tables/SOLUC.DBF" "$tables/soluc.dbf"
  "$@" "$work/solucion.tsv" "$tables/SOLUC.DBF" >"$work/writer.log" 2>&1 \
    || { cat "$work/writer.log" >&2; fail "the $name writer failed"; }
  [ "$(od -An -tx1 -N1 "$tables/SOLUC.DBF" | tr -d ' ')" = "$version" ] \
    || fail "the $name writer did not write a table of version $version"
  export_to theirs

  cmp -s "$work/centro.xml" "$src/examples/centro_ejemplo.xml" || fail "the input file was written"
  /usr/bin/python3 "$src/tests/interop/soluc_compare.py" "$work/ours.xml" "$work/theirs.xml" \
    "$work/ours.json" "$work/theirs.json" || fail "the two exports differ"
}
