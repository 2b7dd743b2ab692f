// The shipped sample centre stays consistent: the demo and the end-to-end
// tests rely on every reference in it naming something that exists.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "itaca/document.h"
#include "support/test_support.h"

namespace tvi {
namespace {

std::set<std::string> values(const Document& doc, const char* path, const char* name) {
  std::set<std::string> out;
  for (auto n : doc.select(path)) out.insert(attr(n, name));
  return out;
}

TEST(SampleCentre, EveryReferenceNamesSomethingThatExists) {
  const Document doc = Document::load(tvitest::sourceDir() / "examples" / "centro_ejemplo.xml");
  EXPECT_EQ(doc.encoding(), "utf-8");
  const auto templates = values(doc, "/centro/plantillas_horario/plantilla_horario", "codigo");
  ASSERT_EQ(templates.size(), 2u);
  const auto teachers = values(doc, "/centro/docentes/docente", "documento");
  const auto rooms = values(doc, "/centro/aulas/aula", "codigo");
  const auto groups = values(doc, "/centro/grupos/grupo", "codigo");
  const auto occupations = values(doc, "/centro/ocupaciones/ocupacion", "codigo");
  std::map<std::string, std::string> courseOfSubject, courseOfGroup;
  for (auto c : doc.select("/centro/contenidos/contenido")) courseOfSubject[attr(c, "codigo")] = attr(c, "curso");
  for (auto c : doc.select("/centro/cursos_grupo/curso_grupo")) courseOfGroup[attr(c, "grupo")] = attr(c, "curso");
  for (auto g : doc.select("/centro/grupos/grupo")) {
    EXPECT_TRUE(courseOfGroup.count(attr(g, "codigo"))) << attr(g, "codigo");
    for (const char* tutor : {"tutor_ppal", "tutor_sec"})
      EXPECT_TRUE(attr(g, tutor).empty() || teachers.count(attr(g, tutor))) << attr(g, "codigo");
  }

  std::map<std::string, int> sessionsPerTemplate;
  int withoutRoom = 0;
  for (auto h : doc.select("/centro/horarios_grupo/horario_grupo")) {
    const std::string where = attr(h, "grupo") + " " + attr(h, "dia_semana") + attr(h, "sesion_orden");
    ++sessionsPerTemplate[attr(h, "plantilla")];
    EXPECT_TRUE(templates.count(attr(h, "plantilla"))) << where;
    EXPECT_TRUE(groups.count(attr(h, "grupo"))) << where;
    EXPECT_EQ(courseOfSubject[attr(h, "contenido")], attr(h, "curso")) << where;
    EXPECT_EQ(courseOfGroup[attr(h, "grupo")], attr(h, "curso")) << where;
    EXPECT_TRUE(attr(h, "docente").empty() || teachers.count(attr(h, "docente"))) << where;
    EXPECT_TRUE(attr(h, "aula").empty() || rooms.count(attr(h, "aula"))) << where;
    withoutRoom += attr(h, "aula").empty();
  }
  for (const auto& t : templates) EXPECT_GT(sessionsPerTemplate[t], 20) << t;
  EXPECT_GT(withoutRoom, 0);

  for (auto h : doc.select("/centro/horarios_ocupaciones/horario_ocupacion")) {
    EXPECT_TRUE(templates.count(attr(h, "plantilla")));
    EXPECT_TRUE(teachers.count(attr(h, "docente")));
    EXPECT_TRUE(occupations.count(attr(h, "ocupacion")));
  }
  // Monday sessions of each template, from which the hour list is built.
  for (const auto& t : templates) {
    int monday = 0;
    for (auto s : doc.select("/centro/sesiones_horario/sesion_horario"))
      monday += attr(s, "plantilla") == t && attr(s, "dia_semana") == "L";
    EXPECT_GE(monday, 6) << t;
  }
}

}  // namespace
}  // namespace tvi
