"""Writes Velmaran's solution table SOLUC with Python's dbf package as a
dBase III table (level 3), from the listing the solver stand-in prints
(UTF-8, tab-separated, a header line first):

    soluc_pydbf.py LISTING FILE.DBF

Level 3 has neither integer nor floating-point fields: DIA and HORA are
numeric fields, HORA with two decimals. The first record is a deleted copy
of the first row, and fields of Velmaran's own ride along.
"""

import datetime
import sys

import dbf

FIELDS = ("ASIG C(4); TAREA C(4); DIA N(2,0); HORA N(5,2); CODGRUPO C(4); PROF C(4); "
        "AULA C(4); FIJA L; FECHA D; NOTA C(40)")


def main(listing, path):
    with open(listing, encoding="utf-8") as f:
        lines = [line.rstrip("\n") for line in f][1:]
    rows = [line.split("\t") for line in lines if line]
    table = dbf.Table(path, FIELDS, dbf_type="db3", codepage="cp1252")
    table.open(mode=dbf.READ_WRITE)

    def append(parts):
        asig, tarea, dia, hora, grupo, prof, aula = parts
        table.append({"asig": asig, "tarea": tarea, "dia": int(dia), "hora": float(hora),
                      "codgrupo": grupo, "prof": prof, "aula": aula, "fija": False,
                      "fecha": datetime.date(2025, 9, 8), "nota": "Sessió resolta per Velmaran"})

    if rows:
        append(rows[0])
        with table[0] as record:
            dbf.delete(record)
    for parts in rows:
        append(parts)
    table.close()


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("Uso: soluc_pydbf.py LISTADO FICHERO.DBF")
    main(sys.argv[1], sys.argv[2])
