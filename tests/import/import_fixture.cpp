#include "import/import_fixture.h"

#include <gtest/gtest.h>

#include "common/text.h"
#include "itaca/document.h"
#include "tables/table.h"

namespace importtest {

namespace {

std::string escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace

std::string element(const std::string& name, const Attrs& attrs) {
  std::string out = "<" + name;
  for (const auto& [key, value] : attrs) out += " " + key + "=\"" + escaped(value) + "\"";
  return out + "/>";
}

std::string collection(const std::string& name, const std::string& item,
                       const std::vector<Attrs>& items) {
  std::string out = "<" + name + ">";
  for (const Attrs& a : items) out += "\n  " + element(item, a);
  return out + "\n</" + name + ">";
}

std::string centro(const std::vector<std::string>& parts) {
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<centro codigo=\"46000001\">";
  for (const std::string& p : parts) out += "\n" + p;
  return out + "\n</centro>\n";
}

std::string plantillas(const std::vector<Attrs>& i) { return collection("plantillas_horario", "plantilla_horario", i); }
std::string sesiones(const std::vector<Attrs>& i) { return collection("sesiones_horario", "sesion_horario", i); }
std::string contenidos(const std::vector<Attrs>& i) { return collection("contenidos", "contenido", i); }
std::string ocupaciones(const std::vector<Attrs>& i) { return collection("ocupaciones", "ocupacion", i); }
std::string docentes(const std::vector<Attrs>& i) { return collection("docentes", "docente", i); }
std::string aulas(const std::vector<Attrs>& i) { return collection("aulas", "aula", i); }
std::string cursos(const std::vector<Attrs>& i) { return collection("cursos", "curso", i); }
std::string ensenanzas(const std::vector<Attrs>& i) { return collection("ensenanzas", "ensenanza", i); }
std::string cursosGrupo(const std::vector<Attrs>& i) { return collection("cursos_grupo", "curso_grupo", i); }
std::string grupos(const std::vector<Attrs>& i) { return collection("grupos", "grupo", i); }
std::string horariosGrupo(const std::vector<Attrs>& i) { return collection("horarios_grupo", "horario_grupo", i); }
std::string horariosOcupaciones(const std::vector<Attrs>& i) {
  return collection("horarios_ocupaciones", "horario_ocupacion", i);
}

Attrs sesion(const std::string& plantilla, const std::string& dia, const std::string& orden,
             const std::string& desde, const std::string& hasta) {
  return {{"plantilla", plantilla}, {"dia_semana", dia}, {"sesion_orden", orden},
          {"hora_desde", desde}, {"hora_hasta", hasta}};
}

std::vector<Row> readTable(const fs::path& folder, tvi::TableId id) {
  auto table = tvi::bindTable(folder, id, false);
  table->open();
  std::vector<Row> rows;
  for (table->first(); !table->eof(); table->next()) {
    Row row;
    for (const tvi::FieldDef& f : table->fields()) row[f.name] = tvi::fromAnsi(table->asString(f.name));
    rows.push_back(std::move(row));
  }
  table->close();
  return rows;
}

std::vector<std::string> column(const std::vector<Row>& rows, const std::string& field) {
  std::vector<std::string> out;
  for (const Row& r : rows) out.push_back(r.at(field));
  return out;
}

std::vector<Row> where(const std::vector<Row>& rows, const std::string& field,
                       const std::string& value) {
  std::vector<Row> out;
  for (const Row& r : rows)
    if (r.at(field) == value) out.push_back(r);
  return out;
}

std::optional<fs::path> ScriptedInteraction::openXmlFile() {
  if (files.empty()) return std::nullopt;
  auto f = files.front();
  files.pop_front();
  return f;
}

void ScriptedInteraction::showChooser(tvi::ChooserModel& chooser) {
  ++choosersShown;
  chooserTag = chooser.tag();
  if (chooserScript) {
    chooserScript(chooser);
    return;
  }
  chooser.FormActivate();
  chooser.BitBtnContinuarClick();
  chooser.FormClose();
}

tvi::Interaction::Answer ScriptedInteraction::confirm(const std::string& text) {
  asked.push_back(text);
  if (answers.empty()) {
    ADD_FAILURE() << "unexpected question:\n" << text;
    return Answer::No;
  }
  Answer a = answers.front();
  answers.pop_front();
  return a;
}

void ScriptedInteraction::message(const std::string& text) { messages.push_back(text); }

StepsFixture::StepsFixture() {
  window.tablesFolder = tables();
  fs::create_directories(tables());
  run = std::make_unique<tvi::ImportRun>(window, ui, report);
}

void StepsFixture::load(const std::string& xml, const std::string& plantilla,
                        const std::string& turno) {
  window.FPlantilla = plantilla;
  window.FTurno = turno;
  run->DocXML = tvi::Document::parse(xml);
}

void StepsFixture::runSteps(int upTo) {
  using Step = void (tvi::ImportRun::*)();
  static const Step kSteps[] = {
      &tvi::ImportRun::TransformarContenidos,  &tvi::ImportRun::TransformarOcupaciones,
      &tvi::ImportRun::TransformarDocentes,    &tvi::ImportRun::TransformarAulas,
      &tvi::ImportRun::TransformarCursosGrupos, &tvi::ImportRun::CrearAsignaciones,
      &tvi::ImportRun::TransformarHorariosGrupo, &tvi::ImportRun::TransformarHorariosOcupaciones,
      &tvi::ImportRun::QuitarSinClases,        &tvi::ImportRun::CrearDiasHoras,
  };
  for (int i = 0; i < upTo; ++i) ((*run).*kSteps[i])();
}

std::vector<std::string> StepsFixture::reportKinds() const {
  std::vector<std::string> kinds;
  for (const auto& item : report.items()) kinds.push_back(item.kind);
  return kinds;
}

}  // namespace importtest
