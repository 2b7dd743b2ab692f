// The whole import on the shipped sample and on generated centres, checked
// by its invariants.

#include <set>

#include <gtest/gtest.h>

#include "gencentre/generator.h"
#include "import/import_fixture.h"
#include "import/invariants.h"
#include "itaca/document.h"

using namespace importtest;
using Answer = tvi::Interaction::Answer;

namespace {

struct Imported {
  tvitest::TempDir dir;
  tvi::WindowState window;
  ScriptedInteraction ui;
  tvi::Report report;
};

// Imports `file` keeping to the chooser's first template and pruning.
void importRestricted(Imported& run, const fs::path& file) {
  run.window.tablesFolder = run.dir / "QTEMP";
  run.ui.files = {file};
  run.ui.answers = {Answer::No, Answer::Si};
  tvi::ImportRun importRun(run.window, run.ui, run.report);
  ASSERT_EQ(importRun.run(), tvi::Outcome::Finished);
  EXPECT_EQ(run.ui.messages.back(), "Proceso finalizado");
}

TEST(EndToEnd, TheShippedSample) {
  const fs::path sample = tvitest::sourceDir() / "examples" / "centro_ejemplo.xml";
  ASSERT_TRUE(fs::exists(sample)) << sample;
  for (const std::string language : {"VALENCIÁ", "CASTELLANO"}) {
    Imported run;
    run.window.language = language;
    importRestricted(run, sample);
    const tvi::Document doc = tvi::Document::load(sample);
    const ImportFacts facts =
        checkImportInvariants(doc, run.window.tablesFolder, run.window.FPlantilla, language);
    EXPECT_GT(facts.classSessions, 0u);
    EXPECT_GT(facts.occupationSessions, 0u);
    for (const auto& [table, n] : run.report.counts()) EXPECT_GT(n, 0u) << table;
  }
}

// A generated centre carries the collisions real exports have: short codes
// past 9 and 99, shared names, unknown teachers and subjects, several
// templates, groups and teachers without classes in the first one.
TEST(EndToEnd, GeneratedCentres) {
  struct Case {
    tvi::gen::Profile profile;
    const char* name;
    std::vector<std::string> kinds;  // passed over, at the least
  };
  const std::vector<Case> cases{
      {tvi::gen::Profile::Primary, "primary", {"sesion_sin_clase", "sesion_docente_desconocido"}},
      {tvi::gen::Profile::LargeSecondary,
       "large",
       {"sesion_sin_clase", "sesion_docente_desconocido", "grupo_quitado",
        "codigo_corto_alternativo", "ocupacion_nombre_repetido"}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Imported run;
    tvi::gen::CentreOptions options;
    options.seed = 20240914;
    options.profile = c.profile;
    options.bulk = false;
    const fs::path file = run.dir / "generado.xml";
    const tvi::gen::CentreSummary summary = tvi::gen::writeCentreFile(file, options);
    importRestricted(run, file);
    EXPECT_EQ(run.window.FPlantilla, summary.firstTemplate);

    const tvi::Document doc = tvi::Document::load(file);
    const ImportFacts facts =
        checkImportInvariants(doc, run.window.tablesFolder, run.window.FPlantilla, run.window.language);
    EXPECT_GT(facts.classSessions, summary.classSessionsFirst / 2);
    EXPECT_LT(facts.classSessions, summary.classSessionsFirst);  // some name no subject or group

    std::set<std::string> kinds;
    for (const auto& item : run.report.items()) kinds.insert(item.kind);
    for (const std::string& expected : c.kinds) EXPECT_TRUE(kinds.count(expected)) << expected;
  }
}

}  // namespace
