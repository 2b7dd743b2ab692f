#pragma once
// What the window tests share: a driver that answers the modal dialogs a
// run opens, as a person would, and records what each one showed; a small
// ITACA centre; and Velmaran's tables read and written through the engine.

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/text.h"
#include "gui/qt_text.h"
#include "tables/catalogue.h"
#include "tables/table.h"

namespace guitest {

namespace fs = std::filesystem;
using tvi::gui::qs;
using tvi::gui::toPath;

// ----- What a modal box showed

struct Seen {
  QString kind;  // "message", "file", "chooser", "other"
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QStringList buttons;  // in the order they stand in the box
  QString defaultButton;
  QString escapeButton;
  bool busy = false;  // the hourglass was showing
  bool hasDetails = false;
};

inline QStringList buttonTexts(QMessageBox* box) {
  const QList<QAbstractButton*> all = box->buttons();
  std::vector<QAbstractButton*> buttons(all.begin(), all.end());
  std::sort(buttons.begin(), buttons.end(),
            [](QAbstractButton* a, QAbstractButton* b) { return a->x() < b->x(); });
  QStringList texts;
  for (QAbstractButton* b : buttons) texts << b->text();
  return texts;
}

inline Seen describe(QWidget* w) {
  Seen seen;
  seen.title = w->windowTitle();
  seen.busy = QApplication::overrideCursor() != nullptr &&
              QApplication::overrideCursor()->shape() == Qt::WaitCursor;
  if (auto* box = qobject_cast<QMessageBox*>(w)) {
    seen.kind = "message";
    seen.text = box->text();
    seen.icon = box->icon();
    box->layout()->activate();  // buttons placed, so their order can be read
    seen.buttons = buttonTexts(box);
    if (box->defaultButton()) seen.defaultButton = box->defaultButton()->text();
    if (box->escapeButton()) seen.escapeButton = box->escapeButton()->text();
    seen.hasDetails = !box->detailedText().isEmpty();
  } else if (qobject_cast<QFileDialog*>(w)) {
    seen.kind = "file";
  } else if (w->objectName() == "Plantillas") {
    seen.kind = "chooser";
  } else {
    seen.kind = "other";
  }
  return seen;
}

// ----- Answering the dialogs

// Each modal widget that comes up is handed to the next step, in order.
// A step records nothing itself: the driver records what every box showed
// (in `seen`), the step only acts, and says whether it could. A box with no
// step left, or that its step could not handle, is closed and counted in
// `unexpected`, so that a wrong run fails instead of hanging. One driver at
// a time.
class ModalDriver : public QObject {
 public:
  using Step = std::function<bool(QWidget*)>;

  ModalDriver() {
    connect(&timer_, &QTimer::timeout, this, &ModalDriver::tick);
    timer_.start(10);
  }
  ModalDriver& then(Step step) {
    steps_.push_back(std::move(step));
    return *this;
  }
  bool finished() const { return steps_.empty(); }

  std::vector<Seen> seen;
  QStringList unexpected;

 private:
  void tick() {
    QWidget* w = QApplication::activeModalWidget();
    if (w == nullptr || !w->isVisible()) return;
    if (w == current_) {
      // A step that did not close its box must not hang the test.
      if (++stuckTicks_ > 300) {
        unexpected << "sin cerrar: " + w->windowTitle();
        closeAnyhow(w);
      }
      return;
    }
    current_ = w;
    stuckTicks_ = 0;
    if (qEnvironmentVariableIsSet("TVI_GUI_TEST_TRACE"))
      qDebug() << "modal:" << w->metaObject()->className() << w->windowTitle();
    seen.push_back(describe(w));
    if (steps_.empty()) {
      unexpected << w->windowTitle() + ": " + seen.back().text;
      closeAnyhow(w);
      return;
    }
    Step step = std::move(steps_.front());
    steps_.pop_front();
    const QString title = w->windowTitle();
    const QString text = seen.back().text;
    if (!step(w)) {
      unexpected << "paso no aplicable a " + title + ": " + text;
      if (current_) closeAnyhow(current_);
    }
  }

  static void closeAnyhow(QWidget* w) {
    if (auto* dialog = qobject_cast<QDialog*>(w)) dialog->reject();
    else w->close();
  }

