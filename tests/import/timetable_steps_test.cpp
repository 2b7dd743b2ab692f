// Steps 6 to 9: ASIGT's base rows, the groups' classes, the occupations and
// the pruning, as written on disk.

#include <gtest/gtest.h>

#include "import/import_fixture.h"

using namespace importtest;
using tvi::TableId;
using Answer = tvi::Interaction::Answer;

namespace {

using Strings = std::vector<std::string>;

Attrs subject(const std::string& code, const std::string& name, const std::string& course = "C1") {
  return {{"codigo", code}, {"nombre_val", name}, {"nombre_cas", name}, {"curso", course}};
}

Attrs teacher(const std::string& a1, const std::string& a2, const std::string& nombre,
              const std::string& dni) {
  return {{"apellido1", a1}, {"apellido2", a2}, {"nombre", nombre}, {"documento", dni},
          {"fecha_ingreso", ""}, {"ensenanza", "ESO"}};
}

Attrs classSession(const std::string& grupo, const std::string& contenido, const std::string& docente,
                   const std::string& aula, const std::string& plantilla = "P1",
                   const std::string& curso = "C1") {
  return {{"plantilla", plantilla}, {"grupo", grupo}, {"curso", curso}, {"contenido", contenido},
          {"docente", docente}, {"aula", aula}};
}

Attrs occupationSession(const std::string& docente, const std::string& ocupacion,
                        const std::string& plantilla = "P1") {
  return {{"plantilla", plantilla}, {"docente", docente}, {"ocupacion", ocupacion}};
}

// A small school: teachers A (GLA), B (PRB), C (STC, tutor of 1ESOA);
// rooms R1, R2; course C1 with groups 1ESOA (1ESA) and 1ESOB (1ESB);
// subjects MAT and LEN of C1; occupations GUA and BIB.
struct School {
  std::vector<Attrs> subjects{subject("MAT", "Mates"), subject("LEN", "Lengua")};
  std::vector<Attrs> teachers{teacher("Garcia", "Lopez", "Ana", "A1"),
                              teacher("Perez", "Ruiz", "Berta", "B1"),
                              teacher("Sanz", "Toledo", "Carla", "C1")};
  std::vector<Attrs> rooms{{{"codigo", "R1"}, {"nombre", "Aula 1"}},
                           {{"codigo", "R2"}, {"nombre", "Aula 2"}}};
  std::vector<Attrs> groups{
      {{"codigo", "1ESOA"}, {"nombre", "1 A"}, {"turno", "M"}, {"ensenanza", "ESO"}, {"tutor_ppal", "C1"}},
      {{"codigo", "1ESOB"}, {"nombre", "1 B"}, {"turno", "M"}, {"ensenanza", "ESO"}, {"tutor_ppal", ""}}};
  std::vector<Attrs> classes;
  std::vector<Attrs> occupationSessions;

