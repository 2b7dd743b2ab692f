// Steps 1 to 5: the catalogue tables ASIGNOMT, PROFT, AULAT, CURSOST and
// GRUPOST, each rebuilt from nothing.

#include <unordered_map>

#include "app/window_state.h"
#include "import/import_run.h"
#include "import/short_codes.h"
#include "import/step_support.h"
#include "tables/catalogue.h"

namespace tvi {

using steps::ansiAttr;
using steps::inQuotes;

void ImportRun::TransformarContenidos() {
  // Both lists start empty in every run, whatever an earlier run left.
  CodigosUsados.clear();
  NombresUsados.clear();

  recreateTable(folder, TableId::ASIGNOMT);
  auto table = bindTable(folder, TableId::ASIGNOMT, false);
  table->open();
  const char* nameAttribute = window_.language == kValenciano ? "nombre_val" : "nombre_cas";

  enum class Fate { Record, Spare, NoRecord };
  struct Subject {
    std::string code, name, cod;  // cod: the candidate until a code is settled
    Fate fate;
    std::string taken;  // the code given out before that cost the record
  };
  std::vector<Subject> subjects;

  // First the rule alone, so every code it gives is exactly its own.
  for (const pugi::xml_node& node : DocXML.select("/centro/contenidos/contenido")) {
    Subject s{ansiAttr(node, "codigo"), ansiAttr(node, nameAttribute), {}, Fate::NoRecord, {}};
    const std::string stem = leftAnsi(s.code, 4);
    const bool stemTaken = CodigosUsados.count(stem) > 0;
    const bool newName = NombresUsados.insert(s.name).second;
    s.cod = !newName ? stem
            : s.code.size() <= 4 ? s.code
                                 : leftAnsi(s.code, 2) + rightAnsi(s.code, 2);
    if (!stemTaken && CodigosUsados.count(s.cod) == 0) {
      CodigosUsados.insert(s.cod);
      s.fate = Fate::Record;
    } else {
      s.taken = stemTaken ? stem : s.cod;
      if (newName) s.fate = Fate::Spare;
    }
    subjects.push_back(std::move(s));
  }

  // A subject with a new name whose stem or candidate was taken would lose
  // every class (step 6 finds it neither by code nor by name): it gets a
  // spare code that no other subject holds.
  for (Subject& s : subjects) {
    if (s.fate != Fate::Spare) continue;
    std::string spare = spareSubjectCode(s.cod, CodigosUsados);
    report_.add("asignatura_codigo_alternativo",
                "La asignatura " + inQuotes(s.name) + " (código " + inQuotes(s.code) +
                    ") recibe el código " + inQuotes(spare) + " porque " + inQuotes(s.taken) +
                    " ya estaba dado.");
    s.cod = std::move(spare);
    CodigosUsados.insert(s.cod);
  }

  for (const Subject& s : subjects) {
    if (s.fate == Fate::NoRecord) {
      report_.add("asignatura_sin_registro",
                  "La asignatura " + inQuotes(s.name) + " (código " + inQuotes(s.code) +
                      ") no recibe registro en ASIGNOMT: su nombre ya estaba dado y el código " +
                      inQuotes(s.taken) + " también; sus clases se buscan por el nombre.");
      continue;
    }
    table->append();
    table->setString("COD", s.cod);
    table->setString("CODLARGO", leftAnsi(s.name, 8));
    table->setString("NOMBRE", s.name);
    table->setBool("ESTAREA", false);
    table->setString("ABREV_ITACA", s.code);
    table->post();
  }
  table->close();
}

void ImportRun::TransformarOcupaciones() {
  auto table = bindTable(folder, TableId::ASIGNOMT, false);
  table->open();
  const char* nameAttribute = window_.language == kValenciano ? "nombre_val" : "nombre_cas";

  for (const pugi::xml_node& node : DocXML.select("/centro/ocupaciones/ocupacion")) {
    const std::string code = ansiAttr(node, "codigo");
    const std::string name = ansiAttr(node, nameAttribute);
    // An occupation is found later only by its ITACA code (step 8), never
    // by name: one that took no record because a subject or an occupation
    // already had its name would enter every session without a task code.
    // It keeps a record of its own; the name is only noted.
    if (!NombresUsados.insert(name).second)
      report_.add("ocupacion_nombre_repetido",
                  "La ocupación " + inQuotes(name) + " (código " + inQuotes(code) +
                      ") tiene el nombre de otra asignatura u ocupación; recibe un código propio.");
    std::string candidate = "*" + (code.size() < 3 ? code : rightAnsi(code, 3));
    if (CodigosUsados.count(candidate)) {
      const std::string stem = leftAnsi(candidate, 3);
      std::string found;
      for (int c = 'A'; c <= 255 && found.empty(); ++c) {
        std::string next = stem + static_cast<char>(c);
        if (!CodigosUsados.count(next)) found = std::move(next);
      }
      // Past the last character code the rule has nothing left to try.
      candidate = found.empty() ? spareSubjectCode(candidate, CodigosUsados) : found;
    }
    CodigosUsados.insert(candidate);
    table->append();
    table->setString("COD", candidate);
    table->setString("CODLARGO", leftAnsi(name, 8));
    table->setString("NOMBRE", name);
    table->setString("CODTAREA", code);
    table->setBool("ESTAREA", true);
    table->setString("ABREV_ITACA", code);
    table->post();
  }
  table->close();
  CodigosUsados.clear();
  NombresUsados.clear();
}

namespace {

void reportSpare(Report& report, const char* table, const std::string& who,
                 const ShortCode& code) {
  report.add("codigo_corto_alternativo",
             std::string(table) + ": " + who + " recibe el código " + inQuotes(code.code) +
                 " en lugar de " + inQuotes(code.ruleCode) +
                 ", que sería más largo de cuatro caracteres o ya estaría dado.");
}

}  // namespace

void ImportRun::TransformarDocentes() {
  recreateTable(folder, TableId::PROFT);
  struct Teacher {
    std::string name, dni, joined, teaching;
  };
  std::vector<Teacher> teachers;
  std::vector<std::string> initials;
  for (const pugi::xml_node& node : DocXML.select("/centro/docentes/docente")) {
    const std::string surname1 = ansiAttr(node, "apellido1");
    const std::string surname2 = ansiAttr(node, "apellido2");
    const std::string given = ansiAttr(node, "nombre");
    teachers.push_back({surname1 + " " + surname2 + ", " + given, ansiAttr(node, "documento"),
                        ansiAttr(node, "fecha_ingreso"), ansiAttr(node, "ensenanza")});
    initials.push_back(leftAnsi(surname1, 1) + leftAnsi(surname2, 1) + leftAnsi(given, 1));
  }
  const auto codes = assignShortCodes(ShortCodeRule::Teacher, initials, "PROFT");

  auto table = bindTable(folder, TableId::PROFT, false);
  table->open();
  for (std::size_t i = 0; i < teachers.size(); ++i) {
    const Teacher& t = teachers[i];
    table->append();
    table->setString("ABREV", codes[i].code);
    table->setString("NOMBRE", t.name);
    table->setString("DNI", t.dni);
    table->setString("F_TOMAPOS", t.joined);
    table->setString("ENSENANZA", t.teaching);
    table->post();
    if (codes[i].spare)
      reportSpare(report_, "PROFT", "el profesor " + inQuotes(t.name) + " (DNI " + inQuotes(t.dni) + ")",
                  codes[i]);
  }
  table->close();
}

void ImportRun::TransformarAulas() {
  recreateTable(folder, TableId::AULAT);
  struct Room {
    std::string name, code;
  };
  std::vector<Room> rooms;
  std::vector<std::string> bases;
  for (const pugi::xml_node& node : DocXML.select("/centro/aulas/aula")) {
    Room r{ansiAttr(node, "nombre"), ansiAttr(node, "codigo")};
    bases.push_back(leftAnsi(r.code.empty() ? r.name : r.code, 4));
    rooms.push_back(std::move(r));
  }
  const auto codes = assignShortCodes(ShortCodeRule::Room, bases, "AULAT");

  auto table = bindTable(folder, TableId::AULAT, false);
  table->open();
  for (std::size_t i = 0; i < rooms.size(); ++i) {
    table->append();
    table->setString("ABREV", codes[i].code);
    table->setString("NOMBRE", rooms[i].name);
    table->setString("ABREV_ITACA", rooms[i].code);
    table->post();
    if (codes[i].spare)
      reportSpare(report_, "AULAT",
                  "el aula " + inQuotes(rooms[i].name) + " (código " + inQuotes(rooms[i].code) + ")",
                  codes[i]);
  }
  table->close();
}

namespace {

// The first element of a collection for each value of `keyAttr` gives the
// value of `valueAttr`, as a walk in document order would find it.
std::unordered_map<std::string, std::string> firstByKey(const Document& doc, const char* path,
                                                        const char* keyAttr,
                                                        const char* valueAttr) {
  std::unordered_map<std::string, std::string> map;
  for (const pugi::xml_node& node : doc.select(path))
    map.try_emplace(ansiAttr(node, keyAttr), ansiAttr(node, valueAttr));
  return map;
}

std::string valueOf(const std::unordered_map<std::string, std::string>& map,
                    const std::string& key) {
  const auto it = map.find(key);
  return it == map.end() ? std::string() : it->second;
}

}  // namespace

void ImportRun::TransformarCursosGrupos() {
  recreateTable(folder, TableId::GRUPOST);
  recreateTable(folder, TableId::CURSOST);
  const auto teachings =
      firstByKey(DocXML, "/centro/ensenanzas/ensenanza", "ensenanza", "abreviatura");
  const std::string turno = toAnsi(window_.FTurno);

  auto courses = bindTable(folder, TableId::CURSOST, false);
  courses->open();
  for (const pugi::xml_node& node : DocXML.select("/centro/cursos/curso")) {
    const std::string parent = ansiAttr(node, "padre");
    const std::string abbreviation = ansiAttr(node, "abreviatura");
    // A top-level course whose abbreviation does not start with its year
    // is a teaching's heading, not a course of pupils.
    const bool startsWithDigit =
        !abbreviation.empty() && abbreviation[0] >= '0' && abbreviation[0] <= '9';
    if (parent.empty() && !startsWithDigit) continue;
    courses->append();
    courses->setString("ABREV", leftAnsi(abbreviation, 3));
    courses->setString("TURNO", turno);
    courses->setString("NIVEL", valueOf(teachings, ansiAttr(node, "ensenanza")));
    courses->setString("CURSO", leftAnsi(abbreviation, 1));
    courses->setString("CLAVE", ansiAttr(node, "codigo"));
    courses->setString("ESTUD", abbreviation);
    courses->post();
  }
  courses->close();

  const auto courseOfGroup = firstByKey(DocXML, "/centro/cursos_grupo/curso_grupo", "grupo", "curso");
  struct Group {
    std::string key, name, shift, teaching, tutor;
  };
  std::vector<Group> groups;
  std::vector<std::string> bases;
  {
    auto teachers = bindTable(folder, TableId::PROFT);
    teachers->open();
    for (const pugi::xml_node& node : DocXML.select("/centro/grupos/grupo")) {
      Group g{ansiAttr(node, "codigo"), ansiAttr(node, "nombre"), ansiAttr(node, "turno"),
              ansiAttr(node, "ensenanza"), {}};
      std::string tutor = ansiAttr(node, "tutor_ppal");
      if (tutor.empty()) tutor = ansiAttr(node, "tutor_sec");
      g.tutor = steps::lookup(*teachers, "DNI", tutor, "ABREV");
      bases.push_back(leftAnsi(g.key, 3) + rightAnsi(g.key, 1));
      groups.push_back(std::move(g));
    }
    teachers->close();
  }
  const auto codes = assignShortCodes(ShortCodeRule::Group, bases, "GRUPOST");

  auto table = bindTable(folder, TableId::GRUPOST, false);
  table->open();
  for (std::size_t i = 0; i < groups.size(); ++i) {
    const Group& g = groups[i];
    table->append();
    table->setString("ABREV", codes[i].code);
    table->setString("TURNO", g.shift);
    table->setString("NIVEL", valueOf(teachings, g.teaching));
    table->setString("CURSO", leftAnsi(g.key, 1));
    table->setString("GRUPO", rightAnsi(g.key, 1));
    table->setString("CLAVE", g.key);
    table->setString("CLAVECURSO", valueOf(courseOfGroup, g.key));
    table->setString("DESCRIP", g.name);
    table->setString("ENSENANZA", g.teaching);
    table->setString("TUTOR", g.tutor);
    table->post();
    if (codes[i].spare)
      reportSpare(report_, "GRUPOST", "el grupo " + inQuotes(g.key) + " (" + inQuotes(g.name) + ")",
                  codes[i]);
  }
  table->close();
}

}  // namespace tvi