  QTimer timer_;
  std::deque<Step> steps_;
  QPointer<QWidget> current_;
  int stuckTicks_ = 0;
};

// Steps.
inline ModalDriver::Step pressKey(Qt::Key key) {
  return [key](QWidget* w) {
    QTest::keyClick(w, key);
    return true;
  };
}
inline ModalDriver::Step clickButton(const QString& text) {
  return [text](QWidget* w) {
    for (QAbstractButton* b : w->findChildren<QAbstractButton*>()) {
      if (b->text() == text && b->isVisible()) {
        QTest::mouseClick(b, Qt::LeftButton);
        return true;
      }
    }
    return false;
  };
}
// Types the path into the file dialog's name field and presses Return.
inline ModalDriver::Step chooseFile(const fs::path& file) {
  return [file](QWidget* w) {
    auto* edit = w->findChild<QLineEdit*>("fileNameEdit");
    if (edit == nullptr) return false;
    edit->setText(qs(file));
    QTest::keyClick(edit, Qt::Key_Return);
    return true;
  };
}
inline ModalDriver::Step closeBox() {
  return [](QWidget* w) { return w->close(); };
}

// Lets the event loop run until the driver has used up its steps.
inline bool waitFor(const ModalDriver& driver, int ms = 10000) {
  return QTest::qWaitFor([&] { return driver.finished(); }, ms);
}

// ----- A small centre

// Two templates: P1 (morning, three hours on Monday) and P2 (afternoon, two
// hours). G1's classes are all in P2; G2 has classes in P1 only, so keeping
// to P2 leaves it without classes.
inline std::string smallCentre() {
  return R"(<?xml version="1.0" encoding="UTF-8"?>
<centro codigo="46000001" denominacion="IES Les Fonts" curso="2024" version="1">
 <plantillas_horario>
  <plantilla_horario codigo="P1" turno="M" descripcion_val="Horari de matí" descripcion_cas="Horario de mañana"/>
  <plantilla_horario codigo="P2" turno="T" descripcion_val="Horari de vesprada" descripcion_cas="Horario de tarde"/>
 </plantillas_horario>
 <sesiones_horario>
  <sesion_horario plantilla="P1" dia_semana="L" sesion_orden="1" hora_desde="08:00" hora_hasta="08:55"/>
  <sesion_horario plantilla="P1" dia_semana="L" sesion_orden="2" hora_desde="08:55" hora_hasta="09:50"/>
  <sesion_horario plantilla="P1" dia_semana="L" sesion_orden="3" hora_desde="09:50" hora_hasta="10:45"/>
  <sesion_horario plantilla="P1" dia_semana="M" sesion_orden="1" hora_desde="08:00" hora_hasta="08:55"/>
  <sesion_horario plantilla="P2" dia_semana="L" sesion_orden="1" hora_desde="15:00" hora_hasta="15:55"/>
  <sesion_horario plantilla="P2" dia_semana="L" sesion_orden="2" hora_desde="15:55" hora_hasta="16:50"/>
  <sesion_horario plantilla="P2" dia_semana="M" sesion_orden="1" hora_desde="15:00" hora_hasta="15:55"/>
 </sesiones_horario>
 <contenidos>
  <contenido codigo="MAT1" nombre_val="Matemàtiques" nombre_cas="Matemáticas" curso="C1"/>
  <contenido codigo="CAS1" nombre_val="Castellà" nombre_cas="Castellano" curso="C1"/>
 </contenidos>
 <ocupaciones>
  <ocupacion codigo="GUA" nombre_val="Guàrdia" nombre_cas="Guardia"/>
 </ocupaciones>
 <docentes>
  <docente apellido1="Pérez" apellido2="Ruiz" nombre="Núria" documento="11111111A" fecha_ingreso="01/09/2010" ensenanza="ESO"/>
  <docente apellido1="Gómez" apellido2="Soler" nombre="Vicent" documento="22222222B" fecha_ingreso="01/09/2015" ensenanza="ESO"/>
 </docentes>
 <aulas>
  <aula codigo="A01" nombre="Aula 1"/>
  <aula codigo="A02" nombre="Aula 2"/>
 </aulas>
 <cursos>
  <curso codigo="C1" abreviatura="1ESO" padre="" ensenanza="ESO"/>
 </cursos>
 <ensenanzas>
  <ensenanza ensenanza="ESO" abreviatura="ESO"/>
 </ensenanzas>
 <cursos_grupo>
  <curso_grupo grupo="G1" curso="C1"/>
  <curso_grupo grupo="G2" curso="C1"/>
 </cursos_grupo>
 <grupos>
  <grupo codigo="G1" nombre="1r ESO A" turno="T" ensenanza="ESO" tutor_ppal="11111111A" tutor_sec=""/>
  <grupo codigo="G2" nombre="1r ESO B" turno="M" ensenanza="ESO" tutor_ppal="" tutor_sec=""/>
 </grupos>
 <horarios_grupo>
  <horario_grupo plantilla="P2" dia_semana="L" sesion_orden="1" hora_desde="15:00" hora_hasta="15:55" grupo="G1" ensenanza="ESO" curso="C1" contenido="MAT1" docente="11111111A" aula="A01"/>
  <horario_grupo plantilla="P2" dia_semana="M" sesion_orden="1" hora_desde="15:00" hora_hasta="15:55" grupo="G1" ensenanza="ESO" curso="C1" contenido="MAT1" docente="11111111A" aula="A01"/>
  <horario_grupo plantilla="P1" dia_semana="L" sesion_orden="1" hora_desde="08:00" hora_hasta="08:55" grupo="G2" ensenanza="ESO" curso="C1" contenido="CAS1" docente="22222222B" aula="A02"/>
 </horarios_grupo>
 <horarios_ocupaciones>
  <horario_ocupacion plantilla="P2" dia_semana="L" sesion_orden="2" hora_desde="15:55" hora_hasta="16:50" docente="22222222B" ensenanza="ESO" ocupacion="GUA"/>
 </horarios_ocupaciones>
</centro>
)";
}