  std::string xml() const {
    return centro({contenidos(subjects),
                   ocupaciones({{{"codigo", "GUA"}, {"nombre_val", "Guardia"}, {"nombre_cas", "Guardia"}},
                                {{"codigo", "BIB"}, {"nombre_val", "Biblioteca"}, {"nombre_cas", "Biblioteca"}}}),
                   docentes(teachers), aulas(rooms),
                   cursos({{{"codigo", "C1"}, {"abreviatura", "1ESO"}, {"padre", ""}, {"ensenanza", "ESO"}}}),
                   ensenanzas({{{"ensenanza", "ESO"}, {"abreviatura", "ESO"}}}),
                   cursosGrupo({{{"grupo", "1ESOA"}, {"curso", "C1"}}, {{"grupo", "1ESOB"}, {"curso", "C1"}}}),
                   grupos(groups), horariosGrupo(classes), horariosOcupaciones(occupationSessions)});
  }
};

Row classRow(const std::string& casig, const std::string& cprof, const std::string& cgrup,
             const std::string& caula, const std::string& horas, const std::string& sesiones,
             const std::string& clave, const std::string& asig) {
  return {{"CASIG", casig}, {"CPROF", cprof}, {"CGRUP", cgrup}, {"CAULA", caula}, {"TURNO", "M"},
          {"NIVEL", "ESO"}, {"CURSO", "1"}, {"GRUPO", clave.substr(clave.size() - 1)},
          {"HORAS", horas}, {"SESIONES", sesiones}, {"CLAVE", clave}, {"CLAVECURSO", "C1"},
          {"CTAREA", "*479"}, {"ASIG_ITACA", asig}};
}

// ----------------------------------------------------------- step 6

TEST(BaseRows, OnePerSubjectAndGroupOfItsCourse) {
  StepsFixture f;
  f.load(School{}.xml());
  f.runSteps(6);
  EXPECT_EQ(f.table(TableId::ASIGT),
            (std::vector<Row>{classRow("MAT", "", "1ESA", "", "4", "1111", "1ESOA", "MAT"),
                              classRow("MAT", "", "1ESB", "", "4", "1111", "1ESOB", "MAT"),
                              classRow("LEN", "", "1ESA", "", "4", "1111", "1ESOA", "LEN"),
                              classRow("LEN", "", "1ESB", "", "4", "1111", "1ESOB", "LEN")}));
}

TEST(BaseRows, ASubjectIsFoundByCodeBeforeName) {
  School s;
  // FIS shares MAT's name: it has a record of its own (the free stem) and
  // must be found by its code.
  s.subjects = {subject("MAT", "Mates"), subject("FIS", "Mates")};
  StepsFixture f;
  f.load(s.xml());
  f.runSteps(6);
  EXPECT_EQ(column(f.table(TableId::ASIGT), "CASIG"), (Strings{"MAT", "MAT", "FIS", "FIS"}));
}

TEST(BaseRows, AWithoutCodeSubjectIsFoundByNameOnlyForTheTwoLanguages) {
  // ABCDX shares ABCD's name and stem: no record of its own.
  for (const auto& [language, rows] : std::vector<std::pair<std::string, std::size_t>>{
           {"VALENCIÁ", 2}, {"CASTELLANO", 2}, {"castellano", 0}}) {
    School s;
    s.subjects = {subject("ABCD", "Dibujo"), subject("ABCDX", "Dibujo")};
    StepsFixture f;
    f.window.language = language;
    f.load(s.xml());
    f.runSteps(6);
    const auto found = where(f.table(TableId::ASIGT), "ASIG_ITACA", "ABCDX");
    ASSERT_EQ(found.size(), rows) << language;
    if (rows) {
      EXPECT_EQ(found[0].at("CASIG"), "ABCD");
    }
  }
}

TEST(BaseRows, RepeatsDuplicatesAndMatchesTheCourseWithCase) {
  School s;
  s.subjects = {subject("MAT", "Mates"), subject("MAT", "Mates"), subject("LEN", "Lengua", "c1"),
                subject("", "")};
  StepsFixture f;
  f.load(s.xml());
  f.runSteps(6);
  EXPECT_EQ(column(f.table(TableId::ASIGT), "CGRUP"), (Strings{"1ESA", "1ESB", "1ESA", "1ESB"}));
  // The second MAT gets no record of its own (its name and stem are known).
  EXPECT_EQ(f.reportKinds(),
            (Strings{"asignatura_sin_registro", "curso_sin_grupos", "contenido_sin_codigo"}));
}

TEST(BaseRows, ASingleSubjectCounts) {
  School s;
  s.subjects = {subject("MAT", "Mates")};
  StepsFixture f;
  f.load(s.xml());
  f.runSteps(6);
  EXPECT_EQ(f.table(TableId::ASIGT).size(), 2u);
}

// ----------------------------------------------------------- step 7

const std::string kQuestion7 =
    "                       !!! I M P O R T A N T E !!!                         \r\n"
    "Se han encontrado Datos que pueden pertenecer a varias Plantillas Horarias.\r\n"
    "RECOMENDAMOS IMPORTAR SOLAMENTE LOS DATOS PERTENECIENTES A UNA SOLA PLANTILLA.\r\n"
    "Si quiere Importar los Datos de todas las Plantillas Pulse el Botón \"Sí\".\r\n"
    "Para Importar solo los Datos de la Plantilla seleccionada,Pulse el Botón \"No\".\r\n"
    "(Recomendamos Pulsar \"No\", y trabajar solo con datos de una Plantilla.)";

TEST(GroupTimetable, WithoutSessionsAsksNothingAndKeepsTheBaseRows) {
  StepsFixture f;
  f.load(School{}.xml());
  f.runSteps(6);
  const auto before = f.table(TableId::ASIGT);
  f.runSteps(7);
  EXPECT_TRUE(f.ui.asked.empty());
  EXPECT_FALSE(f.run->SoloUnaPlantilla);
  EXPECT_EQ(f.table(TableId::ASIGT), before);
}

TEST(GroupTimetable, AnsweringSiKeepsEveryBaseRow) {
  School s;
  s.classes = {classSession("1ESOA", "MAT", "A1", "R1")};
  StepsFixture f;
  f.load(s.xml());
  f.ui.answers = {Answer::Si};
  f.runSteps(6);
  const auto before = f.table(TableId::ASIGT);
  f.runSteps(7);
  EXPECT_EQ(f.ui.asked, (Strings{kQuestion7}));
  EXPECT_FALSE(f.run->SoloUnaPlantilla);
  EXPECT_EQ(f.table(TableId::ASIGT), before);
}

class Restricted : public ::testing::TestWithParam<Answer> {};

TEST_P(Restricted, TurnsBaseRowsIntoTheTemplatesClasses) {
  // Teacher A twice and B three times for 1ESOA MAT, A first; LEN only in
  // another template.
  School s;
  s.classes = {classSession("1ESOA", "MAT", "A1", "R1"), classSession("1ESOA", "MAT", "B1", "R2"),
               classSession("1ESOA", "LEN", "A1", "R1", "P2"), classSession("1ESOA", "MAT", "A1", "R2"),
               classSession("1ESOA", "MAT", "B1", "R1"), classSession("1ESOA", "MAT", "B1", "R1")};
  StepsFixture f;
  f.load(s.xml());
  f.ui.answers = {GetParam()};
  f.runSteps(7);
  EXPECT_EQ(f.ui.asked, (Strings{kQuestion7}));
  EXPECT_TRUE(f.run->SoloUnaPlantilla);
  EXPECT_EQ(f.table(TableId::ASIGT),
            (std::vector<Row>{classRow("MAT", "GLA", "1ESA", "R1", "2", "11", "1ESOA", "MAT"),
                              classRow("MAT", "PRB", "1ESA", "R2", "3", "111", "1ESOA", "MAT")}));
}

INSTANTIATE_TEST_SUITE_P(NoOrClosed, Restricted, ::testing::Values(Answer::No, Answer::Closed));

TEST(GroupTimetable, ASingleSessionIsTaken) {
  School s;
  s.classes = {classSession("1ESOB", "LEN", "B1", "R2")};
  StepsFixture f;
  f.load(s.xml());
  f.ui.answers = {Answer::No};
  f.runSteps(7);
  EXPECT_EQ(f.table(TableId::ASIGT),
            (std::vector<Row>{classRow("LEN", "PRB", "1ESB", "R2", "1", "1", "1ESOB", "LEN")}));
}

TEST(GroupTimetable, WritesTheSessionPatternFromTheHours) {
  const std::vector<std::pair<int, std::string>> cases{
      {1, "1"}, {4, "1111"}, {13, std::string(13, '1')}, {14, std::string(14, '1')},
      {15, "2" + std::string(13, '1')}, {23, "10" + std::string(13, '1')}};
  School s;
  s.subjects.clear();
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const std::string code = "S" + std::to_string(i);
    s.subjects.push_back(subject(code, "Asignatura " + code));
    for (int n = 0; n < cases[i].first; ++n) s.classes.push_back(classSession("1ESOA", code, "A1", "R1"));
  }
  StepsFixture f;
  f.load(s.xml());
  f.ui.answers = {Answer::No};
  f.runSteps(7);
  const auto rows = f.table(TableId::ASIGT);
  ASSERT_EQ(rows.size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(rows[i].at("HORAS"), std::to_string(cases[i].first));
    EXPECT_EQ(rows[i].at("SESIONES"), cases[i].second) << cases[i].first;
  }
}

