"""Compares two exports of the same solution, one from the SOLUC our engine
wrote and one from a SOLUC another dBase writer wrote from the same rows:

    soluc_compare.py OURS.xml THEIRS.xml OURS.json THEIRS.json

Both must carry the same root (the export time aside), the same records in
the same order with their attributes in the written order, and the same
rows reported as passed over. The other writers' tables begin with a
deleted record, so their rows come one record number later. Exits non-zero,
saying what differs.
"""

import json
import re
import sys
import xml.etree.ElementTree as ET

GRUPO = ["plantilla", "dia_semana", "sesion_orden", "hora_desde", "hora_hasta", "grupo",
         "ensenanza", "curso", "contenido", "docente", "aula", "idioma"]
OCUPACION = ["plantilla", "dia_semana", "sesion_orden", "hora_desde", "hora_hasta", "docente",
             "ensenanza", "ocupacion"]


def records(path):
    root = ET.parse(path).getroot()
    head = {k: v for k, v in root.attrib.items() if k != "fecha_exportacion"}
    grupo = [list(e.attrib.items()) for e in root.findall("horarios_grupo/horario_grupo")]
    ocupacion = [list(e.attrib.items())
                 for e in root.findall("horarios_ocupaciones/horario_ocupacion")]
    return head, grupo, ocupacion


def fail(message):
    sys.exit("FAIL: " + message)


def main(ours_xml, theirs_xml, ours_json, theirs_json):
    ours = records(ours_xml)
    theirs = records(theirs_xml)
    if not ours[1] or not ours[2]:
        fail("the export from our SOLUC holds no class or no occupation record")
    for r in ours[1]:
        if [k for k, _ in r] != GRUPO:
            fail("horario_grupo with attributes %s" % [k for k, _ in r])
    for r in ours[2]:
        if [k for k, _ in r] != OCUPACION:
            fail("horario_ocupacion with attributes %s" % [k for k, _ in r])
    for name, a, b in zip(["root", "horario_grupo", "horario_ocupacion"], ours, theirs):
        if a != b:
            if isinstance(a, list):
                for i, (x, y) in enumerate(zip(a, b)):
                    if x != y:
                        fail("%s %d differs:\n  ours   %s\n  theirs %s" % (name, i + 1, x, y))
                fail("%s: %d records from ours, %d from theirs" % (name, len(a), len(b)))
            fail("%s differs: %s / %s" % (name, a, b))
    with open(ours_json, encoding="utf-8") as f:
        ours_report = json.load(f)
    with open(theirs_json, encoding="utf-8") as f:
        theirs_report = json.load(f)
    skipped = [i for i in ours_report["passed_over"] if not i["kind"].startswith("soluc_clase_sin")]
    if not skipped:
        fail("the solution with rows to skip gave no report of them")
    row = re.compile(r"^Fila ([0-9]+) de SOLUC ")

    def shifted(item, by):
        m = row.match(item["detail"])
        if not m:
            fail("a report item without its row: %s" % item)
        number = int(m.group(1)) + by
        return item["kind"], "Fila %d de SOLUC " % number + item["detail"][m.end():]

    ours_items = [shifted(i, 1) for i in ours_report["passed_over"]]
    theirs_items = [shifted(i, 0) for i in theirs_report["passed_over"]]
    if ours_items != theirs_items:
        fail("the reports differ:\n  ours   %s\n  theirs %s" % (ours_items, theirs_items))
    if ours_report["counts"] != theirs_report["counts"]:
        fail("the counts differ: %s / %s" % (ours_report["counts"], theirs_report["counts"]))
    print("same export: %d class and %d occupation records, %d rows passed over"
          % (len(ours[1]), len(ours[2]), len(skipped)))


if __name__ == "__main__":
    main(*sys.argv[1:5])