inline void writeText(const fs::path& file, const std::string& text) {
  QFile out(qs(file));
  QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
  out.write(text.data(), static_cast<qint64>(text.size()));
}

inline std::string readText(const fs::path& file) {
  QFile in(qs(file));
  if (!in.open(QIODevice::ReadOnly)) return {};
  return in.readAll().toStdString();
}

// ----- Tables

using Row = std::map<std::string, std::string>;

inline std::vector<Row> readTable(const fs::path& folder, tvi::TableId id) {
  auto table = tvi::bindTable(folder, id, false);
  table->open();
  std::vector<Row> rows;
  for (table->first(); !table->eof(); table->next()) {
    Row row;
    for (const tvi::FieldDef& f : table->fields()) row[f.name] = tvi::fromAnsi(table->asString(f.name));
    rows.push_back(row);
  }
  table->close();
  return rows;
}

// The value of `field` in the first row whose `key` is `value`.
inline std::string lookup(const std::vector<Row>& rows, const std::string& key,
                          const std::string& value, const std::string& field) {
  for (const Row& row : rows)
    if (row.at(key) == value) return row.at(field);
  return {};
}

struct SolucRow {
  std::string asig, tarea;
  int dia;
  double hora;
  std::string grupo, prof, aula;
};

// SOLUC as Velmaran leaves it.
inline void writeSoluc(const fs::path& folder, const std::vector<SolucRow>& rows) {
  tvi::Table table(folder, "SOLUC", true);
  table.clearFields();
  using tvi::FieldType;
  for (const char* name : {"ASIG", "TAREA"}) table.addField({name, FieldType::Character, 4, 0});
  table.addField({"DIA", FieldType::Integer, 4, 0});
  table.addField({"HORA", FieldType::Float, 8, 0});
  for (const char* name : {"CODGRUPO", "PROF", "AULA"})
    table.addField({name, FieldType::Character, 4, 0});
  table.create();
  table.open();
  for (const SolucRow& r : rows) {
    table.append();
    table.setString("ASIG", tvi::toAnsi(r.asig));
    table.setString("TAREA", tvi::toAnsi(r.tarea));
    table.setInteger("DIA", r.dia);
    table.setFloat("HORA", r.hora);
    table.setString("CODGRUPO", tvi::toAnsi(r.grupo));
    table.setString("PROF", tvi::toAnsi(r.prof));
    table.setString("AULA", tvi::toAnsi(r.aula));
    table.post();
  }
  table.close();
}

// The texts of the two questions of an import, line by line.
inline QString importantLine() {
  return QString(23, ' ') + "!!! I M P O R T A N T E !!!" + QString(25, ' ');
}

}  // namespace guitest
