#include "import/invariants.h"

#include <algorithm>
#include <map>
#include <set>

#include <gtest/gtest.h>

#include "common/text.h"
#include "import/import_fixture.h"

namespace importtest {

namespace {

using tvi::TableId;

// A document value as a table field holding `width` characters stores it.
std::string stored(pugi::xml_node node, const char* name, std::size_t width) {
  return tvi::fromAnsi(tvi::leftAnsi(tvi::toAnsi(tvi::attr(node, name)), width));
}

std::string pattern(long hours) {
  if (hours <= 13) return std::string(static_cast<std::size_t>(std::max(hours, 0L)), '1');
  return std::to_string(hours - 13) + std::string(13, '1');
}

std::set<std::string> values(const std::vector<Row>& rows, const char* field) {
  std::set<std::string> out;
  for (const Row& r : rows) out.insert(r.at(field));
  return out;
}

void expectShortCodes(const std::vector<Row>& rows, const char* table) {
  std::set<std::string> seen;
  for (const Row& r : rows) {
    const std::string code = tvi::ansiUpper(tvi::toAnsi(r.at("ABREV")));
    EXPECT_LE(code.size(), 4u) << table << " " << r.at("ABREV");
    EXPECT_TRUE(seen.insert(code).second) << table << " repeats " << r.at("ABREV");
  }
}

}  // namespace

ImportFacts checkImportInvariants(const tvi::Document& doc, const std::filesystem::path& tables,
                                  const std::string& plantilla, const std::string& language) {
  const auto asignomt = readTable(tables, TableId::ASIGNOMT);
  const auto proft = readTable(tables, TableId::PROFT);
  const auto aulat = readTable(tables, TableId::AULAT);
  const auto grupost = readTable(tables, TableId::GRUPOST);
  const auto asigt = readTable(tables, TableId::ASIGT);
  const auto slots = readTable(tables, TableId::DIASHORAST);

  // Which subject of which course has a Velmaran code: by ITACA code, else
  // by the name in the chosen language.
  std::map<std::string, std::string> codByItaca, codByName;
  for (const Row& r : asignomt) {
    codByItaca.try_emplace(r.at("ABREV_ITACA"), r.at("COD"));
    codByName.try_emplace(r.at("NOMBRE"), r.at("COD"));
  }
  const char* nameAttr = language == "VALENCIÁ" ? "nombre_val"
                         : language == "CASTELLANO" ? "nombre_cas"
                                                    : nullptr;
  std::set<std::pair<std::string, std::string>> subjectOfCourse;  // (curso, codigo) with a code
  for (const pugi::xml_node& c : doc.select("/centro/contenidos/contenido")) {
    const std::string code = stored(c, "codigo", 10);
    std::string cod;
    if (auto it = codByItaca.find(code); it != codByItaca.end()) cod = it->second;
    if (cod.empty() && nameAttr)
      if (auto it = codByName.find(stored(c, nameAttr, 40)); it != codByName.end()) cod = it->second;
    if (!cod.empty()) subjectOfCourse.insert({stored(c, "curso", 10), code});
  }
  std::set<std::pair<std::string, std::string>> groupOfCourse;  // (clave, clavecurso)
  for (const Row& g : grupost) groupOfCourse.insert({g.at("CLAVE"), g.at("CLAVECURSO")});

  // Every session of the template whose class exists counts once.
  ImportFacts facts;
  std::map<std::string, long> sessionsOfClass;
  for (const pugi::xml_node& s : doc.select("/centro/horarios_grupo/horario_grupo")) {
    if (tvi::attr(s, "plantilla") != plantilla) continue;
    const std::string grupo = stored(s, "grupo", 10), curso = stored(s, "curso", 10),
                      contenido = stored(s, "contenido", 10);
    if (!subjectOfCourse.count({curso, contenido}) || !groupOfCourse.count({grupo, curso})) continue;
    ++sessionsOfClass[grupo + "|" + curso + "|" + contenido];
    ++facts.classSessions;
  }
  for (const pugi::xml_node& s : doc.select("/centro/horarios_ocupaciones/horario_ocupacion"))
    if (tvi::attr(s, "plantilla") == plantilla) ++facts.occupationSessions;

  std::map<std::string, long> hoursOfClass;
  long allHours = 0;
  const auto cods = values(asignomt, "COD"), profs = values(proft, "ABREV"),
             groups = values(grupost, "ABREV"), rooms = values(aulat, "ABREV");
  for (const Row& r : asigt) {
    const long hours = std::stol(r.at("HORAS"));
    allHours += hours;
    const bool classRow = r.at("CTAREA") == "*479";
    if (classRow) {
      hoursOfClass[r.at("CLAVE") + "|" + r.at("CLAVECURSO") + "|" + r.at("ASIG_ITACA")] += hours;
      EXPECT_EQ(r.at("SESIONES"), pattern(hours)) << r.at("CLAVE") << " " << r.at("ASIG_ITACA");
      EXPECT_TRUE(groups.count(r.at("CGRUP"))) << "CGRUP " << r.at("CGRUP");
    } else {
      EXPECT_EQ(r.at("SESIONES"), std::string(static_cast<std::size_t>(std::min(hours, 20L)), '1'))
          << r.at("CPROF") << " " << r.at("ASIG_ITACA");
    }
    EXPECT_TRUE(cods.count(r.at("CASIG")) && !r.at("CASIG").empty()) << "CASIG " << r.at("CASIG");
    EXPECT_TRUE(r.at("CPROF").empty() || profs.count(r.at("CPROF"))) << "CPROF " << r.at("CPROF");
    EXPECT_TRUE(r.at("CAULA").empty() || rooms.count(r.at("CAULA"))) << "CAULA " << r.at("CAULA");
  }
  EXPECT_EQ(hoursOfClass, sessionsOfClass);
  EXPECT_EQ(allHours, static_cast<long>(facts.classSessions + facts.occupationSessions));

  // After the pruning every group and teacher has a row.
  const auto namedGroups = values(asigt, "CGRUP"), namedProfs = values(asigt, "CPROF");
  for (const std::string& g : groups) EXPECT_TRUE(namedGroups.count(g)) << "group " << g;
  for (const std::string& p : profs) EXPECT_TRUE(namedProfs.count(p)) << "teacher " << p;

  expectShortCodes(proft, "PROFT");
  expectShortCodes(aulat, "AULAT");
  expectShortCodes(grupost, "GRUPOST");
  EXPECT_EQ(cods.size(), asignomt.size()) << "ASIGNOMT repeats a COD";

  std::size_t mondays = 0;
  for (const pugi::xml_node& s : doc.select("/centro/sesiones_horario/sesion_horario"))
    if (tvi::attr(s, "plantilla") == plantilla && tvi::attr(s, "dia_semana") == "L") ++mondays;
  EXPECT_EQ(slots.size(), 7 * mondays);
  return facts;
}

}  // namespace importtest
