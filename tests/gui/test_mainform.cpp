// The main window: its layout, the modes the command line selects, the
// help, and the closing that reports to the host.
#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QListWidget>
#include <QSignalSpy>
#include <QtTest>

#include "gui/look.h"
#include "gui/mainform.h"
#include "gui_test_support.h"

using namespace guitest;
using tvi::gui::TMForm;

// Receives the files the help asks the desktop to open.
class DesktopStandIn : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> opened;
 public slots:
  void open(const QUrl& url) { opened << url; }
};

class MainFormTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> dir_;
  fs::path exe_;

  QWidget* child(TMForm& form, const char* name) {
    QWidget* w = form.findChild<QWidget*>(name);
    if (w == nullptr) qFatal("no %s", name);
    return w;
  }

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    exe_ = toPath(dir_->path());
    qputenv("TRANSVELMAR_TABLES", QByteArray::fromStdString((exe_ / "QTEMP").string()));
  }

  void layoutAsDesigned() {
    TMForm form({}, exe_);
    form.show();
    QCOMPARE(form.windowTitle(), QString("Exportar e importar datos entre Velmaran e ITACA"));
    QCOMPARE(form.size(), QSize(632, 266));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(!(form.windowFlags() & Qt::FramelessWindowHint));

    struct Control {
      const char* name;
      QRect place;
      QString text;  // of a label or button; empty for the rest
    };
    const std::vector<Control> controls = {
        {"Draw3D2", {0, 0, 315, 169}, {}},
        {"Label3", {24, 24, 265, 57}, "Transformar datos desde ITACA hacia Velmaran "},
        {"Label9", {6, 73, 113, 13}, "Recoger Textos en:"},
        {"ComboBoxValCast", {168, 68, 133, 21}, {}},
        {"BExportar", {96, 120, 89, 25}, "Aceptar"},
        {"Draw3D3", {316, 0, 317, 169}, {}},
        {"Label4", {8, 24, 305, 57}, "Transformar datos desde Velmaran hacia ITACA"},
        {"BImportar", {96, 120, 89, 25}, "Aceptar"},
        {"Draw3D1", {0, 168, 633, 97}, {}},
        {"Label1", {8, 72, 223, 13}, "TransVelmaranITACA para LX40 V-1.0"},
        {"BClose", {256, 32, 89, 25}, "&Salir"},
        {"Button1", {48, 40, 75, 25}, "F1 Ayuda"},
        {"ListBoxPlanti", {576, 4, 49, 29}, {}},
    };
    for (const Control& c : controls) {
      QWidget* w = child(form, c.name);
      QCOMPARE(w->geometry(), c.place);
      if (auto* label = qobject_cast<QLabel*>(w)) QCOMPARE(label->text(), c.text);
      if (auto* button = qobject_cast<QPushButton*>(w)) QCOMPARE(button->text(), c.text);
      QCOMPARE(w->isVisible(), std::string(c.name) != "ListBoxPlanti");
    }
    // The headings break where the designed width breaks them on Windows.
    QCOMPARE(static_cast<QLabel*>(child(form, "Label3"))->font().pixelSize(), 16);

    auto* language = static_cast<QComboBox*>(child(form, "ComboBoxValCast"));
    QVERIFY(language->isEditable());
    QCOMPARE(language->currentText(), QString("VALENCIÁ"));
    QCOMPARE(language->itemText(0), QString("VALENCIÁ"));
    QCOMPARE(language->itemText(1), QString("CASTELLANO"));
  }

  // Host mode is exactly two parameters; the mode word, in any case, picks
  // the panel that stays and fills the window.
  void commandLineSelectsTheMode_data() {
    QTest::addColumn<QStringList>("params");
    QTest::addColumn<bool>("host");
    QTest::addColumn<QString>("shown");  // "both", "Draw3D2" or "Draw3D3"
    QTest::newRow("none") << QStringList{} << false << "both";
    QTest::newRow("one") << QStringList{"importar"} << false << "both";
    QTest::newRow("three") << QStringList{"importar", "1A2B", "x"} << false << "both";
    QTest::newRow("importar") << QStringList{"importar", "1A2B"} << true << "Draw3D3";
    QTest::newRow("IMPORTAR") << QStringList{"IMPORTAR", "1a2b"} << true << "Draw3D3";
    QTest::newRow("Exportar") << QStringList{"Exportar", "1A2B"} << true << "Draw3D2";
    QTest::newRow("other word") << QStringList{"otra", "1A2B"} << true << "both";
  }
  void commandLineSelectsTheMode() {
    QFETCH(QStringList, params);
    QFETCH(bool, host);
    QFETCH(QString, shown);
    TMForm form(params, exe_);
    form.show();
    QCOMPARE(form.state().hostMode(), host);
    QCOMPARE(bool(form.windowFlags() & Qt::FramelessWindowHint), host);
    for (const char* panel : {"Draw3D2", "Draw3D3"}) {
      QWidget* w = child(form, panel);
      const bool visible = shown == "both" || shown == panel;
      QCOMPARE(w->isVisible(), visible);
      if (visible && shown != "both") QCOMPARE(w->geometry(), QRect(0, 0, 632, 266));
    }
    // "&Salir" and the help stay within reach.
    QVERIFY(child(form, "BClose")->isVisible());

    // Closed without any run: the host reads 0; alone, nothing is written.
    QTest::mouseClick(child(form, "BClose"), Qt::LeftButton);
    QVERIFY(!form.isVisible());
    const std::string ini = readText(exe_ / "Velmaran.ini");
    if (host) QVERIFY2(ini.find("Transformado=0") != std::string::npos, ini.c_str());
    else QVERIFY(!fs::exists(exe_ / "Velmaran.ini"));
  }

  void handleThatDoesNotConvertLeavesItStandAlone_data() {
    QTest::addColumn<QString>("handle");
    QTest::newRow("0x prefix") << "0x1A2B";
    QTest::newRow("$ prefix") << "$1A2B";
    QTest::newRow("not hexadecimal") << "12G4";
  }
  void handleThatDoesNotConvertLeavesItStandAlone() {
    QFETCH(QString, handle);
    ModalDriver driver;
    driver.then(clickButton("Aceptar"));
    TMForm form({"importar", handle}, exe_);
    QVERIFY(waitFor(driver));
    QCOMPARE(driver.seen.size(), std::size_t{1});
    QCOMPARE(driver.seen[0].title, QString("TransVelmarItaca"));
    QCOMPARE(driver.seen[0].icon, QMessageBox::Critical);
    QCOMPARE(driver.seen[0].text, "'$" + handle + "' no es un valor entero válido");
    form.show();
    QVERIFY(!form.state().hostMode());
    QVERIFY(!(form.windowFlags() & Qt::FramelessWindowHint));
    QVERIFY(child(form, "Draw3D2")->isVisible() && child(form, "Draw3D3")->isVisible());
    form.close();
    QVERIFY(!fs::exists(exe_ / "Velmaran.ini"));
  }

  // ITACA.chm first, then the guide, then a message saying neither is
  // there; from the button and from F1 alike.
  void helpOpensWhatIsThere_data() {
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<bool>("viaF1");
    QTest::addColumn<QString>("opened");  // empty: a message instead
    const QStringList both{"ITACA.chm", "guia.html"};
    QTest::newRow("button, both") << both << false << "ITACA.chm";
    QTest::newRow("F1, both") << both << true << "ITACA.chm";
    QTest::newRow("button, guide only") << QStringList{"guia.html"} << false << "guia.html";
    QTest::newRow("F1, guide only") << QStringList{"guia.html"} << true << "guia.html";
    QTest::newRow("button, none") << QStringList{} << false << "";
  }
  void helpOpensWhatIsThere() {
    QFETCH(QStringList, present);
    QFETCH(bool, viaF1);
    QFETCH(QString, opened);
    for (const QString& name : present) writeText(exe_ / name.toStdString(), "x");
    DesktopStandIn desktop;
    QDesktopServices::setUrlHandler("file", &desktop, "open");
    TMForm form({}, exe_);
    form.show();
    ModalDriver driver;
    if (opened.isEmpty()) driver.then(clickButton("Aceptar"));
    if (viaF1) {
      QVERIFY(QTest::qWaitForWindowActive(&form));
      child(form, "ComboBoxValCast")->setFocus();
      QTest::keyClick(&form, Qt::Key_F1);
    } else {
      QTest::mouseClick(child(form, "Button1"), Qt::LeftButton);
    }
    QDesktopServices::unsetUrlHandler("file");
    QVERIFY(waitFor(driver));
    if (opened.isEmpty()) {
      QCOMPARE(desktop.opened.size(), 0);
      QCOMPARE(driver.seen.size(), std::size_t{1});
      QVERIFY2(driver.seen[0].text.contains("ITACA.chm") && driver.seen[0].text.contains("guia.html"),
               qPrintable(driver.seen[0].text));
    } else {
      QCOMPARE(desktop.opened.size(), 1);
      QCOMPARE(desktop.opened[0], QUrl::fromLocalFile(qs(exe_ / opened.toStdString())));
      QVERIFY(driver.seen.empty());
    }
  }

  void helpContextsFollowTheFocus() {
    TMForm form({}, exe_);
    using tvi::gui::helpContextOf;
    QCOMPARE(helpContextOf(&form), 1);
    for (const char* one : {"ComboBoxValCast", "Button1"}) QCOMPARE(helpContextOf(child(form, one)), 1);
    for (const char* three : {"Draw3D1", "Draw3D2", "Draw3D3", "BExportar", "BImportar", "BClose"})
      QCOMPARE(helpContextOf(child(form, three)), 3);
    // A control without one of its own takes its panel's.
    QCOMPARE(helpContextOf(child(form, "Label3")), 3);
  }

  // Velmaran.ini cannot be written (its folder is a file here): the error
  // is shown and the window closes all the same.
  void unwritableIniIsReportedAndTheWindowCloses() {
    const fs::path notAFolder = exe_ / "programa";
    writeText(notAFolder, "x");
    TMForm form({"exportar", "1A2B"}, notAFolder);
    QSignalSpy closed(&form, &TMForm::closed);
    form.show();
    ModalDriver driver;
    driver.then(clickButton("Aceptar"));
    QTest::mouseClick(child(form, "BClose"), Qt::LeftButton);
    QVERIFY(waitFor(driver));
    QCOMPARE(driver.seen.size(), std::size_t{1});
    QCOMPARE(driver.seen[0].icon, QMessageBox::Critical);
    QVERIFY2(driver.seen[0].text.contains("Velmaran.ini"), qPrintable(driver.seen[0].text));
    QCOMPARE(closed.count(), 1);
    QVERIFY(!form.isVisible());
  }
};

QTEST_MAIN(MainFormTest)
#include "test_mainform.moc"
