#include "import/chooser.h"

#include <algorithm>
#include <exception>

#include "app/window_state.h"
#include "common/error.h"
#include "common/text.h"
#include "tables/catalogue.h"
#include "tables/table.h"

namespace tvi {

namespace {

constexpr const char* kTemplatesPath = "/centro/plantillas_horario/plantilla_horario";
constexpr const char* kSessionsPath = "/centro/sesiones_horario/sesion_horario";

// Characters of a UTF-8 text (continuation bytes do not start one).
std::size_t characters(const std::string& utf8) {
  return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

// The first n characters of a UTF-8 text.
std::string firstCharacters(const std::string& utf8, std::size_t n) {
  std::size_t seen = 0;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80) {
      if (seen == n) return utf8.substr(0, i);
      ++seen;
    }
  }
  return utf8;
}

std::vector<std::string> mondayLines(const std::vector<pugi::xml_node>& sessions,
                                     const std::string& code) {
  std::vector<std::string> lines;
  for (const pugi::xml_node& session : sessions) {
    if (attr(session, "plantilla") != code || attr(session, "dia_semana") != "L") continue;
    lines.push_back(hourLine(attr(session, "sesion_orden"), attr(session, "hora_desde"),
                             attr(session, "hora_hasta")));
  }
  std::stable_sort(lines.begin(), lines.end());
  return lines;
}

}  // namespace

std::string hourLine(const std::string& order, const std::string& from, const std::string& to) {
  const std::string shownOrder = characters(order) == 1 ? " " + order : firstCharacters(order, 3);
  return shownOrder + " de " + from + " a " + to;
}

std::vector<std::string> templateHours(const Document& doc, const std::string& code) {
  return mondayLines(doc.select(kSessionsPath), code);
}

ChooserModel::ChooserModel(int tag, std::string mainLanguage, std::filesystem::path ficheroXML,
                           std::filesystem::path tablesFolder)
    : tag_(tag),
      mainLanguage_(std::move(mainLanguage)),
      ficheroXML_(std::move(ficheroXML)),
      tablesFolder_(std::move(tablesFolder)) {}

ChooserModel::~ChooserModel() = default;

void ChooserModel::useDocument(const Document& loaded) { shared_ = &loaded; }

std::optional<Document> ChooserModel::takeLoadedDocument() {
  if (!loadedByLastActivation_) return std::nullopt;
  loadedByLastActivation_ = false;
  std::optional<Document> taken(std::move(DocPlantillas));
  DocPlantillas = Document();
  return taken;
}

// A failure ends the handler where it happened and is shown by the dialog,
// which stays usable; what was set before the failure stays set.
void ChooserModel::FormActivate() {
  lastError.clear();
  try {
    activate();
  } catch (const std::exception& e) {
    lastError = e.what();
  }
}

void ChooserModel::ComboBoxPlantillaChange() {
  lastError.clear();
  try {
    change();
  } catch (const std::exception& e) {
    lastError = e.what();
  }
}

void ChooserModel::BitBtnContinuarClick() {
  if (tag_ == 2 && wwTableDiasHorasT) {
    // Released so that the export can delete and re-create the slot table.
    wwTableDiasHorasT->close();
    wwTableDiasHorasT.reset();
  }
  FPlantilla = trimmed(codeText);
  FTurno = labelTurno;
}

void ChooserModel::FormClose() {
  FPlantilla = trimmed(codeText);
  FTurno = labelTurno;
}

void ChooserModel::activate() {
  loadedByLastActivation_ = false;
  if (tag_ == 2) {
    label9Caption = "EXPORTACIÓN A ITACA";
    languageVisible = false;
    labelPlantillasCaption =
        "Seleccione la Plantilla Horaria que quiere aplicar para Exportar su Horario a ITACA.";
    try {
      if (!wwTableDiasHorasT) wwTableDiasHorasT = bindTable(tablesFolder_, TableId::DIASHORAST);
      if (!wwTableDiasHorasT->isOpen()) wwTableDiasHorasT->open();
      wwTableDiasHorasT->first();
      FPlantilla =
          wwTableDiasHorasT->eof() ? std::string() : fromAnsi(wwTableDiasHorasT->asString("PLANTILLA"));
    } catch (...) {
      wwTableDiasHorasT.reset();  // a table that did not open holds nothing
      throw;
    }
  }
  languageText = mainLanguage_;
  if (!shared_) {
    DocPlantillas = Document::load(ficheroXML_);
    loadedByLastActivation_ = true;
  }
  const auto templates = document().select(kTemplatesPath);
  if (!templates.empty()) {
    codes.clear();
    for (const pugi::xml_node& t : templates) codes.push_back(attr(t, "codigo"));
  }
  if (tag_ == 2)
    codeText = FPlantilla;
  else if (!codes.empty())
    codeText = codes.front();
  change();
}

void ChooserModel::change() {
  const auto templates = document().select(kTemplatesPath);
  labelNombre = "-";
  labelTurno = "-";
  const bool valenciano = languageText == kValenciano;
  // Every template is visited: with a repeated code the last one shows.
  for (const pugi::xml_node& t : templates) {
    if (attr(t, "codigo") != codeText) continue;
    labelNombre = attr(t, valenciano ? "descripcion_val" : "descripcion_cas");
    labelTurno = attr(t, "turno");
  }
  const auto sessions = document().select(kSessionsPath);
  if (!sessions.empty()) hours = mondayLines(sessions, codeText);
}

}  // namespace tvi
