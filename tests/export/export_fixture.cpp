#include "export/export_fixture.h"

#include <algorithm>
#include <stdexcept>

#include <pugixml.hpp>

#include "import/chooser.h"
#include "itaca/document.h"

namespace tvitest {

void ScriptedUi::showChooser(tvi::ChooserModel& chooser) {
  ++choosersShown;
  chooser.FormActivate();
  chooserError = chooser.lastError;
  if (typedCode) {
    chooser.codeText = *typedCode;
    chooser.ComboBoxPlantillaChange();
  }
  if (chooserEnd == ChooserEnd::Continuar) chooser.BitBtnContinuarClick();
  chooser.FormClose();
}

namespace {

void setValue(tvi::Table& table, const tvi::FieldDef& field, const std::string& v) {
  switch (field.type) {
    case tvi::FieldType::Integer:
      table.setInteger(field.name, v.empty() ? 0 : std::stoi(v));
      break;
    case tvi::FieldType::Float:
      table.setFloat(field.name, v.empty() ? 0.0 : std::stod(v));
      break;
    case tvi::FieldType::Logical:
      table.setBool(field.name, v == "T");
      break;
    default:
      table.setString(field.name, v);
  }
}

}  // namespace

void writeTable(const std::filesystem::path& folder, tvi::TableId id, const std::vector<Row>& rows) {
  tvi::recreateTable(folder, id);
  auto table = tvi::bindTable(folder, id, false);
  table->open();
  for (const Row& row : rows) {
    table->append();
    for (const auto& [name, v] : row) {
      const auto& fields = table->fields();
      const auto field = std::find_if(fields.begin(), fields.end(),
                                      [&](const tvi::FieldDef& f) { return f.name == name; });
      if (field == fields.end()) throw std::runtime_error("no field " + name);
      setValue(*table, *field, v);
    }
    table->post();
  }
  table->close();
}

void writeSoluc(const std::filesystem::path& folder, const std::vector<Soluc>& rows,
                tvi::FieldType horaType, const std::string& fileName, const std::string& omit) {
  std::error_code ec;
  std::filesystem::remove(tvi::tableFile(folder, tvi::TableId::SOLUC), ec);
  tvi::Table table(folder, fileName, true);
  const std::vector<tvi::FieldDef> fields = {
      {"ASIG", tvi::FieldType::Character, 4},     {"TAREA", tvi::FieldType::Character, 4},
      {"DIA", tvi::FieldType::Integer, 4},        {"HORA", horaType, 8},
      {"CODGRUPO", tvi::FieldType::Character, 4}, {"PROF", tvi::FieldType::Character, 4},
      {"AULA", tvi::FieldType::Character, 4}};
  table.clearFields();
  for (const auto& f : fields) {
    if (f.name != omit) table.addField(f);
  }
  table.create();
  table.open();
  for (const Soluc& row : rows) {
    table.append();
    const Row values = {{"ASIG", row.asig},         {"TAREA", row.tarea},
                        {"CODGRUPO", row.codgrupo}, {"PROF", row.prof},
                        {"AULA", row.aula}};
    for (const auto& [name, v] : values) {
      if (name != omit) table.setString(name, v);
    }
    if (omit != "DIA") table.setInteger("DIA", row.dia);
    if (omit != "HORA") {
      if (horaType == tvi::FieldType::Integer)
        table.setInteger("HORA", static_cast<int>(row.hora));
      else
        table.setFloat("HORA", row.hora);
    }
    table.post();
  }
  table.close();
}

OutputRecords readOutput(const std::filesystem::path& file) {
  const tvi::Document doc = tvi::Document::load(file);
  OutputRecords out;
  auto collect = [&doc](const char* path, std::vector<Attrs>& into) {
    for (const pugi::xml_node& node : doc.select(path)) {
      Attrs attrs;
      for (const pugi::xml_attribute& a : node.attributes()) attrs.emplace_back(a.name(), a.value());
      into.push_back(std::move(attrs));
    }
  };
  collect("/centro/horarios_grupo/horario_grupo", out.grupo);
  collect("/centro/horarios_ocupaciones/horario_ocupacion", out.ocupacion);
  return out;
}

std::string value(const Attrs& attrs, const std::string& name) {
  for (const auto& [n, v] : attrs) {
    if (n == name) return v;
  }
  return {};
}

std::vector<std::string> folderListing(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace tvitest