TEST(GroupTimetable, AnUnknownFirstTeacherLeavesTheRowForALaterOne) {
  School s;
  s.classes = {classSession("1ESOA", "MAT", "X9", "R1"), classSession("1ESOA", "MAT", "A1", "R2"),
               classSession("1ESOA", "XXX", "A1", "R1"), classSession("1ESOB", "XXX", "A1", "Z9")};
  StepsFixture f;
  f.load(s.xml());
  f.ui.answers = {Answer::No};
  f.runSteps(7);
  EXPECT_EQ(f.table(TableId::ASIGT),
            (std::vector<Row>{classRow("MAT", "", "1ESA", "R1", "1", "1", "1ESOA", "MAT"),
                              classRow("MAT", "GLA", "1ESA", "R2", "1", "1", "1ESOA", "MAT")}));
  EXPECT_EQ(f.reportKinds(), (Strings{"sesion_docente_desconocido", "sesion_sin_clase",
                                      "sesion_sin_clase"}));
  EXPECT_NE(f.report.items()[0].detail.find("«X9»"), std::string::npos);
  EXPECT_NE(f.report.items()[1].detail.find("(1 sesión)"), std::string::npos);
}

TEST(GroupTimetable, AnEmptyTeacherOrRoomKeyFindsNothing) {
  // A teacher without DNI and a room without code exist; sessions that name
  // neither must not take them.
  School s;
  s.teachers.push_back(teacher("Sin", "Dni", "Uno", ""));
  s.rooms.push_back({{"codigo", ""}, {"nombre", "Patio"}});
  s.classes = {classSession("1ESOA", "MAT", "", ""), classSession("1ESOA", "MAT", "", "")};
  StepsFixture f;
  f.load(s.xml());
  f.ui.answers = {Answer::No};
  f.runSteps(7);
  EXPECT_EQ(f.table(TableId::ASIGT),
            (std::vector<Row>{classRow("MAT", "", "1ESA", "", "2", "11", "1ESOA", "MAT")}));
  EXPECT_TRUE(f.report.items().empty());
}

