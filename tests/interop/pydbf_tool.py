"""Tables written by Python's dbf package, for the interoperability tests.

    pydbf_tool.py write KIND FILE.DBF   writes a solution-like table of that
                                        kind (db3, clp, fp, vfp)
    pydbf_tool.py dump FILE.DBF         prints it as the dbf package reads it,
                                        in the format of tvi-dbftool dump

The dump's lines are "FIELD<TAB>NAME<TAB>TYPE<TAB>WIDTH<TAB>DECIMALS" and
"RECORD<TAB>value<TAB>..." (UTF-8), records deleted left out.
"""

import datetime
import sys

import dbf

SPECS = {
    # dBase III with a memo field (version 0x83, a .DBT beside it)
    "db3": "ASIG C(4); TAREA C(4); DIA N(2,0); HORA N(6,2); CODGRUPO C(4); PROF C(4); "
           "AULA C(4); FIJA L; FECHA D; NOTA C(40); OBSERV M",
    # Clipper (dBase III layout)
    "clp": "ASIG C(4); TAREA C(4); DIA N(2,0); HORA N(6,2); CODGRUPO C(4); PROF C(4); "
           "AULA C(4); FIJA L; FECHA D; NOTA C(40)",
    # FoxPro 2 with a memo (version 0xF5) and a float field
    "fp": "ASIG C(4); TAREA C(4); DIA N(2,0); HORA F(8,3); CODGRUPO C(4); PROF C(4); "
          "AULA C(4); FIJA L; FECHA D; NOTA C(40); OBSERV M",
    # Visual FoxPro: little-endian integer, double and datetime fields
    "vfp": "ASIG C(4); TAREA C(4); DIA I; HORA B; CODGRUPO C(4); PROF C(4); AULA C(4); "
           "FIJA L; FECHA D; MOMENTO T; NOTA C(40)",
}

ROWS = [
    ("MAT", "MAT", 1, 3, "1ESA", "JGà", "A1", True, datetime.date(2024, 9, 9)),
    ("GUàR", "GUàR", 5, 10.25, "", "MÑ", "", False, datetime.date(2025, 1, 31)),
    ("BORR", "BORR", 2, 4, "2BAC", "XX", "B2", True, datetime.date(2024, 12, 31)),
    ("VAL", "VAL", -3, -2.5, "4ESO", "ÇÜ", "L·L", False, datetime.date(1999, 2, 28)),
]


def write(kind, path):
    table = dbf.Table(path, SPECS[kind], dbf_type=kind, codepage="cp1252")
    table.open(mode=dbf.READ_WRITE)
    names = [n.upper() for n in table.field_names]
    for asig, tarea, dia, hora, grupo, prof, aula, fija, fecha in ROWS:
        values = {"ASIG": asig, "TAREA": tarea, "DIA": dia, "HORA": hora, "CODGRUPO": grupo,
                  "PROF": prof, "AULA": aula, "FIJA": fija, "FECHA": fecha,
                  "NOTA": "Sessió de dilluns amb l·l i ñ"}
        if "OBSERV" in names:
            values["OBSERV"] = "memòria"
        if "MOMENTO" in names:
            values["MOMENTO"] = datetime.datetime(2024, 9, 9, 8, 30, 15)
        table.append({k.lower(): v for k, v in values.items()})
    table.append()  # every field left empty
    with table[2] as record:
        dbf.delete(record)
    table.close()


def text(value):
    if value is None:
        return ""
    if isinstance(value, bool):
        return "T" if value else "F"
    if isinstance(value, datetime.datetime):
        return value.strftime("%Y-%m-%d %H:%M:%S")
    if isinstance(value, datetime.date):
        return value.strftime("%Y%m%d")
    if isinstance(value, float):
        return ("%.15g" % value) if value != 0 else "0"
    if isinstance(value, int):
        return str(value)
    if isinstance(value, dbf.Logical) or type(value).__name__ in ("Logical",):
        return "" if value is dbf.Unknown else ("T" if value else "F")
    return str(value).rstrip(" ")


def dump(path):
    table = dbf.Table(path)
    table.open(mode=dbf.READ_ONLY)
    names = list(table.field_names)
    for name in names:
        info = table.field_info(name)
        print("FIELD\t%s\t%s\t%d\t%d" % (name.upper(), chr(info.field_type), info.length,
                                          info.decimal))
    for record in table:
        if dbf.is_deleted(record):
            continue
        values = []
        for name in names:
            if chr(table.field_info(name).field_type) == "M":
                values.append("")  # memo contents are not compared
            else:
                values.append(text(record[name]))
        print("\t".join(["RECORD"] + values))
    table.close()


def main(argv):
    if len(argv) == 4 and argv[1] == "write":
        write(argv[2], argv[3])
    elif len(argv) == 3 and argv[1] == "dump":
        dump(argv[2])
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
