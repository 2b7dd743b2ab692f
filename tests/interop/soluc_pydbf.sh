#!/usr/bin/env bash
# The export reads a SOLUC that Python's dbf package wrote as a dBase III
# table (level 3, numeric DIA and HORA), just as it reads ours.
set -euo pipefail
. "${TVI_SOURCE_DIR:?}/tests/interop/soluc_roundtrip.bash"

/usr/bin/python3 -c 'import dbf' 2>/dev/null || fail "python3-dbf is not installed (scripts/deps installs it)"
soluc_roundtrip pydbf 03 /usr/bin/python3 "$TVI_SOURCE_DIR/tests/interop/soluc_pydbf.py"