// ----------------------------------------------------------- step 8

Row occupationRow(const std::string& code, const std::string& cprof, const std::string& horas,
                  const std::string& sesiones, const std::string& itaca) {
  Row r{{"CASIG", code}, {"CPROF", cprof}, {"HORAS", horas}, {"SESIONES", sesiones},
        {"CTAREA", code}, {"ASIG_ITACA", itaca}};
  for (const char* empty : {"CGRUP", "CAULA", "TURNO", "NIVEL", "CURSO", "GRUPO", "CLAVE", "CLAVECURSO"})
    r[empty] = "";
  return r;
}

TEST(Occupations, CountsSessionsPerTeacherAndOccupation) {
  School s;
  s.occupationSessions.push_back(occupationSession("B1", "BIB"));
  for (int i = 0; i < 5; ++i) s.occupationSessions.push_back(occupationSession("A1", "GUA"));
  for (int i = 0; i < 22; ++i) s.occupationSessions.push_back(occupationSession("C1", "GUA"));
  s.occupationSessions.push_back(occupationSession("Z9", "NOPE"));
  StepsFixture f;
  f.load(s.xml());
  f.runSteps(8);
  const auto rows = where(f.table(TableId::ASIGT), "CTAREA", "*479");
  EXPECT_EQ(rows.size(), 4u);  // no horario_grupo: the base rows stay
  const auto occupations = f.table(TableId::ASIGT);
  EXPECT_EQ(std::vector<Row>(occupations.begin() + 4, occupations.end()),
            (std::vector<Row>{occupationRow("*BIB", "PRB", "1", "1", "BIB"),
                              occupationRow("*GUA", "GLA", "5", "11111", "GUA"),
                              occupationRow("*GUA", "STC", "22", std::string(20, '1'), "GUA"),
                              occupationRow("", "", "1", "1", "NOPE")}));
  EXPECT_EQ(f.reportKinds(), (Strings{"ocupacion_desconocida", "sesion_docente_desconocido"}));
}

TEST(Occupations, KeepToTheTemplateOnlyWhenStep7SaidSo) {
  for (const auto& [answer, hours] : std::vector<std::pair<Answer, std::string>>{
           {Answer::Si, "3"}, {Answer::No, "2"}}) {
    School s;
    s.classes = {classSession("1ESOA", "MAT", "A1", "R1")};
    s.occupationSessions = {occupationSession("A1", "GUA"), occupationSession("A1", "GUA", "P2"),
                            occupationSession("A1", "GUA")};
    StepsFixture f;
    f.load(s.xml());
    f.ui.answers = {answer};
    f.runSteps(8);
    const auto rows = where(f.table(TableId::ASIGT), "CTAREA", "*GUA");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].at("HORAS"), hours);
  }
}

