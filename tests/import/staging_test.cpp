// A failed import changes no table: the steps build the new tables aside
// and the live ones are replaced only when all ten have finished.

#include <gtest/gtest.h>

#include <map>

#include "common/error.h"
#include "import/staging.h"
#include "import_fixture.h"
#include "support/test_support.h"
#include "tables/file_io.h"
#include "tables/table.h"

namespace {

using namespace importtest;

// Every file of a folder with its bytes (sub-folders are reported by name).
std::map<std::string, std::string> snapshot(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(folder))
    files[entry.path().filename().string()] =
        entry.is_regular_file() ? tvitest::readFile(entry.path()) : "<carpeta>";
  return files;
}

std::string centreWith(const std::string& subjectName) {
  return centro({
      plantillas({{{"codigo", "P1"}, {"turno", "M"}, {"descripcion_val", "Matí"}}}),
      sesiones({sesion("P1", "L", "1", "08:00", "08:55"), sesion("P1", "L", "2", "09:00", "09:55")}),
      contenidos({{{"codigo", "MAT"}, {"nombre_val", subjectName}, {"curso", "C1"}}}),
      ocupaciones({{{"codigo", "GUA"}, {"nombre_val", "Guàrdia"}}}),
      docentes({{{"documento", "1A"}, {"apellido1", "Pons"}, {"apellido2", "Vidal"},
                 {"nombre", "Aina"}}}),
      aulas({{{"codigo", "A1"}, {"nombre", "Aula 1"}}}),
      cursos({{{"codigo", "C1"}, {"abreviatura", "1ESO"}, {"padre", ""}}}),
      grupos({{{"codigo", "1ESOA"}, {"nombre", "1r A"}, {"turno", "M"}}}),
      cursosGrupo({{{"grupo", "1ESOA"}, {"curso", "C1"}}}),
      horariosGrupo({{{"plantilla", "P1"}, {"grupo", "1ESOA"}, {"curso", "C1"},
                      {"contenido", "MAT"}, {"docente", "1A"}, {"aula", "A1"}}}),
      horariosOcupaciones({{{"plantilla", "P1"}, {"docente", "1A"}, {"ocupacion", "GUA"}}}),
  });
}

class StagingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window.tablesFolder = dir.path() / "QTEMP";
    ASSERT_EQ(importOnce(centreWith("Matemàtiques")), tvi::Outcome::Finished);
    before = snapshot(window.tablesFolder);
  }
  void TearDown() override { tvi::fileio::testing::setSpaceLeft(std::nullopt); }

  tvi::Outcome importOnce(const std::string& xml) {
    const fs::path file = dir.path() / "centro.xml";
    tvitest::writeFile(file, xml);
    ScriptedInteraction ui;
    ui.files.push_back(file);
    ui.answers = {tvi::Interaction::Answer::No, tvi::Interaction::Answer::Si};
    tvi::Report report;
    tvi::ImportRun run(window, ui, report);
    return run.run();
  }

  tvitest::TempDir dir;
  tvi::WindowState window;
  std::map<std::string, std::string> before;
};

TEST_F(StagingTest, ASuccessfulRunReplacesAllSevenTablesAndLeavesNoWorkFolder) {
  // A stale index beside a live table goes with the replacement.
  tvitest::writeFile(window.tablesFolder / "PROFT.MDX", "x");
  ASSERT_EQ(importOnce(centreWith("Matemàtiques II")), tvi::Outcome::Finished);
  auto after = snapshot(window.tablesFolder);
  EXPECT_EQ(after.size(), 7u);  // the seven .DBF files, nothing else
  EXPECT_FALSE(after.count("PROFT.MDX"));
  EXPECT_NE(after["ASIGNOMT.DBF"], before["ASIGNOMT.DBF"]);
  EXPECT_EQ(readTable(window.tablesFolder, tvi::TableId::ASIGNOMT).front().at("NOMBRE"),
            "Matemàtiques II");
}

TEST_F(StagingTest, AFailureInTheMiddleOfTheStepsChangesNoTable) {
  // Enough room for the first tables of the run, not for all of them.
  for (std::uint64_t room : {600u, 2500u, 4500u}) {
    tvi::fileio::testing::setSpaceLeft(room);
    try {
      importOnce(centreWith("Matemàtiques II"));
      ADD_FAILURE() << "the run finished with room for " << room << " bytes";
    } catch (const tvi::Error& e) {
      EXPECT_NE(std::string(e.what()).find("disco"), std::string::npos) << e.what();
    }
    tvi::fileio::testing::setSpaceLeft(std::nullopt);
    EXPECT_TRUE(snapshot(window.tablesFolder) == before) << room;
  }
}

TEST_F(StagingTest, ATableHeldByAnotherProgramStopsTheRunBeforeAnythingChanges) {
  tvi::Table held(window.tablesFolder, "ASIGT", true);
  held.open();
  try {
    importOnce(centreWith("Matemàtiques II"));
    FAIL() << "the run went on with ASIGT held";
  } catch (const tvi::Error& e) {
    EXPECT_NE(std::string(e.what()).find("ASIGT"), std::string::npos) << e.what();
  }
  held.close();
  EXPECT_EQ(snapshot(window.tablesFolder), before);
}

}  // namespace
