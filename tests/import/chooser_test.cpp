// The template chooser's logic: what the dialog shows and hands back.

#include <gtest/gtest.h>

#include "common/error.h"
#include "common/text.h"
#include "import/chooser.h"
#include "import/dias_horas.h"
#include "import/import_fixture.h"

using namespace importtest;

namespace {

using Strings = std::vector<std::string>;

Attrs templ(const std::string& code, const std::string& val, const std::string& cas,
            const std::string& turno) {
  return {{"codigo", code}, {"descripcion_val", val}, {"descripcion_cas", cas}, {"turno", turno}};
}

// P1 with Monday orders 1-12 in a shuffled order (and a Tuesday one), P2
// with two Monday sessions; values carry blanks around them.
std::string twoTemplates() {
  std::vector<Attrs> s;
  for (int order : {12, 3, 10, 1, 9, 2, 11, 4, 5, 6, 7, 8})
    s.push_back(sesion("P1", "L", std::to_string(order), "08:" + std::to_string(10 + order), "09:00"));
  s.push_back(sesion("P1", "M", "1", "07:00", "08:00"));
  s.push_back(sesion(" P2 ", " L ", " 2 ", "16:00", "17:00"));
  s.push_back(sesion("P2", "L", "1", "15:00", "16:00"));
  return centro({plantillas({templ(" P1 ", " Matí ", "Mañana", " M "), templ("P2", "Vesprada", "Tarde", "T")}),
                 sesiones(s)});
}

struct ChooserFixture {
  tvitest::TempDir dir;
  fs::path file = dir / "centro.xml";
  explicit ChooserFixture(const std::string& xml) { tvitest::writeFile(file, xml); }
  tvi::ChooserModel make(int tag, const std::string& language = "VALENCIÁ") {
    return tvi::ChooserModel(tag, language, file, dir.path());
  }
};

TEST(HourLine, OrderTakesTwoPlaces) {
  EXPECT_EQ(tvi::hourLine("1", "08:00", "08:55"), " 1 de 08:00 a 08:55");
  EXPECT_EQ(tvi::hourLine("12", "08:00", "08:55"), "12 de 08:00 a 08:55");
  EXPECT_EQ(tvi::hourLine("1234", "08:00", "08:55"), "123 de 08:00 a 08:55");
  EXPECT_EQ(tvi::hourLine("", "08:00", "08:55"), " de 08:00 a 08:55");
  EXPECT_EQ(tvi::hourLine("é", "08:00", "08:55"), " é de 08:00 a 08:55");
}

TEST(Chooser, ActivationListsCodesAndShowsTheFirstTemplate) {
  ChooserFixture f(twoTemplates());
  auto c = f.make(0);
  c.FormActivate();
  EXPECT_EQ(c.lastError, "");
  EXPECT_EQ(c.codes, (Strings{"P1", "P2"}));
  EXPECT_EQ(c.codeText, "P1");
  EXPECT_EQ(c.labelNombre, "Matí");
  EXPECT_EQ(c.labelTurno, "M");
  EXPECT_EQ(c.languageText, "VALENCIÁ");
  EXPECT_TRUE(c.languageVisible);
  ASSERT_EQ(c.hours.size(), 12u);
  EXPECT_EQ(c.hours[0], " 1 de 08:11 a 09:00");
  EXPECT_EQ(c.hours[8], " 9 de 08:19 a 09:00");
  EXPECT_EQ(c.hours[9], "10 de 08:20 a 09:00");
  EXPECT_EQ(c.hours[11], "12 de 08:22 a 09:00");
  c.FormClose();
  EXPECT_EQ(c.FPlantilla, "P1");
  EXPECT_EQ(c.FTurno, "M");
}

TEST(Chooser, LabelsAndHoursFollowTheTypedCode) {
  struct Case {
    std::string typed, language, nombre, turno;
    Strings hours;
  };
  for (const Case& k : {Case{"P2", "VALENCIÁ", "Vesprada", "T", {" 1 de 15:00 a 16:00", " 2 de 16:00 a 17:00"}},
                        Case{"P2", "CASTELLANO", "Tarde", "T", {" 1 de 15:00 a 16:00", " 2 de 16:00 a 17:00"}},
                        Case{"P2", "valenciá", "Tarde", "T", {" 1 de 15:00 a 16:00", " 2 de 16:00 a 17:00"}},
                        Case{"P", "VALENCIÁ", "-", "-", {}},
                        Case{" P2", "VALENCIÁ", "-", "-", {}}}) {
    ChooserFixture f(twoTemplates());
    auto c = f.make(0);
    c.FormActivate();
    c.codeText = k.typed;
    c.languageText = k.language;
    c.ComboBoxPlantillaChange();
    EXPECT_EQ(c.labelNombre, k.nombre) << k.typed << " " << k.language;
    EXPECT_EQ(c.labelTurno, k.turno) << k.typed;
    EXPECT_EQ(c.hours, k.hours) << k.typed;
    c.BitBtnContinuarClick();
    EXPECT_EQ(c.FPlantilla, tvi::trimmed(k.typed));
    EXPECT_EQ(c.FTurno, k.turno);
  }
}

TEST(Chooser, ASingleTemplateAndASingleSessionCount) {
  ChooserFixture f(centro({plantillas({templ("P1", "Matí", "Mañana", "M")}),
                           sesiones({sesion("P1", "L", "1", "08:00", "08:55")})}));
  auto c = f.make(0, "CASTELLANO");
  c.FormActivate();
  EXPECT_EQ(c.codes, (Strings{"P1"}));
  EXPECT_EQ(c.labelNombre, "Mañana");
  EXPECT_EQ(c.labelTurno, "M");
  EXPECT_EQ(c.hours, (Strings{" 1 de 08:00 a 08:55"}));
}

TEST(Chooser, ADocumentWithoutSessionsLeavesTheListAsItWas) {
  ChooserFixture f(twoTemplates());
  auto c = f.make(0);
  c.FormActivate();
  const Strings before = c.hours;
  tvitest::writeFile(f.file, centro({plantillas({templ("P3", "Nit", "Noche", "N"), templ("P4", "", "", "")})}));
  c.FormActivate();
  EXPECT_EQ(c.codes, (Strings{"P3", "P4"}));
  EXPECT_EQ(c.codeText, "P3");
  EXPECT_EQ(c.labelTurno, "N");
  EXPECT_EQ(c.hours, before);
}

TEST(Chooser, AFileThatDoesNotLoadLeavesTheDialogUsable) {
  ChooserFixture f("<centro><plantillas_horario>");
  auto c = f.make(0);
  c.FormActivate();
  EXPECT_NE(c.lastError, "");
  EXPECT_TRUE(c.codes.empty());
  c.ComboBoxPlantillaChange();
  EXPECT_EQ(c.lastError, "");
  c.BitBtnContinuarClick();
  EXPECT_EQ(c.FPlantilla, "");
  EXPECT_EQ(c.FTurno, "-");
}

// ----- Tag 2: the export

TEST(ExportChooser, ProposesTheSlotTablesTemplateAndHoldsItUntilContinuar) {
  ChooserFixture f(twoTemplates());
  tvi::crearDiasHoras(f.dir.path(), {" 1 de 15:00 a 16:00"}, "P2", "CASTELLANO");
  auto c = f.make(2, "CASTELLANO");
  c.FormActivate();
  EXPECT_EQ(c.lastError, "");
  EXPECT_EQ(c.label9Caption, "EXPORTACIÓN A ITACA");
  EXPECT_FALSE(c.languageVisible);
  EXPECT_EQ(c.labelPlantillasCaption,
            "Seleccione la Plantilla Horaria que quiere aplicar para Exportar su Horario a ITACA.");
  EXPECT_EQ(c.FPlantilla, "P2");
  EXPECT_EQ(c.codeText, "P2");
  EXPECT_EQ(c.labelNombre, "Tarde");
  EXPECT_EQ(c.hours.size(), 2u);

  auto other = tvi::bindTable(f.dir.path(), tvi::TableId::DIASHORAST);
  EXPECT_THROW(other->open(), tvi::Error);
  c.BitBtnContinuarClick();
  EXPECT_NO_THROW(other->open());
  EXPECT_EQ(c.FPlantilla, "P2");
}

TEST(ExportChooser, ReleasesTheSlotTableWhenDestroyed) {
  ChooserFixture f(twoTemplates());
  tvi::crearDiasHoras(f.dir.path(), {}, "P2", "CASTELLANO");
  {
    auto c = f.make(2);
    c.FormActivate();
    EXPECT_EQ(c.FPlantilla, "");  // an empty table proposes nothing
    EXPECT_EQ(c.labelNombre, "-");
    c.FormClose();
  }
  auto other = tvi::bindTable(f.dir.path(), tvi::TableId::DIASHORAST);
  EXPECT_NO_THROW(other->open());
}

TEST(ExportChooser, ASingleTemplateIsListedAndShown) {
  ChooserFixture f(centro({plantillas({templ("P1", "Matí", "Mañana", "M")}),
                           sesiones({sesion("P1", "L", "1", "08:00", "08:55")})}));
  tvi::crearDiasHoras(f.dir.path(), {" 1 de 08:00 a 08:55"}, "P1", "VALENCIÁ");
  auto c = f.make(2);
  c.FormActivate();
  EXPECT_EQ(c.codes, (Strings{"P1"}));
  EXPECT_EQ(c.labelNombre, "Matí");
  EXPECT_EQ(c.hours, (Strings{" 1 de 08:00 a 08:55"}));
}

TEST(ExportChooser, WithoutASlotTableTheActivationStopsAndContinuarGivesNothing) {
  ChooserFixture f(twoTemplates());
  auto c = f.make(2);
  c.FormActivate();
  EXPECT_NE(c.lastError, "");
  EXPECT_EQ(c.label9Caption, "EXPORTACIÓN A ITACA");
  EXPECT_TRUE(c.codes.empty());
  EXPECT_TRUE(c.hours.empty());
  c.BitBtnContinuarClick();
  EXPECT_EQ(c.FPlantilla, "");
}

}  // namespace
