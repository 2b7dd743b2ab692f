#include "gencentre/generator.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "common/text.h"
#include "itaca/document.h"
#include "support/test_support.h"

namespace tvi {
namespace {

using gen::CentreOptions;
using gen::CentreSummary;
using gen::Profile;

CentreOptions primary(std::uint64_t seed, bool bulk) {
  CentreOptions o;
  o.seed = seed;
  o.profile = Profile::Primary;
  o.bulk = bulk;
  return o;
}

TEST(Generator, IsDeterministicForASeedAndStreamsTheSameBytesToAFile) {
  CentreSummary a, b, c;
  const std::string first = gen::centreText(primary(7, true), &a);
  EXPECT_EQ(gen::centreText(primary(7, true), &b), first);
  EXPECT_NE(gen::centreText(primary(8, true), &c), first);
  EXPECT_EQ(a.bytes, first.size());

  tvitest::TempDir dir;
  const CentreSummary onDisk = gen::writeCentreFile(dir / "c.xml", primary(7, true));
  EXPECT_EQ(tvitest::readFile(dir / "c.xml"), first);
  EXPECT_EQ(onDisk.bytes, first.size());

  // Bulk draws apart: without it the timetable is the same.
  const Document withBulk = Document::parse(first);
  const Document without = Document::parse(gen::centreText(primary(7, false)));
  EXPECT_EQ(without.count("/centro/alumnos/alumno"), 0u);
  EXPECT_EQ(withBulk.count("/centro/alumnos/alumno"), a.pupils);
  const auto sessions = withBulk.select("/centro/horarios_grupo/horario_grupo");
  const auto same = without.select("/centro/horarios_grupo/horario_grupo");
  ASSERT_EQ(sessions.size(), same.size());
  for (std::size_t i = 0; i < sessions.size(); i += 37)
    EXPECT_EQ(attr(sessions[i], "contenido"), attr(same[i], "contenido"));
}

TEST(Generator, WritesAWellFormedCentreWhoseCountsMatchItsSummary) {
  CentreSummary s;
  const std::string text = gen::centreText(primary(3, true), &s);
  EXPECT_EQ(text.find('\n'), std::string::npos);  // one line, as ITACA writes it
  const Document doc = Document::parse(text);
  EXPECT_EQ(doc.count("/centro/plantillas_horario/plantilla_horario"), s.templates);
  EXPECT_EQ(doc.count("/centro/docentes/docente"), s.teachers);
  EXPECT_EQ(doc.count("/centro/aulas/aula"), s.rooms);
  EXPECT_EQ(doc.count("/centro/grupos/grupo"), s.groups);
  EXPECT_EQ(doc.count("/centro/contenidos/contenido"), s.subjects);
  EXPECT_EQ(doc.count("/centro/horarios_grupo/horario_grupo"), s.classSessions);
  EXPECT_EQ(doc.count("/centro/horarios_ocupaciones/horario_ocupacion"), s.occupationSessions);
  EXPECT_GT(s.classSessions, 400u);

  CentreOptions indented = primary(3, false);
  indented.oneLine = false;
  EXPECT_EQ(Document::parse(gen::centreText(indented)).count("/centro/horarios_grupo/horario_grupo"),
            s.classSessions);
}

// The collisions real exports have, counted on the large centre.
TEST(Generator, LargeSecondaryCarriesTheCollisionsOfRealExports) {
  CentreOptions o;
  o.bulk = false;
  CentreSummary s;
  const Document doc = Document::parse(gen::centreText(o, &s));
  EXPECT_NEAR(static_cast<double>(s.teachers), 250, 10);
  EXPECT_NEAR(static_cast<double>(s.groups), 130, 10);
  EXPECT_NEAR(static_cast<double>(s.classSessions), 10000, 1500);
  EXPECT_NEAR(static_cast<double>(s.occupationSessions), 2000, 300);

  std::map<std::string, int> initials;
  bool caseOnly = false;
  for (auto d : doc.select("/centro/docentes/docente")) {
    std::string code;
    for (const char* a : {"apellido1", "apellido2", "nombre"}) code += toAnsi(attr(d, a)).substr(0, 1);
    ++initials[code];
  }
  for (const auto& [code, n] : initials) {
    if (code != ansiUpper(code) && initials.count(ansiUpper(code))) caseOnly = true;
  }
  EXPECT_GT(initials["GGM"], 10);
  EXPECT_TRUE(caseOnly);

  int aula = 0, noCode = 0;
  std::set<std::string> roomCodes;
  bool roomCase = false;
  for (auto r : doc.select("/centro/aulas/aula")) {
    const std::string code = attr(r, "codigo");
    aula += code.rfind("AULA", 0) == 0;
    noCode += code.empty();
    for (const auto& other : roomCodes) roomCase |= other != code && ansiEqualNoCase(other, code);
    roomCodes.insert(code);
  }
  EXPECT_GT(aula, 10);
  EXPECT_GE(noCode, 1);
  EXPECT_TRUE(roomCase);

  std::map<std::string, int> groupCodes;
  for (auto g : doc.select("/centro/grupos/grupo")) {
    const std::string key = attr(g, "codigo");
    ++groupCodes[key.substr(0, 3) + key.substr(key.size() - 1)];
  }
  int biggest = 0;
  for (const auto& [code, n] : groupCodes) biggest = std::max(biggest, n);
  EXPECT_GT(biggest, 10);

  std::map<std::string, std::set<std::string>> coursesOfName;
  std::set<std::string> subjectNames, subjectCodes;
  bool longCode = false, subjectCase = false;
  for (auto c : doc.select("/centro/contenidos/contenido")) {
    const std::string code = attr(c, "codigo");
    coursesOfName[attr(c, "nombre_val")].insert(attr(c, "curso"));
    subjectNames.insert(attr(c, "nombre_val"));
    longCode |= code.size() > 10;
    subjectCase |= subjectCodes.count(ansiUpper(code)) && ansiUpper(code) != code;
    subjectCodes.insert(code);
  }
  EXPECT_GT(coursesOfName["Matemàtiques"].size(), 1u);
  EXPECT_TRUE(longCode);
  EXPECT_TRUE(subjectCase);

  bool occupationLikeSubject = false;
  for (auto oc : doc.select("/centro/ocupaciones/ocupacion"))
    occupationLikeSubject |= subjectNames.count(attr(oc, "nombre_val")) > 0;
  EXPECT_TRUE(occupationLikeSubject);

  std::set<std::string> dnis;
  for (auto d : doc.select("/centro/docentes/docente")) dnis.insert(attr(d, "documento"));
  EXPECT_EQ(dnis.size(), s.teachers);  // identity documents are unique
  int noRoom = 0, unknownTeacher = 0, noTeacher = 0;
  std::map<std::string, int> perTemplate;
  for (auto h : doc.select("/centro/horarios_grupo/horario_grupo")) {
    noRoom += attr(h, "aula").empty();
    noTeacher += attr(h, "docente").empty();
    unknownTeacher += !attr(h, "docente").empty() && !dnis.count(attr(h, "docente"));
    ++perTemplate[attr(h, "plantilla")];
  }
  EXPECT_GT(noRoom, 0);
  EXPECT_GT(noTeacher, 0);
  EXPECT_GT(unknownTeacher, 0);
  EXPECT_EQ(perTemplate.size(), s.templates);
  EXPECT_EQ(static_cast<std::size_t>(perTemplate[s.firstTemplate]), s.classSessionsFirst);
  std::set<std::string> occupationTemplates;
  for (auto h : doc.select("/centro/horarios_ocupaciones/horario_ocupacion"))
    occupationTemplates.insert(attr(h, "plantilla"));
  EXPECT_EQ(occupationTemplates.size(), s.templates);
}

}  // namespace
}  // namespace tvi
