// The chooser "Plantillas Horarias" as a person uses it: typing a code,
// switching the language, leaving by "Continuar" or by the close box.
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QtTest>

#include "app/window_state.h"
#include "gui/plantihoras.h"
#include "gui_test_support.h"
#include "import/chooser.h"
#include "import/dias_horas.h"

using namespace guitest;
using tvi::gui::TPlantillas;

namespace {

// Two templates whose codes are prefixes of one another, so that typing
// "M10" passes through a code that matches ("M1") and one that does not.
std::string twoTemplates() {
  return R"(<?xml version="1.0" encoding="UTF-8"?>
<centro codigo="46000001">
 <plantillas_horario>
  <plantilla_horario codigo="M1" turno="M" descripcion_val="Matí curt" descripcion_cas="Mañana corta"/>
  <plantilla_horario codigo="M10" turno="T" descripcion_val="Vesprada" descripcion_cas="Tarde"/>
 </plantillas_horario>
 <sesiones_horario>
  <sesion_horario plantilla="M1" dia_semana="L" sesion_orden="2" hora_desde="08:55" hora_hasta="09:50"/>
  <sesion_horario plantilla="M1" dia_semana="L" sesion_orden="1" hora_desde="08:00" hora_hasta="08:55"/>
  <sesion_horario plantilla="M1" dia_semana="M" sesion_orden="3" hora_desde="09:50" hora_hasta="10:45"/>
  <sesion_horario plantilla="M10" dia_semana="L" sesion_orden="10" hora_desde="17:00" hora_hasta="17:55"/>
  <sesion_horario plantilla="M10" dia_semana="L" sesion_orden="9" hora_desde="16:00" hora_hasta="16:55"/>
 </sesiones_horario>
</centro>
)";
}

QStringList items(QListWidget* list) {
  QStringList result;
  for (int i = 0; i < list->count(); ++i) result << list->item(i)->text();
  return result;
}

}  // namespace

class ChooserTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> dir_;
  fs::path file_, tables_;

  template <class T>
  static T* child(QWidget* dialog, const char* name) {
    T* found = dialog->findChild<T*>(name);
    if (found == nullptr) qFatal("no %s", name);
    return found;
  }

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    file_ = toPath(dir_->path()) / "centro.xml";
    tables_ = toPath(dir_->path()) / "QTEMP";
    writeText(file_, twoTemplates());
  }

  void followsEveryKeystroke() {
    tvi::ChooserModel model(0, tvi::kValenciano, file_, tables_);
    TPlantillas dialog(model, {}, nullptr);
    dialog.show();
    auto* code = child<QComboBox>(&dialog, "ComboBoxPlantilla");
    auto* name = child<QLabel>(&dialog, "LabelNombre");
    auto* shift = child<QLabel>(&dialog, "LabelTurno");
    auto* hours = child<QListWidget>(&dialog, "ListBox1");

    // Activation: both codes offered, the first one chosen, its Monday
    // hours sorted.
    QCOMPARE(code->count(), 2);
    QCOMPARE(code->currentText(), QString("M1"));
    QCOMPARE(name->text(), QString("Matí curt"));
    QCOMPARE(items(hours), (QStringList{" 1 de 08:00 a 08:55", " 2 de 08:55 a 09:50"}));

    // Typed into the focused field, where a completion would act.
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    code->setFocus();
    QTRY_VERIFY(code->lineEdit()->hasFocus());
    code->lineEdit()->clear();
    struct Expected {
      QString typed, name, shift;
      QStringList hours;
    };
    const std::vector<Expected> afterEachKey = {
        {"M", "-", "-", {}},
        {"M1", "Matí curt", "M", {" 1 de 08:00 a 08:55", " 2 de 08:55 a 09:50"}},
        {"M10", "Vesprada", "T", {" 9 de 16:00 a 16:55", "10 de 17:00 a 17:55"}},
    };
    for (const Expected& e : afterEachKey) {
      QTest::keyClick(code->lineEdit(), e.typed.back().toLatin1());
      // No completion: the text is what was typed, nothing more.
      QCOMPARE(code->currentText(), e.typed);
      QCOMPARE(name->text(), e.name);
      QCOMPARE(shift->text(), e.shift);
      QCOMPARE(items(hours), e.hours);
    }

    // The language changes the description only.
    auto* language = child<QComboBox>(&dialog, "ComboBoxValCast");
    language->setCurrentIndex(language->findText("CASTELLANO"));
    QCOMPARE(name->text(), QString("Tarde"));
    QCOMPARE(shift->text(), QString("T"));
    QCOMPARE(items(hours).size(), 2);

    QTest::mouseClick(child<QPushButton>(&dialog, "BitBtnContinuar"), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(model.FPlantilla, std::string("M10"));
    QCOMPARE(model.FTurno, std::string("T"));
    QCOMPARE(model.languageText, std::string("CASTELLANO"));
  }

  // Any way out of the dialog hands back the code in the combo, trimmed,
  // with the shift shown at that moment.
  void everyWayOutHandsBackTheChoice_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("way");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("shift");
    QTest::newRow("close box") << "M10" << "close" << "M10" << "T";
    QTest::newRow("Escape") << "M10" << "escape" << "M10" << "T";
    // Blanks make the code match nothing while the dialog is open.
    QTest::newRow("close box, blanks around") << " M10 " << "close" << "M10" << "-";
    QTest::newRow("Continuar, unknown code") << "X9" << "continuar" << "X9" << "-";
  }
  void everyWayOutHandsBackTheChoice() {
    QFETCH(QString, typed);
    QFETCH(QString, way);
    QFETCH(QString, code);
    QFETCH(QString, shift);
    tvi::ChooserModel model(0, tvi::kValenciano, file_, tables_);
    TPlantillas dialog(model, {}, nullptr);
    dialog.show();
    auto* combo = child<QComboBox>(&dialog, "ComboBoxPlantilla");
    combo->lineEdit()->clear();
    QTest::keyClicks(combo->lineEdit(), typed);
    if (way == "close") dialog.close();
    else if (way == "escape") QTest::keyClick(&dialog, Qt::Key_Escape);
    else QTest::mouseClick(child<QPushButton>(&dialog, "BitBtnContinuar"), Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(QString::fromStdString(model.FPlantilla), code);
    QCOMPARE(QString::fromStdString(model.FTurno), shift);
  }

  void exportModeProposesTheSlotTablesTemplate() {
    fs::create_directories(tables_);
    tvi::crearDiasHoras(tables_, {" 9 de 16:00 a 16:55"}, "M10", tvi::kValenciano);
    tvi::ChooserModel model(2, tvi::kCastellano, file_, tables_);
    TPlantillas dialog(model, {}, nullptr);
    QCOMPARE(dialog.Tag(), 2);
    dialog.show();
    QCOMPARE(child<QLabel>(&dialog, "Label9")->text(), QString("EXPORTACIÓN A ITACA"));
    QCOMPARE(child<QLabel>(&dialog, "LabelPlantillas")->text(),
             QString("Seleccione la Plantilla Horaria que quiere aplicar para Exportar su "
                     "Horario a ITACA."));
    QVERIFY(!child<QComboBox>(&dialog, "ComboBoxValCast")->isVisible());
    QCOMPARE(child<QComboBox>(&dialog, "ComboBoxPlantilla")->currentText(), QString("M10"));
    QCOMPARE(child<QLabel>(&dialog, "LabelNombre")->text(), QString("Tarde"));
    QTest::mouseClick(child<QPushButton>(&dialog, "BitBtnContinuar"), Qt::LeftButton);
    QCOMPARE(model.FPlantilla, std::string("M10"));
  }

  // A file that does not load: the error box over the dialog, which stays
  // open and usable.
  void failureLeavesTheDialogUsable() {
    writeText(file_, "<centro><plantillas_horario>");
    tvi::ChooserModel model(0, tvi::kValenciano, file_, tables_);
    TPlantillas dialog(model, {}, nullptr);
    ModalDriver driver;
    driver.then(clickButton("Aceptar"));
    dialog.show();
    QVERIFY(waitFor(driver));
    QCOMPARE(driver.seen.size(), std::size_t{1});
    QCOMPARE(driver.seen[0].title, QString("TransVelmarItaca"));
    QCOMPARE(driver.seen[0].icon, QMessageBox::Critical);
    QVERIFY2(driver.seen[0].text.contains("centro.xml"), qPrintable(driver.seen[0].text));
    QVERIFY(dialog.isVisible());

    auto* combo = child<QComboBox>(&dialog, "ComboBoxPlantilla");
    QTest::keyClicks(combo->lineEdit(), "M1");
    QCOMPARE(child<QLabel>(&dialog, "LabelNombre")->text(), QString("-"));
    QTest::mouseClick(child<QPushButton>(&dialog, "BitBtnContinuar"), Qt::LeftButton);
    QCOMPARE(model.FPlantilla, std::string("M1"));
    QVERIFY(driver.unexpected.isEmpty());
  }
};

QTEST_MAIN(ChooserTest)
#include "test_chooser.moc"
