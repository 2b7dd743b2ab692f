// The boxes the runs speak through, and the busy cursor.
#include <QtTest>
#include <stdexcept>

#include "common/report.h"
#include "gui/messages.h"
#include "gui/qt_interaction.h"
#include "gui/spanish_texts.h"
#include "gui_test_support.h"

using namespace guitest;
using Answer = tvi::Interaction::Answer;

class MessagesTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { tvi::gui::installSpanishTexts(*QCoreApplication::instance()); }

  void questionAnswers_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("answer");
    QTest::newRow("Return takes the default") << "return" << int(Answer::Si);
    QTest::newRow("&Si") << "si" << int(Answer::Si);
    QTest::newRow("&No") << "no" << int(Answer::No);
    QTest::newRow("Escape") << "escape" << int(Answer::No);
    QTest::newRow("close box") << "close" << int(Answer::Closed);
    QTest::newRow("Alt+N") << "alt-n" << int(Answer::No);
  }
  void questionAnswers() {
    QFETCH(QString, how);
    QFETCH(int, answer);
    QWidget owner;
    tvi::gui::QtInteraction ui(&owner, {});
    ModalDriver driver;
    if (how == "return") driver.then(pressKey(Qt::Key_Return));
    else if (how == "si") driver.then(clickButton("&Si"));
    else if (how == "no") driver.then(clickButton("&No"));
    else if (how == "escape") driver.then(pressKey(Qt::Key_Escape));
    else if (how == "close") driver.then(closeBox());
    else driver.then([](QWidget* w) {
      QTest::keyClick(w, Qt::Key_N, Qt::AltModifier);
      return true;
    });
    QCOMPARE(int(ui.confirm("primera línea\r\nsegunda línea")), answer);
    QVERIFY(driver.unexpected.isEmpty());
    const Seen& q = driver.seen.at(0);
    QCOMPARE(q.title, QString("Confirmación"));
    QCOMPARE(q.text, QString("primera línea\nsegunda línea"));
    QCOMPARE(q.icon, QMessageBox::Question);
    QCOMPARE(q.buttons, (QStringList{"&Si", "&No"}));
    QCOMPARE(q.defaultButton, QString("&Si"));
    QCOMPARE(q.escapeButton, QString("&No"));
  }

  // Only the final message offers the run's report, and only when there is
  // something to tell.
  void plainMessages_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("withReport");
    QTest::addColumn<bool>("details");
    QTest::newRow("final, report with items") << "Proceso finalizado" << true << true;
    QTest::newRow("final, empty report") << "Proceso finalizado" << false << false;
    QTest::newRow("other message") << "No existe archivo" << true << false;
  }
  void plainMessages() {
    QFETCH(QString, text);
    QFETCH(bool, withReport);
    QFETCH(bool, details);
    QWidget owner;
    tvi::gui::QtInteraction ui(&owner, {});
    tvi::Report report;
    if (withReport) report.add("grupo_quitado", "Grupo G2 quitado: no tiene clases.");
    ui.setReport(&report);
    ModalDriver driver;
    driver.then(pressKey(Qt::Key_Return));
    ui.message(text.toStdString());
    const Seen& m = driver.seen.at(0);
    QCOMPARE(m.title, QString("TransVelmarItaca"));
    QCOMPARE(m.text, text);
    QCOMPARE(m.icon, QMessageBox::NoIcon);
    QCOMPARE(m.defaultButton, QString("Aceptar"));
    QCOMPARE(m.hasDetails, details);
    const QStringList buttons =
        details ? QStringList{"Aceptar", "Mostrar detalles"} : QStringList{"Aceptar"};
    QCOMPARE(m.buttons, buttons);
  }

  void busyCursorIsTakenBackOnEveryPath() {
    QWidget owner;
    tvi::gui::QtInteraction ui(&owner, {});
    {
      tvi::BusyCursor outer(ui);
      tvi::BusyCursor inner(ui);
      QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    QCOMPARE(QApplication::overrideCursor(), nullptr);

    // A run that leaves it set (or fails with it set) gets it taken back.
    ui.setBusy(true);
    ui.setBusy(true);
    ui.restoreCursor();
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    // More "off" than "on" must not take away a cursor someone else set.
    QApplication::setOverrideCursor(Qt::CrossCursor);
    ui.setBusy(false);
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::CrossCursor);
    QApplication::restoreOverrideCursor();
  }
};

QTEST_MAIN(MessagesTest)
#include "test_messages.moc"
