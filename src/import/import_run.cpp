#include "import/import_run.h"

#include <algorithm>
#include <system_error>

#include "common/error.h"
#include "import/chooser.h"
#include "import/dias_horas.h"
#include "import/staging.h"
#include "tables/catalogue.h"
#include "tables/table.h"

namespace tvi {

namespace {

constexpr const char* kTemplatesPath = "/centro/plantillas_horario/plantilla_horario";

std::string shownPath(const std::filesystem::path& p) {
  const std::u8string text = p.u8string();
  return std::string(text.begin(), text.end());
}

bool hasAttribute(const pugi::xml_node& node, const char* name) {
  return static_cast<bool>(node.attribute(name));
}

}  // namespace

ImportRun::ImportRun(WindowState& window, Interaction& ui, Report& report)
    : folder(window.tablesFolder.empty() ? resolveTablesFolder() : window.tablesFolder),
      window_(window),
      ui_(ui),
      report_(report) {}

Outcome ImportRun::run() {
  report_.clear();
  if (auto chosen = ui_.openXmlFile()) window_.FFicheroXML = *chosen;
  std::error_code ec;
  if (window_.FFicheroXML.empty() || !std::filesystem::is_regular_file(window_.FFicheroXML, ec)) {
    ui_.message("No existe archivo");
    if (window_.hostMode()) window_.ResultadoTransformacion = -1;
    return Outcome::MissingInput;
  }

  // Everything that could stop the run halfway is settled before a table
  // is touched.
  loadDocument();
  settleTemplate();
  ui_.templateSettled(window_.FPlantilla);
  checkHourList(window_.ListBoxPlanti);
  prepareFolder();

  {
    BusyCursor busy(ui_);
    // The steps build the tables aside; the live ones are replaced only
    // when all ten have finished, so a failure changes no table.
    StagedTables::checkNotInUse(folder);
    const std::filesystem::path live = folder;
    StagedTables staged(live);
    folder = staged.folder();
    try {
      runSteps();
      countRecords();
      folder = live;
      staged.commit();
    } catch (...) {
      folder = live;
      throw;
    }
  }
  window_.ResultadoTransformacion = 1;
  ui_.message("Proceso finalizado");
  return Outcome::Finished;
}

void ImportRun::loadDocument() {
  DocXML = Document::load(window_.FFicheroXML);
  const std::string root = DocXML.root().name();
  if (root != "centro")
    throw Error("El archivo «" + shownPath(window_.FFicheroXML.filename()) +
                "» no es una exportación de ITACA: su elemento raíz es «" + root +
                "» y debería ser «centro». No se ha modificado ninguna tabla.");
}

void ImportRun::settleTemplate() {
  const auto templates = DocXML.select(kTemplatesPath);
  const std::string file = "«" + shownPath(window_.FFicheroXML.filename()) + "»";
  if (templates.empty())
    throw Error("El archivo " + file +
                " no contiene ninguna plantilla horaria (elemento «plantilla_horario»). "
                "No se ha modificado ninguna tabla.");

  if (templates.size() < 2) {
    const pugi::xml_node& only = templates.front();
    for (const char* name : {"codigo", "turno"})
      if (!hasAttribute(only, name))
        throw Error("La plantilla horaria del archivo " + file + " no tiene el atributo «" +
                    name + "», sin el cual no se puede importar. No se ha modificado ninguna tabla.");
    window_.FPlantilla = attr(only, "codigo");
    window_.FTurno = attr(only, "turno");
    // The hours follow the chooser's rule here too: otherwise the week
    // would come out empty, or with an earlier run's hours.
    window_.ListBoxPlanti = templateHours(DocXML, window_.FPlantilla);
    return;
  }

  const bool usable = std::any_of(templates.begin(), templates.end(), [](const pugi::xml_node& t) {
    return hasAttribute(t, "codigo") && hasAttribute(t, "turno");
  });
  if (!usable)
    throw Error("Ninguna plantilla horaria del archivo " + file +
                " tiene a la vez los atributos «codigo» y «turno», sin los cuales no se puede "
                "importar. No se ha modificado ninguna tabla.");

  window_.FPlantilla.clear();
  ChooserModel chooser(0, window_.language, window_.FFicheroXML, folder);
  chooser.useDocument(DocXML);  // the file is loaded already: not parsed twice
  ui_.showChooser(chooser);
  window_.FPlantilla = chooser.FPlantilla;
  window_.language = chooser.languageText;
  window_.FTurno = chooser.FTurno;
  window_.ListBoxPlanti = chooser.hours;
}

void ImportRun::prepareFolder() {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec || !std::filesystem::is_directory(folder, ec))
    throw Error("No se puede crear la carpeta de las tablas «" + shownPath(folder) +
                "». Compruebe que la ruta es correcta y que tiene permiso para escribir en ella.");
}

void ImportRun::runSteps() {
  TransformarContenidos();
  TransformarOcupaciones();
  TransformarDocentes();
  TransformarAulas();
  TransformarCursosGrupos();
  CrearAsignaciones();
  TransformarHorariosGrupo();
  TransformarHorariosOcupaciones();
  QuitarSinClases();
  CrearDiasHoras();
}

void ImportRun::CrearDiasHoras() {
  crearDiasHoras(folder, window_.ListBoxPlanti, window_.FPlantilla, window_.language);
}

void ImportRun::countRecords() {
  for (TableId id : importedTables()) {
    auto table = bindTable(folder, id, false);
    table->open();
    report_.setCount(tableDef(id).name, table->recordCount());
    table->close();
  }
}

}  // namespace tvi
