// Steps 1 to 5: ASIGNOMT, PROFT, AULAT, CURSOST and GRUPOST as written on
// disk.

#include <gtest/gtest.h>

#include "import/import_fixture.h"

using namespace importtest;
using tvi::TableId;

namespace {

using Strings = std::vector<std::string>;

Attrs subject(const std::string& code, const std::string& name, const std::string& course = "C1") {
  return {{"codigo", code}, {"nombre_val", name}, {"nombre_cas", name + " (cas)"}, {"curso", course}};
}

Attrs occupation(const std::string& code, const std::string& name) {
  return {{"codigo", code}, {"nombre_val", name}, {"nombre_cas", name + " (cas)"}};
}

// ---------------------------------------------------------------- ASIGNOMT

struct CodCase {
  const char* what;
  std::vector<Attrs> subjects;
  std::vector<Attrs> occupations;
  Strings cods;  // COD of every record, subjects then occupations
};

class SubjectCodes : public ::testing::TestWithParam<CodCase> {};

TEST_P(SubjectCodes, GivesTheseCodes) {
  const CodCase& c = GetParam();
  StepsFixture f;
  f.load(centro({contenidos(c.subjects), ocupaciones(c.occupations)}));
  f.runSteps(2);
  EXPECT_EQ(column(f.table(TableId::ASIGNOMT), "COD"), c.cods) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Steps1And2, SubjectCodes,
    ::testing::Values(
        CodCase{"new names: short code kept, long one cut to 2+2",
                {subject("MAT", "Mates"), subject("HIST01", "Historia")}, {}, {"MAT", "HI01"}},
        CodCase{"same name: the second takes the free stem",
                {subject("HIST01", "Historia"), subject("HIST02", "Historia")}, {}, {"HI01", "HIST"}},
        CodCase{"same name and stem taken: no record",
                {subject("ABCD", "A"), subject("ABCDE", "A")}, {}, {"ABCD"}},
        CodCase{"new name, stem taken: its own candidate when free",
                {subject("ABCD", "A"), subject("ABCDE", "B")}, {}, {"ABCD", "ABDE"}},
        CodCase{"new name, candidate taken: a spare numbered code",
                {subject("HIST01", "Historia"), subject("HIXY01", "Otra")}, {}, {"HI01", "HI02"}},
        CodCase{"a spare never takes a code the rule gives to a later subject",
                {subject("HIST01", "H"), subject("HIXY01", "X"), subject("HI02", "H")},
                {},
                {"HI01", "HI03", "HI02"}},
        CodCase{"occupations: star and last three, then a letter",
                {},
                {occupation("OC345", "Guardia"), occupation("TX345", "Biblio"), occupation("7", "Tutoria")},
                {"*345", "*34A", "*7"}},
        CodCase{"an occupation named like a subject or occupation still gets a record",
                {subject("MAT", "Tutoria"), subject("FIS", "Fisica")},
                {occupation("TUT", "Tutoria"), occupation("GUA", "Guardia"), occupation("GUB", "Guardia")},
                {"MAT", "FIS", "*TUT", "*GUA", "*GUB"}},
        CodCase{"a single element of each collection counts",
                {subject("MAT", "Mates")}, {occupation("GUA", "Guardia")}, {"MAT", "*GUA"}}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(SubjectsStep, WritesTheRecordFieldsCutToTheirWidths) {
  StepsFixture f;
  const std::string longName(45, 'n');
  f.load(centro({contenidos({subject("MATEMATICAS1", "Matemàtiques"), subject("X", longName)}),
                 ocupaciones({occupation("GUARDIAPATIO12345", "Guàrdia de pati")})}));
  f.runSteps(2);
  const auto rows = f.table(TableId::ASIGNOMT);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].at("COD"), "MAS1");
  EXPECT_EQ(rows[0].at("CODLARGO"), "Matemàti");
  EXPECT_EQ(rows[0].at("NOMBRE"), "Matemàtiques");
  EXPECT_EQ(rows[0].at("ABREV_ITACA"), "MATEMATICA");
  EXPECT_EQ(rows[0].at("ESTAREA"), "F");
  EXPECT_EQ(rows[0].at("CODTAREA"), "");
  EXPECT_EQ(rows[1].at("NOMBRE"), std::string(40, 'n'));
  EXPECT_EQ(rows[2].at("COD"), "*345");
  EXPECT_EQ(rows[2].at("CODTAREA"), "GUARDIAPATIO");
  EXPECT_EQ(rows[2].at("ABREV_ITACA"), "GUARDIAPAT");
  EXPECT_EQ(rows[2].at("ESTAREA"), "T");
}

TEST(SubjectsStep, NamesFollowTheLanguageTextExactly) {
  const std::string doc = centro({contenidos({subject("MAT", "Mates"), subject("FIS", "Fisica")})});
  for (const auto& [language, first] : std::vector<std::pair<std::string, std::string>>{
           {"VALENCIÁ", "Mates"}, {"CASTELLANO", "Mates (cas)"}, {"valenciá", "Mates (cas)"},
           {"otra cosa", "Mates (cas)"}}) {
    StepsFixture f;
    f.window.language = language;
    f.load(doc);
    f.runSteps(2);
    EXPECT_EQ(f.table(TableId::ASIGNOMT).at(0).at("NOMBRE"), first) << language;
  }
}

TEST(SubjectsStep, ASecondRunStartsWithEmptyLists) {
  StepsFixture f;
  f.load(centro({contenidos({subject("HIST01", "Historia"), subject("HIST02", "Historia")}),
                 ocupaciones({occupation("OC345", "Guardia"), occupation("TX345", "Biblio")})}));
  f.runSteps(2);
  const auto first = f.table(TableId::ASIGNOMT);
  f.run->CodigosUsados = {"HI01", "HIST"};  // whatever a caller left behind
  f.runSteps(2);
  EXPECT_EQ(f.table(TableId::ASIGNOMT), first);
  EXPECT_EQ(column(first, "COD"), (Strings{"HI01", "HIST", "*345", "*34A"}));
}

TEST(SubjectsStep, ReportsWhatGotNoRecordOrASpareCode) {
  StepsFixture f;
  f.load(centro({contenidos({subject("ABCD", "A"), subject("ABCDE", "A"), subject("HIST01", "H"),
                             subject("HIXY01", "X")}),
                 ocupaciones({occupation("OCU", "A"), occupation("OC2", "Otra")})}));
  f.runSteps(2);
  EXPECT_EQ(f.reportKinds(), (Strings{"asignatura_codigo_alternativo", "asignatura_sin_registro",
                                      "ocupacion_nombre_repetido"}));
  EXPECT_NE(f.report.items()[0].detail.find("«HI02»"), std::string::npos);
  EXPECT_NE(f.report.items()[1].detail.find("«ABCDE»"), std::string::npos);
}

// ------------------------------------------------------------------- PROFT

Attrs teacher(const std::string& a1, const std::string& a2, const std::string& nombre,
              const std::string& dni = "") {
  return {{"apellido1", a1}, {"apellido2", a2}, {"nombre", nombre}, {"documento", dni},
          {"fecha_ingreso", "01/09/2001"}, {"ensenanza", "ESO"}};
}

std::vector<Attrs> repeated(const Attrs& a, int n) { return std::vector<Attrs>(static_cast<std::size_t>(n), a); }

struct AbrevCase {
  const char* what;
  std::vector<Attrs> items;
  Strings abrevs;
};

class TeacherCodes : public ::testing::TestWithParam<AbrevCase> {};

TEST_P(TeacherCodes, GivesTheseCodes) {
  StepsFixture f;
  f.load(centro({docentes(GetParam().items)}));
  f.runSteps(3);
  EXPECT_EQ(column(f.table(TableId::PROFT), "ABREV"), GetParam().abrevs) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Step3, TeacherCodes,
    ::testing::Values(
        AbrevCase{"initials, then numbered", repeated(teacher("Garcia", "Lopez", "Ana"), 3),
                  {"GLA", "GLA1", "GLA2"}},
        AbrevCase{"no second surname", repeated(teacher("Garcia", "", "Ana"), 2), {"GA", "GA1"}},
        AbrevCase{"letter case does not tell codes apart",
                  {teacher("Garcia", "Lopez", "Ana"), teacher("garcia", "lopez", "ana")},
                  {"GLA", "gla1"}},
        AbrevCase{"past nine: four characters, none shared",
                  repeated(teacher("Garcia", "Lopez", "Ana"), 12),
                  {"GLA", "GLA1", "GLA2", "GLA3", "GLA4", "GLA5", "GLA6", "GLA7", "GLA8", "GLA9",
                   "GL10", "GL11"}},
        AbrevCase{"a single teacher counts", {teacher("Garcia", "Lopez", "Ana")}, {"GLA"}}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(TeachersStep, WritesNameAndKeysCutToTheirWidths) {
  StepsFixture f;
  f.load(centro({docentes({teacher("Garcia", "", "Ana", "12345678Z"),
                           teacher(std::string(20, 'a'), std::string(20, 'b'), "Ana")})}));
  f.runSteps(3);
  const auto rows = f.table(TableId::PROFT);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].at("NOMBRE"), "Garcia , Ana");
  EXPECT_EQ(rows[0].at("DNI"), "12345678Z");
  EXPECT_EQ(rows[0].at("F_TOMAPOS"), "01/09/2001");
  EXPECT_EQ(rows[0].at("ENSENANZA"), "ESO");
  EXPECT_EQ(rows[0].at("DEPART"), "");
  EXPECT_EQ(rows[1].at("NOMBRE"), std::string(20, 'a') + " " + std::string(19, 'b'));
}

// ------------------------------------------------------------------- AULAT

Attrs room(const std::string& code, const std::string& name = "Aula") {
  return {{"codigo", code}, {"nombre", name}};
}

std::vector<Attrs> roomsAula(int n) {
  std::vector<Attrs> out;
  for (int i = 1; i <= n; ++i) out.push_back(room("AULA" + std::to_string(100 + i)));
  return out;
}

class RoomCodes : public ::testing::TestWithParam<AbrevCase> {};

TEST_P(RoomCodes, GivesTheseCodes) {
  StepsFixture f;
  f.load(centro({aulas(GetParam().items)}));
  f.runSteps(4);
  EXPECT_EQ(column(f.table(TableId::AULAT), "ABREV"), GetParam().abrevs) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Step4, RoomCodes,
    ::testing::Values(
        AbrevCase{"first four of the code, else of the name",
                  {room("A12345"), room("", "Laboratorio")}, {"A123", "Labo"}},
        AbrevCase{"eleven rooms of one stem", roomsAula(11),
                  {"AULA", "AUL1", "AUL2", "AUL3", "AUL4", "AUL5", "AUL6", "AUL7", "AUL8", "AUL9",
                   "AU1"}},
        AbrevCase{"a single room counts", {room("B1")}, {"B1"}}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(RoomsStep, PastNinetyNineCodesStayFourCharactersAndDistinct) {
  // AULA, AUL1-AUL9 and AU1-AU99 are the rule's 109 codes; the 110th and
  // 111th would be AU100 and AU101. A later room whose own code is A100
  // keeps it, so the spares start at A101.
  std::vector<Attrs> items = roomsAula(111);
  items.push_back(room("A100"));
  StepsFixture f;
  f.load(centro({aulas(items)}));
  f.runSteps(4);
  const Strings codes = column(f.table(TableId::AULAT), "ABREV");
  ASSERT_EQ(codes.size(), 112u);
  EXPECT_EQ(codes[10], "AU1");
  EXPECT_EQ(codes[108], "AU99");
  EXPECT_EQ(codes[109], "A101");
  EXPECT_EQ(codes[110], "A102");
  EXPECT_EQ(codes[111], "A100");
  EXPECT_EQ(f.reportKinds(), (Strings{"codigo_corto_alternativo", "codigo_corto_alternativo"}));
}

TEST(RoomsStep, KeepsTheWholeCodeUpToItsWidth) {
  StepsFixture f;
  const std::string code25 = "ABCDEFGHIJKLMNOPQRSTUVWXY";
  f.load(centro({aulas({room("A12345", "Laboratori"), room(code25)})}));
  f.runSteps(4);
  const auto rows = f.table(TableId::AULAT);
  EXPECT_EQ(rows[0].at("ABREV_ITACA"), "A12345");
  EXPECT_EQ(rows[0].at("NOMBRE"), "Laboratori");
  EXPECT_EQ(rows[1].at("ABREV_ITACA"), code25.substr(0, 20));
  EXPECT_EQ(rows[1].at("MAXALUM"), "");
}

// ------------------------------------------------------- CURSOST, GRUPOST

Attrs course(const std::string& code, const std::string& abbreviation, const std::string& parent = "",
             const std::string& teaching = "ESO") {
  return {{"codigo", code}, {"abreviatura", abbreviation}, {"padre", parent}, {"ensenanza", teaching}};
}

Attrs group(const std::string& code, const std::string& tutor1 = "", const std::string& tutor2 = "") {
  return {{"codigo", code}, {"nombre", "Grupo " + code}, {"turno", "MT"}, {"ensenanza", "ESO"},
          {"tutor_ppal", tutor1}, {"tutor_sec", tutor2}};
}

TEST(CoursesStep, TakesCoursesOfPupilsWithTheTemplatesShift) {
  StepsFixture f;
  f.load(centro({cursos({course("C1", "1ESO"), course("C0", "ESO"), course("C2", "ESO", "C0"),
                         course("C3", "")}),
                 ensenanzas({{{"ensenanza", "ESO"}, {"abreviatura", "ESO"}}})}),
         "P1", "TM");
  f.runSteps(5);
  const auto rows = f.table(TableId::CURSOST);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], (Row{{"ABREV", "1ES"}, {"TURNO", "T"}, {"NIVEL", "ESO"}, {"CURSO", "1"},
                          {"CLAVE", "C1"}, {"ESTUD", "1ESO"}}));
  EXPECT_EQ(rows[1].at("ABREV"), "ESO");
  EXPECT_EQ(rows[1].at("CURSO"), "E");
}

TEST(CoursesStep, ASingleCourseCounts) {
  StepsFixture f;
  f.load(centro({cursos({course("C1", "1ESO")}), grupos({group("1ESOA")})}));
  f.runSteps(5);
  EXPECT_EQ(f.table(TableId::CURSOST).size(), 1u);
  EXPECT_EQ(f.table(TableId::GRUPOST).size(), 1u);
}

class GroupCodes : public ::testing::TestWithParam<AbrevCase> {};

TEST_P(GroupCodes, GivesTheseCodes) {
  StepsFixture f;
  f.load(centro({grupos(GetParam().items)}));
  f.runSteps(5);
  EXPECT_EQ(column(f.table(TableId::GRUPOST), "ABREV"), GetParam().abrevs) << GetParam().what;
}

std::vector<Attrs> groupsOfStem(int n) {
  std::vector<Attrs> out;
  for (int i = 0; i < n; ++i) out.push_back(group(std::string("1ES") + static_cast<char>('a' + i) + "A"));
  return out;
}

std::vector<Attrs> withLater(std::vector<Attrs> items, const Attrs& later) {
  items.push_back(later);
  return items;
}

INSTANTIATE_TEST_SUITE_P(
    Step5, GroupCodes,
    ::testing::Values(
        AbrevCase{"first three and last", {group("1ESOA"), group("AB")}, {"1ESA", "ABB"}},
        AbrevCase{"numbered on a repeat", {group("1ESOA"), group("1ESXA")}, {"1ESA", "1ES1"}},
        AbrevCase{"number ten cut to 2+2", groupsOfStem(11),
                  {"1ESA", "1ES1", "1ES2", "1ES3", "1ES4", "1ES5", "1ES6", "1ES7", "1ES8", "1ES9",
                   "1E10"}},
        AbrevCase{"past ten never shared; a later group keeps its own code",
                  withLater(groupsOfStem(12), group("1E1Z1")),
                  {"1ESA", "1ES1", "1ES2", "1ES3", "1ES4", "1ES5", "1ES6", "1ES7", "1ES8", "1ES9",
                   "1E10", "1E12", "1E11"}}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(GroupsStep, WritesTheGroupWithTeachingCourseAndTutor) {
  StepsFixture f;
  f.load(centro({docentes({teacher("Garcia", "Lopez", "Ana", "111"), teacher("Sin", "Dni", "Uno", "")}),
                 ensenanzas({{{"ensenanza", "ESO"}, {"abreviatura", "SEC"}}}),
                 cursosGrupo({{{"grupo", "1ESOA"}, {"curso", "C1"}}}),
                 grupos({group("1ESOA", "", "111"), group("1ESOB", "999", "111"), group("1ESOC")})}));
  f.runSteps(5);
  const auto rows = f.table(TableId::GRUPOST);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], (Row{{"ABREV", "1ESA"}, {"TURNO", "M"}, {"NIVEL", "SEC"}, {"CURSO", "1"},
                          {"GRUPO", "A"}, {"CLAVE", "1ESOA"}, {"CLAVECURSO", "C1"},
                          {"DESCRIP", "Grupo 1ESOA"}, {"ENSENANZA", "ESO"}, {"TUTOR", "GLA"}}));
  // The main tutor is looked up alone; not found, TUTOR stays empty.
  EXPECT_EQ(rows[1].at("TUTOR"), "");
  EXPECT_EQ(rows[1].at("CLAVECURSO"), "");
  // No tutor at all must not find the teacher whose DNI is empty.
  EXPECT_EQ(rows[2].at("TUTOR"), "");
}

}  // namespace
