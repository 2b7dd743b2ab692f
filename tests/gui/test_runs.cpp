// Both runs driven from the window's buttons to "Proceso finalizado", with
// every dialog answered as a person would; failures; host mode's closing.
#include <QComboBox>
#include <QListWidget>
#include <QSignalSpy>
#include <QTextEdit>
#include <QtTest>

#include "gui/mainform.h"
#include "gui/spanish_texts.h"
#include "import/dias_horas.h"
#include "gui_test_support.h"

using namespace guitest;
using tvi::gui::TMForm;

class RunsTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> dir_;
  fs::path tables_, exe_, centre_;

  // Steps that answer an import of the small centre choosing P2 in
  // Castilian, keeping to P2 ("&No") and removing G2 ("&Si").
  static void answerImport(ModalDriver& driver, const fs::path& file) {
    driver.then(chooseFile(file))
        .then([](QWidget* w) {
          auto* code = w->findChild<QComboBox*>("ComboBoxPlantilla");
          auto* language = w->findChild<QComboBox*>("ComboBoxValCast");
          if (code == nullptr || language == nullptr) return false;
          code->setCurrentIndex(code->findText("P2"));
          language->setCurrentIndex(language->findText("CASTELLANO"));
          return clickButton("Continuar")(w);
        })
        .then(pressKey(Qt::Key_Escape))
        .then(pressKey(Qt::Key_Return))
        .then(clickButton("Aceptar"));
  }

 private slots:
  void initTestCase() { tvi::gui::installSpanishTexts(*QCoreApplication::instance()); }

  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    const fs::path root = toPath(dir_->path());
    tables_ = root / "QTEMP";
    exe_ = root / "bin";
    fs::create_directories(exe_);
    centre_ = root / "centro.xml";
    writeText(centre_, smallCentre());
    qputenv("TRANSVELMAR_TABLES", QByteArray::fromStdString(tables_.string()));
  }

  void importFromButtonToFinish() {
    TMForm form({}, exe_);
    form.show();
    ModalDriver driver;
    answerImport(driver, centre_);
    QTest::mouseClick(form.findChild<QPushButton*>("BExportar"), Qt::LeftButton);
    QVERIFY(waitFor(driver));
    QVERIFY2(driver.unexpected.isEmpty(), qPrintable(driver.unexpected.join("; ")));

    const std::vector<Seen>& seen = driver.seen;
    QCOMPARE(seen.size(), std::size_t{5});
    QCOMPARE(seen[0].kind, QString("file"));
    QCOMPARE(seen[0].title, QString("Archivo XML"));
    QCOMPARE(seen[1].kind, QString("chooser"));

    // The two questions, asked with the hourglass showing (their buttons
    // are the messages test's business).
    const QString keepQuestion = QStringList{
        importantLine(),
        "Se han encontrado Datos que pueden pertenecer a varias Plantillas Horarias.",
        "RECOMENDAMOS IMPORTAR SOLAMENTE LOS DATOS PERTENECIENTES A UNA SOLA PLANTILLA.",
        "Si quiere Importar los Datos de todas las Plantillas Pulse el Botón \"Sí\".",
        "Para Importar solo los Datos de la Plantilla seleccionada,Pulse el Botón \"No\".",
        "(Recomendamos Pulsar \"No\", y trabajar solo con datos de una Plantilla.)"}
                                     .join('\n');
    const QString pruneQuestion = QStringList{
        importantLine(),
        "Existen Grupos de Clase y Profesores que NO tienen Clases en esta Plantilla.",
        "Si quitamos estos Grupos y Profesores, No afectará al Horario.",
        "¿Quieren quitar dichos Grupos y Profesores, del Horario que se va a Importar?."}
                                      .join('\n');
    for (const auto& [index, text] : {std::pair{2, keepQuestion}, std::pair{3, pruneQuestion}}) {
      const Seen& q = seen[index];
      QCOMPARE(q.title, QString("Confirmación"));
      QCOMPARE(q.text, text);
      QCOMPARE(q.icon, QMessageBox::Question);
      QVERIFY(q.busy);
    }

    const Seen& last = seen[4];
    QCOMPARE(last.title, QString("TransVelmarItaca"));
    QCOMPARE(last.text, QString("Proceso finalizado"));
    QCOMPARE(last.icon, QMessageBox::NoIcon);
    // G2 was removed: the report has a line, offered behind a second button.
    QVERIFY(last.hasDetails);
    QCOMPARE(last.buttons, (QStringList{"Aceptar", "Mostrar detalles"}));
    QCOMPARE(last.defaultButton, QString("Aceptar"));
    QVERIFY(!last.busy);

    // What the window keeps for later runs.
    QCOMPARE(form.state().ResultadoTransformacion, 1);
    QCOMPARE(form.state().FPlantilla, std::string("P2"));
    QCOMPARE(form.state().FTurno, std::string("T"));
    QCOMPARE(form.findChild<QComboBox*>("ComboBoxValCast")->currentText(), QString("CASTELLANO"));
    auto* hours = form.findChild<QListWidget*>("ListBoxPlanti");
    QCOMPARE(hours->count(), 2);
    QCOMPARE(hours->item(0)->text(), QString(" 1 de 15:00 a 15:55"));
    QVERIFY(!hours->isVisible());
    QCOMPARE(QApplication::overrideCursor(), nullptr);

    // The tables were written where the coordinator's variable points, and
    // the answers took effect: G2, without classes in P2, is gone.
    const auto groups = readTable(tables_, tvi::TableId::GRUPOST);
    QCOMPARE(groups.size(), std::size_t{1});
    QCOMPARE(groups[0].at("CLAVE"), std::string("G1"));
    QCOMPARE(readTable(tables_, tvi::TableId::DIASHORAST).size(), std::size_t{2 * 7});

    QVERIFY(form.isVisible());
    QVERIFY(!fs::exists(exe_ / "Velmaran.ini"));
  }

  void exportAfterImportShowsTheReport() {
    TMForm form({}, exe_);
    form.show();
    {
      ModalDriver driver;
      answerImport(driver, centre_);
      QTest::mouseClick(form.findChild<QPushButton*>("BExportar"), Qt::LeftButton);
      QVERIFY(waitFor(driver));
    }
    const auto subjects = readTable(tables_, tvi::TableId::ASIGNOMT);
    const auto groups = readTable(tables_, tvi::TableId::GRUPOST);
    const std::string mat = lookup(subjects, "ABREV_ITACA", "MAT1", "COD");
    const std::string g1 = lookup(groups, "CLAVE", "G1", "ABREV");
    QVERIFY(!mat.empty() && !g1.empty());
    writeSoluc(tables_, {{mat, "CLA", 1, 1, g1, "", ""}, {mat, "CLA", 2, 1, "ZZZZ", "", ""}});

    ModalDriver driver;
    QString detailsShown;
    driver.then(clickButton("Aceptar"))
        // Cancelled: the run goes on with the file of the import.
        .then(pressKey(Qt::Key_Escape))
        // The chooser left by its close box still hands back its choice.
        .then(closeBox())
        .then([&detailsShown](QWidget* w) {
          for (QAbstractButton* b : w->findChildren<QAbstractButton*>()) {
            if (b->text() == "Mostrar detalles") QTest::mouseClick(b, Qt::LeftButton);
          }
          if (auto* details = w->findChild<QTextEdit*>()) {
            if (details->isVisible()) detailsShown = details->toPlainText();
          }
          return clickButton("Aceptar")(w);
        });
    QTest::mouseClick(form.findChild<QPushButton*>("BImportar"), Qt::LeftButton);
    QVERIFY(waitFor(driver));
    QVERIFY2(driver.unexpected.isEmpty(), qPrintable(driver.unexpected.join("; ")));

    QCOMPARE(driver.seen[0].text,
             QString("Deberá Abrir el fichero XML de ITACA,\ndesde el cual realizó la "
                     "Importación a Velmaran"));
    QCOMPARE(driver.seen[0].buttons, QStringList{"Aceptar"});
    QCOMPARE(driver.seen[1].kind, QString("file"));
    QCOMPARE(driver.seen[2].kind, QString("chooser"));
    QCOMPARE(driver.seen[3].text, QString("Proceso finalizado"));
    QVERIFY(driver.seen[3].hasDetails);
    QVERIFY2(detailsShown.contains("ZZZZ"), qPrintable(detailsShown));

    QCOMPARE(form.state().FPlantilla, std::string("P2"));
    const std::string output = readText(centre_.parent_path() / "ResultadoVelmarcentro.xml");
    QVERIFY(output.find("grupo=\"G1\"") != std::string::npos);
    QVERIFY(output.find("plantilla=\"P2\"") != std::string::npos);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QVERIFY(!fs::exists(exe_ / "Velmaran.ini"));
  }

  // A failing run: its message in the error box, the cursor back, the flag
  // untouched, and the window ready for the next run.
  void failureShowsErrorBoxAndWindowStaysUsable_data() {
    QTest::addColumn<int>("button");  // 0 import, 1 export
    QTest::addColumn<QString>("expected");
    QTest::newRow("import, not well-formed") << 0 << "centro.xml";
    QTest::newRow("export, SOLUC damaged") << 1 << "SOLUC";
  }
  void failureShowsErrorBoxAndWindowStaysUsable() {
    QFETCH(int, button);
    QFETCH(QString, expected);
    TMForm form({}, exe_);
    form.show();
    auto failing = std::make_unique<ModalDriver>();
    ModalDriver& driver = *failing;
    if (button == 0) {
      writeText(centre_, "<centro><plantillas_horario>");
      driver.then(chooseFile(centre_)).then(clickButton("Aceptar"));
    } else {
      fs::create_directories(tables_);
      tvi::crearDiasHoras(tables_, {" 1 de 15:00 a 15:55"}, "P2", "VALENCIÁ");
      writeText(tables_ / "SOLUC.DBF", std::string("\x04\x7c\x01\x01", 4));
      driver.then(clickButton("Aceptar"))
          .then(chooseFile(centre_))
          .then(clickButton("Continuar"))
          .then(clickButton("Aceptar"));
    }
    QTest::mouseClick(form.findChild<QPushButton*>(button == 0 ? "BExportar" : "BImportar"),
                      Qt::LeftButton);
    QVERIFY(waitFor(driver));
    QVERIFY2(driver.unexpected.isEmpty(), qPrintable(driver.unexpected.join("; ")));
    const Seen& error = driver.seen.back();
    QCOMPARE(error.title, QString("TransVelmarItaca"));
    QCOMPARE(error.icon, QMessageBox::Critical);
    QCOMPARE(error.buttons, QStringList{"Aceptar"});
    QVERIFY2(error.text.contains(expected), qPrintable(error.text));
    QVERIFY(error.text != "Proceso finalizado");

    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QCOMPARE(form.state().ResultadoTransformacion, 0);
    QVERIFY(form.isVisible());
    failing.reset();  // one driver at a time

    // The next run goes through.
    writeText(centre_, smallCentre());
    ModalDriver again;
    answerImport(again, centre_);
    QTest::mouseClick(form.findChild<QPushButton*>("BExportar"), Qt::LeftButton);
    QVERIFY(waitFor(again));
    QCOMPARE(again.seen.back().text, QString("Proceso finalizado"));
  }

  // In host mode each run that ends closes the window, and the closing
  // leaves the outcome in Velmaran.ini. (The embedding itself needs a real
  // X server: the host-mode script checks it.)
  void hostModeRunClosesWindowAndWritesFlag_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("missing");
    QTest::addColumn<QString>("flag");
    QTest::newRow("exportar, finished") << "exportar" << false << "1";
    QTest::newRow("exportar, file missing") << "exportar" << true << "-1";
    QTest::newRow("importar, file missing") << "importar" << true << "-1";
  }
  void hostModeRunClosesWindowAndWritesFlag() {
    QFETCH(QString, mode);
    QFETCH(bool, missing);
    QFETCH(QString, flag);
    TMForm form({mode, "1A2B"}, exe_);
    QSignalSpy closed(&form, &TMForm::closed);
    form.show();
    ModalDriver driver;
    if (!missing) {
      answerImport(driver, centre_);
    } else {
      if (mode == "importar") driver.then(clickButton("Aceptar"));
      driver.then(pressKey(Qt::Key_Escape)).then(clickButton("Aceptar"));
    }
    const char* button = mode == "importar" ? "BImportar" : "BExportar";
    QTest::mouseClick(form.findChild<QPushButton*>(button), Qt::LeftButton);
    QVERIFY(waitFor(driver));
    QVERIFY2(driver.unexpected.isEmpty(), qPrintable(driver.unexpected.join("; ")));
    if (missing)
      QCOMPARE(driver.seen.back().text,
               QString(mode == "importar" ? "No existe archivo XML o Solución." : "No existe archivo"));
    QCOMPARE(closed.count(), 1);
    QVERIFY(!form.isVisible());
    const std::string ini = readText(exe_ / "Velmaran.ini");
    QVERIFY2(ini.find("[Transformadores]") != std::string::npos, ini.c_str());
    QVERIFY2(ini.find("Transformado=" + flag.toStdString()) != std::string::npos, ini.c_str());
  }
};

QTEST_MAIN(RunsTest)
#include "test_runs.moc"