TEST(Occupations, TheSearchAlsoHitsAClassRowOfTheSameCodeAndTeacher) {
  // An occupation whose ITACA code is a subject's: its sessions land on
  // the class row of that teacher.
  School s;
  s.classes = {classSession("1ESOA", "MAT", "A1", "R1"), classSession("1ESOA", "MAT", "A1", "R1")};
  s.occupationSessions = {occupationSession("A1", "MAT")};
  StepsFixture f;
  f.load(s.xml());
  f.ui.answers = {Answer::No};
  f.runSteps(8);
  EXPECT_EQ(f.table(TableId::ASIGT),
            (std::vector<Row>{classRow("MAT", "GLA", "1ESA", "R1", "3", "111", "1ESOA", "MAT")}));
}

// ----------------------------------------------------------- step 9

const std::string kQuestion9 =
    "                       !!! I M P O R T A N T E !!!                         \r\n"
    "Existen Grupos de Clase y Profesores que NO tienen Clases en esta Plantilla.\r\n"
    "Si quitamos estos Grupos y Profesores, No afectará al Horario.\r\n"
    "¿Quieren quitar dichos Grupos y Profesores, del Horario que se va a Importar?.";

TEST(Pruning, DoesNothingAfterSi) {
  School s;
  s.classes = {classSession("1ESOA", "MAT", "A1", "R1")};
  StepsFixture f;
  f.load(s.xml());
  f.ui.answers = {Answer::Si};
  f.runSteps(9);
  EXPECT_EQ(f.ui.asked.size(), 1u);
  EXPECT_EQ(f.table(TableId::GRUPOST).size(), 2u);
  EXPECT_EQ(f.table(TableId::PROFT).size(), 3u);
}

TEST(Pruning, TeachersGoWithoutAQuestionWhenEveryGroupHasClasses) {
  // C is 1ESOA's tutor but has no class; B has an occupation only.
  School s;
  s.classes = {classSession("1ESOA", "MAT", "A1", "R1"), classSession("1ESOB", "MAT", "A1", "R1")};
  s.occupationSessions = {occupationSession("B1", "GUA")};
  StepsFixture f;
  f.load(s.xml());
  f.ui.answers = {Answer::No};
  f.runSteps(9);
  EXPECT_EQ(f.ui.asked, (Strings{kQuestion7}));
  EXPECT_EQ(column(f.table(TableId::PROFT), "ABREV"), (Strings{"GLA", "PRB"}));
  EXPECT_EQ(column(f.table(TableId::GRUPOST), "ABREV"), (Strings{"1ESA", "1ESB"}));
  EXPECT_EQ(f.reportKinds(), (Strings{"profesor_quitado"}));
  EXPECT_NE(f.report.items()[0].detail.find("«STC»"), std::string::npos);
}

TEST(Pruning, AskedForAGroupWithoutClasses) {
  struct Case {
    Answer answer;
    Strings groups, teachers;
  };
  for (const Case& c : {Case{Answer::No, {"1ESA", "1ESB"}, {"GLA", "PRB", "STC"}},
                        Case{Answer::Si, {"1ESB"}, {"PRB"}},
                        Case{Answer::Closed, {"1ESB"}, {"PRB"}}}) {
    School s;
    s.classes = {classSession("1ESOB", "LEN", "B1", "R1")};
    StepsFixture f;
    f.load(s.xml());
    f.ui.answers = {Answer::No, c.answer};
    f.runSteps(9);
    EXPECT_EQ(f.ui.asked, (Strings{kQuestion7, kQuestion9}));
    EXPECT_EQ(column(f.table(TableId::GRUPOST), "ABREV"), c.groups);
    EXPECT_EQ(column(f.table(TableId::PROFT), "ABREV"), c.teachers);
    EXPECT_EQ(f.table(TableId::ASIGT).size(), 1u);
  }
}

}  // namespace
