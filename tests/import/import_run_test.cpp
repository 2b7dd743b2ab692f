// The whole run: the file, the template, the checks before any table, the
// ten steps, the flag, the messages and the report.

#include <gtest/gtest.h>

#include "common/error.h"
#include "import/import_fixture.h"

using namespace importtest;
using tvi::TableId;
using Answer = tvi::Interaction::Answer;

namespace {

using Strings = std::vector<std::string>;

Attrs templ(const std::string& code, const std::string& turno, const std::string& desc = "Horari") {
  return {{"codigo", code}, {"turno", turno}, {"descripcion_val", desc}, {"descripcion_cas", desc}};
}

// One subject taught to one group by one teacher, in template `code`.
std::string school(const std::vector<Attrs>& templates, const std::vector<Attrs>& sessions) {
  return centro({plantillas(templates), sesiones(sessions),
                 contenidos({{{"codigo", "MAT"}, {"nombre_val", "Mates"}, {"nombre_cas", "Mates"}, {"curso", "C1"}}}),
                 docentes({{{"apellido1", "Garcia"}, {"apellido2", "Lopez"}, {"nombre", "Ana"}, {"documento", "A1"}},
                           {{"apellido1", "Ruiz"}, {"apellido2", "Sanz"}, {"nombre", "Pau"}, {"documento", "B1"}}}),
                 aulas({{{"codigo", "R1"}, {"nombre", "Aula 1"}}}),
                 cursos({{{"codigo", "C1"}, {"abreviatura", "1ESO"}, {"padre", ""}}}),
                 cursosGrupo({{{"grupo", "1ESOA"}, {"curso", "C1"}}, {{"grupo", "1ESOB"}, {"curso", "C1"}}}),
                 grupos({{{"codigo", "1ESOA"}, {"nombre", "1 A"}, {"turno", "M"}},
                         {{"codigo", "1ESOB"}, {"nombre", "1 B"}, {"turno", "M"}}}),
                 horariosGrupo({{{"plantilla", "P1"}, {"grupo", "1ESOA"}, {"curso", "C1"}, {"contenido", "MAT"},
                                 {"docente", "A1"}, {"aula", "R1"}},
                                {{"plantilla", "P2"}, {"grupo", "1ESOB"}, {"curso", "C1"}, {"contenido", "MAT"},
                                 {"docente", "B1"}, {"aula", "R1"}}})});
}

const std::vector<Attrs> kP1Sessions{sesion("P1", "L", "2", "09:00", "09:55"), sesion("P1", "L", "1", "08:00", "08:55"),
                                     sesion("P1", "M", "1", "08:00", "08:55")};

struct RunFixture {
  tvitest::TempDir dir;
  tvi::WindowState window;
  ScriptedInteraction ui;
  tvi::Report report;
  fs::path file = dir / "centro.xml";

