#!/usr/bin/env bash
# The export reads a SOLUC that Free Pascal's TDbf wrote at table level 7,
# as Velmaran's own engine writes it, just as it reads ours.
set -euo pipefail
. "${TVI_SOURCE_DIR:?}/tests/interop/soluc_roundtrip.bash"

# TDbf keeps letters outside ASCII only under a UTF-8 locale.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
units=$TVI_BINARY_DIR/interop/soluc_tdbf_units
mkdir -p "$units"
command -v fpc >/dev/null || fail "fpc is not installed (scripts/deps installs fpc and fp-units-db)"
fpc -v0 -FU"$units" -o"$units/soluc_tdbf" "$TVI_SOURCE_DIR/tests/interop/soluc_tdbf.pas" \
  >"$units/fpc.log" 2>&1 || { cat "$units/fpc.log" >&2; fail "soluc_tdbf.pas did not compile"; }

soluc_roundtrip tdbf 04 "$units/soluc_tdbf"
