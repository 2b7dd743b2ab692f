// The chooser and the runs share one parse of the file: the import hands
// the chooser its document, the export takes over the one the chooser
// loaded. A file of tens of megabytes is then parsed once per run.

#include <gtest/gtest.h>

#include "import/chooser.h"
#include "import/import_fixture.h"
#include "itaca/document.h"

using namespace importtest;

namespace {

using Strings = std::vector<std::string>;

Attrs templ(const std::string& code, const std::string& turno) {
  return {{"codigo", code}, {"descripcion_val", "Val " + code}, {"descripcion_cas", "Cas " + code},
          {"turno", turno}};
}

std::string centre(const std::string& first, const std::string& second) {
  return centro({plantillas({templ(first, "M"), templ(second, "T")}),
                 sesiones({sesion(first, "L", "1", "08:00", "08:55"),
                           sesion(second, "L", "1", "15:00", "15:55")})});
}

struct Fixture {
  tvitest::TempDir dir;
  fs::path file = dir / "centro.xml";
  Fixture() { tvitest::writeFile(file, centre("P1", "P2")); }
  tvi::ChooserModel make() { return tvi::ChooserModel(0, "VALENCIÁ", file, dir.path()); }
};

TEST(ChooserDocument, AGivenDocumentIsShownWithoutReadingTheFileAgain) {
  Fixture f;
  const tvi::Document loaded = tvi::Document::load(f.file);
  // What the file now holds must not show: the run checked the document it loaded.
  tvitest::writeFile(f.file, "<centro><plantillas_horario>");
  auto c = f.make();
  c.useDocument(loaded);
  c.FormActivate();
  EXPECT_EQ(c.lastError, "");
  EXPECT_EQ(c.codes, (Strings{"P1", "P2"}));
  EXPECT_EQ(c.labelNombre, "Val P1");
  c.codeText = "P2";
  c.ComboBoxPlantillaChange();
  EXPECT_EQ(c.labelTurno, "T");
  EXPECT_EQ(c.hours, (Strings{" 1 de 15:00 a 15:55"}));
  EXPECT_FALSE(c.takeLoadedDocument()) << "the model loaded nothing of its own";
}

TEST(ChooserDocument, OnlyWhatTheLastActivationLoadedIsHandedOver) {
  Fixture f;
  auto c = f.make();
  EXPECT_FALSE(c.takeLoadedDocument()) << "before any activation";

  c.FormActivate();
  std::optional<tvi::Document> taken = c.takeLoadedDocument();
  ASSERT_TRUE(taken);
  EXPECT_EQ(taken->count("/centro/plantillas_horario/plantilla_horario"), 2u);
  EXPECT_FALSE(c.takeLoadedDocument()) << "handed over once";

  // A later activation that fails to load hands over nothing, not the
  // document of an earlier one.
  c.FormActivate();
  tvitest::writeFile(f.file, "<centro><plantillas_horario>");
  c.FormActivate();
  EXPECT_NE(c.lastError, "");
  EXPECT_FALSE(c.takeLoadedDocument());

  tvitest::writeFile(f.file, centre("Q1", "Q2"));
  c.FormActivate();
  taken = c.takeLoadedDocument();
  ASSERT_TRUE(taken);
  EXPECT_EQ(tvi::attr(taken->selectSingle("/centro/plantillas_horario/plantilla_horario"), "codigo"),
            "Q1");
}

// The run loads the file before the chooser is shown, so the chooser's
// listing is that of the document the steps then read.
TEST(ChooserDocument, TheImportsChooserShowsTheRunsDocument) {
  Fixture f;
  tvi::WindowState window;
  window.tablesFolder = f.dir / "tablas";
  window.FFicheroXML = f.file;
  ScriptedInteraction ui;
  ui.files = {f.file};
  ui.answers = {tvi::Interaction::Answer::No, tvi::Interaction::Answer::Si};
  Strings codes;
  ui.chooserScript = [&](tvi::ChooserModel& c) {
    tvitest::writeFile(f.file, centre("X1", "X2"));  // changed behind the run's back
    c.FormActivate();
    codes = c.codes;
    c.BitBtnContinuarClick();
    c.FormClose();
  };
  tvi::Report report;
  tvi::ImportRun run(window, ui, report);
  EXPECT_EQ(run.run(), tvi::Outcome::Finished);
  EXPECT_EQ(codes, (Strings{"P1", "P2"}));
  EXPECT_EQ(window.FPlantilla, "P1");
  EXPECT_EQ(window.ListBoxPlanti, (Strings{" 1 de 08:00 a 08:55"}));
}

}  // namespace