  RunFixture() { window.tablesFolder = dir / "tablas"; }
  explicit RunFixture(const std::string& xml) : RunFixture() {
    tvitest::writeFile(file, xml);
    ui.files = {file};
  }
  tvi::Outcome run() {
    tvi::ImportRun importRun(window, ui, report);
    return importRun.run();
  }
  std::vector<Row> table(TableId id) const { return readTable(window.tablesFolder, id); }
};

TEST(ImportRun, AMissingFileEndsTheRunWithAMessage) {
  for (bool host : {false, true}) {
    RunFixture f;
    f.window.NumParametros = host ? 2 : 0;
    f.ui.files = {std::nullopt};  // the first dialog cancelled
    EXPECT_EQ(f.run(), tvi::Outcome::MissingInput);
    EXPECT_EQ(f.ui.messages, (Strings{"No existe archivo"}));
    EXPECT_EQ(f.window.ResultadoTransformacion, host ? -1 : 0);
    EXPECT_FALSE(fs::exists(f.window.tablesFolder));

    f.ui.messages.clear();
    f.ui.files = {f.dir / "borrado.xml"};
    EXPECT_EQ(f.run(), tvi::Outcome::MissingInput);
    EXPECT_EQ(f.ui.messages, (Strings{"No existe archivo"}));
  }
}

TEST(ImportRun, OneTemplateIsTakenWithItsMondayHours) {
  RunFixture f(school({templ(" P1 ", "  M\n")}, kP1Sessions));
  f.ui.answers = {Answer::No, Answer::Si};
  f.window.ListBoxPlanti = {"left by an earlier run"};
  EXPECT_EQ(f.run(), tvi::Outcome::Finished);
  EXPECT_EQ(f.ui.choosersShown, 0);
  EXPECT_EQ(f.window.FPlantilla, "P1");
  EXPECT_EQ(f.window.FTurno, "M");
  EXPECT_EQ(f.window.ListBoxPlanti, (Strings{" 1 de 08:00 a 08:55", " 2 de 09:00 a 09:55"}));
  EXPECT_EQ(f.window.ResultadoTransformacion, 1);
  EXPECT_EQ(f.ui.messages, (Strings{"Proceso finalizado"}));
  EXPECT_EQ(f.ui.busyCalls, (std::vector<bool>{true, false}));
  EXPECT_EQ(f.table(TableId::DIASHORAST).size(), 14u);
  EXPECT_EQ(f.table(TableId::CURSOST).at(0).at("TURNO"), "M");
}

TEST(ImportRun, SeveralTemplatesAskTheChooserAndTakeItsLanguage) {
  RunFixture f(school({templ("P1", "M", "Matí"), templ("P2", "T", "Vesprada")},
                      {sesion("P2", "L", "1", "15:00", "15:55"), sesion("P1", "L", "1", "08:00", "08:55")}));
  f.window.FPlantilla = "old";
  f.ui.chooserScript = [](tvi::ChooserModel& c) {
    c.FormActivate();
    c.codeText = "P2";
    c.languageText = "CASTELLANO";
    c.ComboBoxPlantillaChange();
    c.FormClose();  // the close box hands back the choice too
  };
  f.ui.answers = {Answer::No, Answer::Si};
  EXPECT_EQ(f.run(), tvi::Outcome::Finished);
  EXPECT_EQ(f.ui.choosersShown, 1);
  EXPECT_EQ(f.ui.chooserTag, 0);
  EXPECT_EQ(f.window.FPlantilla, "P2");
  EXPECT_EQ(f.window.FTurno, "T");
  EXPECT_EQ(f.window.language, "CASTELLANO");
  EXPECT_EQ(f.window.ListBoxPlanti, (Strings{" 1 de 15:00 a 15:55"}));
  EXPECT_EQ(f.table(TableId::DIASHORAST).at(0).at("TEXTODIA"), "Lunes");
  EXPECT_EQ(column(f.table(TableId::GRUPOST), "CLAVE"), (Strings{"1ESOB"}));
}

TEST(ImportRun, ALaterCancelledDialogKeepsTheFileChosenBefore) {
  RunFixture f(school({templ("P1", "M")}, kP1Sessions));
  f.ui.answers = {Answer::No, Answer::Si, Answer::No, Answer::Si};
  EXPECT_EQ(f.run(), tvi::Outcome::Finished);
  f.ui.files = {std::nullopt};
  EXPECT_EQ(f.run(), tvi::Outcome::Finished);
  EXPECT_EQ(f.window.FFicheroXML, f.file);
  EXPECT_EQ(f.ui.messages, (Strings{"Proceso finalizado", "Proceso finalizado"}));
}

TEST(ImportRun, ChecksTheInputBeforeAnyTableIsTouched) {
  struct Case {
    const char* what;
    std::string xml;
    std::string message;  // a part of it
  };
  const std::vector<Case> cases{
      {"not well-formed", "<centro><plantillas_horario>", ""},
      {"another root", "<?xml version=\"1.0\"?><escuela/>", "«escuela» y debería ser «centro»"},
      {"no template", school({}, {}), "no contiene ninguna plantilla horaria"},
      {"a template without turno", school({{{"codigo", "P1"}}}, {}), "no tiene el atributo «turno»"},
      {"a template without codigo", school({{{"turno", "M"}}}, {}), "no tiene el atributo «codigo»"},
      {"no template with both", school({{{"codigo", "P1"}}, {{"turno", "M"}}}, {}),
       "a la vez los atributos «codigo» y «turno»"},
      {"an hour that does not read", school({templ("P1", "M")}, {sesion("P1", "L", "1a", "08:00", "08:55")}),
       "'1a' no es un valor entero válido"},
  };
  for (const Case& c : cases) {
    RunFixture f(c.xml);
    fs::create_directories(f.window.tablesFolder);
    const fs::path earlier = tvi::tableFile(f.window.tablesFolder, TableId::ASIGNOMT);
    tvitest::writeFile(earlier, "an earlier table");
    try {
      f.run();
      ADD_FAILURE() << c.what << ": no failure";
    } catch (const tvi::Error& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << c.what << ": " << e.what();
    }
    EXPECT_EQ(tvitest::readFile(earlier), "an earlier table") << c.what;
    EXPECT_EQ(std::distance(fs::directory_iterator(f.window.tablesFolder), fs::directory_iterator()), 1)
        << c.what;
    EXPECT_TRUE(f.ui.asked.empty()) << c.what;
    EXPECT_TRUE(f.ui.busyCalls.empty()) << c.what;
    EXPECT_EQ(f.window.ResultadoTransformacion, 0) << c.what;
  }
}

TEST(ImportRun, AFailingStepRestoresTheCursorAndReportsNoSuccess) {
  RunFixture f(school({templ("P1", "M")}, kP1Sessions));
  // A folder where ASIGT's file should be: step 6 can neither delete nor
  // create it.
  fs::create_directories(f.window.tablesFolder / "ASIGT.DBF" / "dentro");
  f.window.ResultadoTransformacion = 7;
  EXPECT_THROW(f.run(), tvi::Error);
  EXPECT_EQ(f.ui.busyCalls, (std::vector<bool>{true, false}));
  EXPECT_EQ(f.window.ResultadoTransformacion, 7);
  EXPECT_TRUE(f.ui.messages.empty());
  EXPECT_TRUE(f.ui.asked.empty());
}

TEST(ImportRun, CreatesAMissingTablesFolder) {
  RunFixture f(school({templ("P1", "M")}, kP1Sessions));
  f.window.tablesFolder = f.dir / "no" / "existe" / "QTEMP";
  f.ui.answers = {Answer::No, Answer::Si};
  EXPECT_EQ(f.run(), tvi::Outcome::Finished);
  for (TableId id : tvi::importedTables())
    EXPECT_TRUE(tvi::tableExists(f.window.tablesFolder, id)) << tvi::tableDef(id).name;
}

TEST(ImportRun, ReportsRecordsPerTableAndWhatWasPassedOver) {
  RunFixture f(school({templ("P1", "M"), templ("P2", "T")}, kP1Sessions));
  f.ui.answers = {Answer::No, Answer::Si};
  f.report.add("left", "over");
  EXPECT_EQ(f.run(), tvi::Outcome::Finished);
  std::vector<std::pair<std::string, std::size_t>> expected;
  for (TableId id : tvi::importedTables())
    expected.emplace_back(tvi::tableDef(id).name, f.table(id).size());
  EXPECT_EQ(f.report.counts(), expected);
  // 1ESOB's only session is of P2, and teacher B teaches only there.
  Strings kinds;
  for (const auto& item : f.report.items()) kinds.push_back(item.kind);
  EXPECT_EQ(kinds, (Strings{"grupo_quitado", "profesor_quitado"}));
  EXPECT_NE(f.report.items()[0].detail.find("«1ESOB»"), std::string::npos);
  EXPECT_NE(f.report.items()[1].detail.find("«Ruiz Sanz, Pau»"), std::string::npos);
}

}  // namespace
