// Steps 6 to 9: the assignment table ASIGT (base rows, the groups' classes,
// the teachers' occupations) and the pruning of groups and teachers left
// without classes.

#include <cmath>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "app/window_state.h"
#include "import/import_run.h"
#include "import/step_support.h"
#include "tables/catalogue.h"

namespace tvi {

using steps::ansiAttr;
using steps::fillIfEmpty;
using steps::inQuotes;

namespace {

std::string importanteLine() {
  return std::string(23, ' ') + "!!! I M P O R T A N T E !!!" + std::string(25, ' ');
}

}  // namespace

const std::string& ImportRun::allTemplatesQuestion() {
  static const std::string text =
      importanteLine() + "\r\n" +
      "Se han encontrado Datos que pueden pertenecer a varias Plantillas Horarias.\r\n"
      "RECOMENDAMOS IMPORTAR SOLAMENTE LOS DATOS PERTENECIENTES A UNA SOLA PLANTILLA.\r\n"
      "Si quiere Importar los Datos de todas las Plantillas Pulse el Botón \"Sí\".\r\n"
      "Para Importar solo los Datos de la Plantilla seleccionada,Pulse el Botón \"No\".\r\n"
      "(Recomendamos Pulsar \"No\", y trabajar solo con datos de una Plantilla.)";
  return text;
}

const std::string& ImportRun::pruneQuestion() {
  static const std::string text =
      importanteLine() + "\r\n" +
      "Existen Grupos de Clase y Profesores que NO tienen Clases en esta Plantilla.\r\n"
      "Si quitamos estos Grupos y Profesores, No afectará al Horario.\r\n"
      "¿Quieren quitar dichos Grupos y Profesores, del Horario que se va a Importar?.";
  return text;
}

namespace {

constexpr const char* kClassKey = "CLAVE;CLAVECURSO;ASIG_ITACA";
constexpr const char* kClassTeacherKey = "CLAVE;CLAVECURSO;ASIG_ITACA;CPROF";

// The weekly pattern Velmaran reads from a class's hours: up to 13 sessions
// one "1" each; past that the excess in digits, then 13 "1".
std::string sessionPattern(long hours) {
  if (hours <= 0) return {};
  if (hours <= 13) return std::string(static_cast<std::size_t>(hours), '1');
  return std::to_string(hours - 13) + std::string(13, '1');
}

// One more session for a class row: its hours, and the teacher and room
// where the row has none yet.
void countSession(Table& asig, const std::string& teacher, const std::string& room) {
  asig.edit();
  asig.setFloat("HORAS", asig.asFloat("HORAS") + 1);
  fillIfEmpty(asig, "CPROF", teacher);
  fillIfEmpty(asig, "CAULA", room);
  asig.post();
}

}  // namespace

void ImportRun::CrearAsignaciones() {
  recreateTable(folder, TableId::ASIGT);
  auto asig = bindTable(folder, TableId::ASIGT, false);
  asig->open();
  auto grupos = bindTable(folder, TableId::GRUPOST);
  grupos->open();
  auto nomAsg = bindTable(folder, TableId::ASIGNOMT);
  nomAsg->open();

  // GRUPOST does not change during the step: its rows are read once, per
  // course, in the table's order.
  struct GroupRow {
    std::string clave, abrev, turno, nivel, curso, grupo;
  };
  std::unordered_map<std::string, std::vector<GroupRow>> groupsOfCourse;
  for (grupos->first(); !grupos->eof(); grupos->next())
    groupsOfCourse[grupos->asString("CLAVECURSO")].push_back(
        {grupos->asString("CLAVE"), grupos->asString("ABREV"), grupos->asString("TURNO"),
         grupos->asString("NIVEL"), grupos->asString("CURSO"), grupos->asString("GRUPO")});

  const bool castellano = window_.language == kCastellano;
  const bool valenciano = window_.language == kValenciano;
  std::set<std::string> coursesReported;

  for (const pugi::xml_node& node : DocXML.select("/centro/contenidos/contenido")) {
    const std::string curso = ansiAttr(node, "curso");
    const std::string codigo = ansiAttr(node, "codigo");
    std::string cod;
    if (nomAsg->locate("ABREV_ITACA", codigo)) cod = nomAsg->asString("COD");
    if (cod.empty() && castellano && nomAsg->locate("NOMBRE", ansiAttr(node, "nombre_cas")))
      cod = nomAsg->asString("COD");
    if (cod.empty() && valenciano && nomAsg->locate("NOMBRE", ansiAttr(node, "nombre_val")))
      cod = nomAsg->asString("COD");
    if (cod.empty()) {
      report_.add("contenido_sin_codigo",
                  "El contenido " + inQuotes(codigo) + " del curso " + inQuotes(curso) +
                      " no tiene código en ASIGNOMT (ni por su código ni por su nombre): "
                      "no da clases.");
      continue;
    }
    const auto found = groupsOfCourse.find(curso);
    if (found == groupsOfCourse.end()) {
      if (coursesReported.insert(curso).second)
        report_.add("curso_sin_grupos", "El curso " + inQuotes(curso) +
                                            " no tiene grupos en GRUPOST: sus contenidos no "
                                            "dan clases.");
      continue;
    }
    for (const GroupRow& g : found->second) {
      asig->append();
      asig->setString("CASIG", cod);
      asig->setString("CGRUP", g.abrev);
      asig->setString("CAULA", "");
      asig->setString("TURNO", g.turno);
      asig->setString("NIVEL", g.nivel);
      asig->setString("CURSO", g.curso);
      asig->setString("GRUPO", g.grupo);
      asig->setFloat("HORAS", 4);
      asig->setString("SESIONES", "1111");
      asig->setString("CLAVE", g.clave);
      asig->setString("CLAVECURSO", curso);
      asig->setString("CTAREA", "*479");
      asig->setString("ASIG_ITACA", codigo);
      asig->post();
    }
  }
  asig->close();
  grupos->close();
  nomAsg->close();
}

void ImportRun::TransformarHorariosGrupo() {
  SoloUnaPlantilla = false;
  const auto sessions = DocXML.select("/centro/horarios_grupo/horario_grupo");
  if (sessions.empty()) return;
  if (ui_.confirm(allTemplatesQuestion()) == Interaction::Answer::Si) return;
  SoloUnaPlantilla = true;

  auto asig = bindTable(folder, TableId::ASIGT);
  asig->open();
  auto grupos = bindTable(folder, TableId::GRUPOST);
  grupos->open();
  auto prof = bindTable(folder, TableId::PROFT);
  prof->open();
  auto aulas = bindTable(folder, TableId::AULAT);
  aulas->open();

  std::unordered_set<int> RegistrosUsados;
  const std::string plantilla = toAnsi(window_.FPlantilla);
  steps::SessionTally tally;

  for (const pugi::xml_node& node : sessions) {
    if (ansiAttr(node, "plantilla") != plantilla) continue;
    const std::string grupo = ansiAttr(node, "grupo");
    const std::string curso = ansiAttr(node, "curso");
    const std::string contenido = ansiAttr(node, "contenido");
    const std::string docente = ansiAttr(node, "docente");
    const std::string aula = ansiAttr(node, "aula");

    if (!asig->locate(kClassKey, std::vector<std::string>{grupo, curso, contenido})) {
      tally.note("sesion_sin_clase", grupo + '\x1f' + curso + '\x1f' + contenido,
                 "Grupo " + inQuotes(grupo) + ", curso " + inQuotes(curso) + ", contenido " +
                     inQuotes(contenido) +
                     ": no hay clase en ASIGT (el contenido no tiene código en ASIGNOMT o el "
                     "grupo no es de ese curso); sesiones pasadas por alto");
      continue;
    }
    const std::string teacher = steps::lookup(*prof, "DNI", docente, "ABREV");
    const std::string room = steps::lookup(*aulas, "ABREV_ITACA", aula, "ABREV");
    if (!docente.empty() && teacher.empty())
      tally.note("sesion_docente_desconocido", docente,
                 "El docente con documento " + inQuotes(docente) +
                     " no está en PROFT: sus sesiones de grupo quedan sin profesor");
    if (!aula.empty() && room.empty())
      tally.note("sesion_aula_desconocida", aula,
                 "El aula " + inQuotes(aula) + " no está en AULAT: sus sesiones quedan sin aula");

    if (RegistrosUsados.insert(asig->recNo()).second) {
      // The class's first session: its hours count from here.
      asig->edit();
      asig->setFloat("HORAS", 1);
      fillIfEmpty(*asig, "CPROF", teacher);
      fillIfEmpty(*asig, "CAULA", room);
      asig->post();
      continue;
    }
    const std::string casig = asig->asString("CASIG");
    const std::string cgrup = asig->asString("CGRUP");
    if (asig->asString("CPROF") == teacher) {
      countSession(*asig, teacher, room);
      continue;
    }
    if (asig->locate(kClassTeacherKey,
                     std::vector<std::string>{grupo, curso, contenido, teacher})) {
      countSession(*asig, teacher, room);
      continue;
    }
    if (!grupos->locate("ABREV", cgrup)) {
      tally.note("sesion_sin_grupo", grupo + '\x1f' + curso + '\x1f' + contenido + '\x1f' + teacher,
                 "Grupo " + inQuotes(grupo) + ", contenido " + inQuotes(contenido) +
                     ": el grupo " + inQuotes(cgrup) +
                     " no está en GRUPOST, la clase del profesor " + inQuotes(teacher) +
                     " no se añade; sesiones pasadas por alto");
      continue;
    }
    // A further teacher of the class gets a row of its own.
    asig->append();
    asig->setString("CASIG", casig);
    asig->setString("CPROF", teacher);
    asig->setString("CGRUP", cgrup);
    asig->setString("CAULA", room);
    asig->setString("TURNO", grupos->asString("TURNO"));
    asig->setString("NIVEL", grupos->asString("NIVEL"));
    asig->setString("CURSO", grupos->asString("CURSO"));
    asig->setString("GRUPO", grupos->asString("GRUPO"));
    asig->setFloat("HORAS", 1);
    asig->setString("SESIONES", "1111");
    asig->setString("CLAVE", grupo);
    asig->setString("CLAVECURSO", curso);
    asig->setString("CTAREA", "*479");
    asig->setString("ASIG_ITACA", contenido);
    asig->post();
    RegistrosUsados.insert(asig->recNo());
  }

  // Base rows no session of the template reached are not classes.
  asig->first();
  while (!asig->eof()) {
    if (RegistrosUsados.count(asig->recNo()) == 0)
      asig->deleteRecord();
    else
      asig->next();
  }
  asig->pack();
  for (asig->first(); !asig->eof(); asig->next()) {
    const long hours = std::lround(asig->asFloat("HORAS"));
    asig->edit();
    asig->setString("SESIONES", sessionPattern(hours));
    asig->post();
  }

  asig->close();
  grupos->close();
  prof->close();
  aulas->close();
  tally.flushInto(report_);
}

void ImportRun::TransformarHorariosOcupaciones() {
  const auto sessions = DocXML.select("/centro/horarios_ocupaciones/horario_ocupacion");
  if (sessions.empty()) return;

  auto nomAsg = bindTable(folder, TableId::ASIGNOMT);
  nomAsg->open();
  auto asig = bindTable(folder, TableId::ASIGT);
  asig->open();
  auto prof = bindTable(folder, TableId::PROFT);
  prof->open();

  const std::string plantilla = toAnsi(window_.FPlantilla);
  steps::SessionTally tally;
  for (const pugi::xml_node& node : sessions) {
    const std::string ocupacion = ansiAttr(node, "ocupacion");
    const std::string docente = ansiAttr(node, "docente");
    const std::string sessionTemplate = ansiAttr(node, "plantilla");
    const std::string occupation = steps::lookup(*nomAsg, "ABREV_ITACA", ocupacion, "COD");
    const std::string teacher = steps::lookup(*prof, "DNI", docente, "ABREV");
    if (SoloUnaPlantilla && sessionTemplate != plantilla) continue;

    if (occupation.empty())
      tally.note("ocupacion_desconocida", ocupacion,
                 "La ocupación " + inQuotes(ocupacion) +
                     " no está en ASIGNOMT: sus sesiones entran sin código de tarea");
    if (!docente.empty() && teacher.empty())
      tally.note("sesion_docente_desconocido", docente,
                 "El docente con documento " + inQuotes(docente) +
                     " no está en PROFT: sus sesiones de ocupación quedan sin profesor");

    if (asig->locate("CPROF;ASIG_ITACA", std::vector<std::string>{teacher, ocupacion})) {
      asig->edit();
      asig->setFloat("HORAS", asig->asFloat("HORAS") + 1);
      asig->setString("SESIONES", asig->asString("SESIONES") + "1");
      asig->post();
      continue;
    }
    asig->append();
    asig->setString("CASIG", occupation);
    asig->setString("CPROF", teacher);
    asig->setFloat("HORAS", 1);
    asig->setString("SESIONES", "1");
    asig->setString("CTAREA", occupation);
    asig->setString("ASIG_ITACA", ocupacion);
    asig->post();
  }
  nomAsg->close();
  asig->close();
  prof->close();
  tally.flushInto(report_);
}

namespace {

// Deletes every record of `table` whose ABREV no ASIGT row names in
// `asigField` (after `describe` has seen it), then packs.
template <class Describe>
void pruneWithoutClasses(Table& table, Table& asig, const char* asigField, Describe describe) {
  table.first();
  while (!table.eof()) {
    if (asig.locate(asigField, table.asString("ABREV"))) {
      table.next();
      continue;
    }
    describe(table);
    table.deleteRecord();
  }
  table.pack();
}

}  // namespace

void ImportRun::QuitarSinClases() {
  if (!SoloUnaPlantilla) return;

  auto asig = bindTable(folder, TableId::ASIGT);
  asig->open();
  auto prof = bindTable(folder, TableId::PROFT);
  prof->open();
  auto grupos = bindTable(folder, TableId::GRUPOST);
  grupos->open();

  bool groupWithoutClasses = false;
  for (grupos->first(); !grupos->eof() && !groupWithoutClasses; grupos->next())
    groupWithoutClasses = !asig->locate("CGRUP", grupos->asString("ABREV"));
  if (groupWithoutClasses && ui_.confirm(pruneQuestion()) == Interaction::Answer::No) {
    grupos->close();
    prof->close();
    asig->close();
    return;
  }

  const std::string plantilla = " en la plantilla «" + window_.FPlantilla + "».";
  pruneWithoutClasses(*grupos, *asig, "CGRUP", [&](Table& g) {
    report_.add("grupo_quitado", "Se quita de GRUPOST el grupo " + inQuotes(g.asString("ABREV")) +
                                     " (" + inQuotes(g.asString("CLAVE")) + ", " +
                                     inQuotes(g.asString("DESCRIP")) + "): no tiene clases" +
                                     plantilla);
  });
  grupos->close();
  pruneWithoutClasses(*prof, *asig, "CPROF", [&](Table& p) {
    report_.add("profesor_quitado", "Se quita de PROFT el profesor " +
                                        inQuotes(p.asString("ABREV")) + " (" +
                                        inQuotes(p.asString("NOMBRE")) + ", DNI " +
                                        inQuotes(p.asString("DNI")) +
                                        "): no tiene clases ni ocupaciones" + plantilla);
  });
  prof->close();
  asig->close();
}

}  // namespace tvi
