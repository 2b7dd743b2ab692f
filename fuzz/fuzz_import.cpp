// The XML load and the whole import on arbitrary bytes. The bytes are
// parsed in memory (every path the steps select is walked), then written
// as the ITACA file of a full ImportRun into a tables folder that an
// import of the small shipped centre filled at start-up.
//
// Besides crashes, undefined behaviour and leaks, a finding is: an
// exception other than tvi::Error, a failed run that changed a table
// (a failed import must leave the tables as they were), a finished run
// that did not leave all seven tables readable.

#include <cstddef>
#include <cstdint>
#include <string>

#include "app/window_state.h"
#include "common/error.h"
#include "common/report.h"
#include "fuzz_support.h"
#include "import/import_run.h"
#include "itaca/document.h"
#include "tables/catalogue.h"

namespace {

namespace fs = tvifuzz::fs;

constexpr const char* kPaths[] = {
    "/centro/plantillas_horario/plantilla_horario", "/centro/sesiones_horario/sesion_horario",
    "/centro/contenidos/contenido",                 "/centro/ocupaciones/ocupacion",
    "/centro/docentes/docente",                     "/centro/aulas/aula",
    "/centro/cursos/curso",                         "/centro/grupos/grupo",
    "/centro/horarios_grupo/horario_grupo",         "/centro/horarios_ocupaciones/horario_ocupacion",
};

fs::path tables() { return tvifuzz::scratch() / "QTEMP"; }
fs::path input() { return tvifuzz::scratch() / "centro.xml"; }

tvi::Outcome importFile(const fs::path& file, tvifuzz::SteadyPerson& person, tvi::WindowState& window) {
  person.file = file;
  window.tablesFolder = tables();
  tvi::Report report;
  tvi::ImportRun run(window, person, report);
  return run.run();
}

void parseInMemory(std::string_view bytes) {
  try {
    const tvi::Document doc = tvi::Document::parse(bytes, "fuzz.xml");
    for (const char* path : kPaths) {
      for (const pugi::xml_node& node : doc.select(path)) {
        for (const pugi::xml_attribute& a : node.attributes()) (void)tvi::attr(node, a.name());
      }
    }
  } catch (const tvi::Error&) {
  }
}

void checkTablesReadable() {
  for (tvi::TableId id : tvi::importedTables()) {
    try {
      auto table = tvi::bindTable(tables(), id, false);
      table->open();
      for (table->first(); !table->eof(); table->next()) {
        for (const tvi::FieldDef& f : table->fields()) (void)table->asString(f.name);
      }
    } catch (const tvi::Error& e) {
      tvifuzz::fail(std::string("a finished import left an unreadable table: ") + e.what());
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  tvifuzz::SteadyPerson person;
  tvi::WindowState window;
  importFile(tvifuzz::smallCentre(), person, window);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes = tvifuzz::asText(data, size);
  parseInMemory(bytes);

  tvifuzz::writeBytes(input(), bytes);
  const auto before = tvifuzz::folderContents(tables());
  // Both answers to both questions, and both languages, over the corpus.
  tvifuzz::SteadyPerson person;
  person.answer7 = size & 1 ? tvi::Interaction::Answer::Si : tvi::Interaction::Answer::No;
  person.answer9 = size & 2 ? tvi::Interaction::Answer::No : tvi::Interaction::Answer::Si;
  tvi::WindowState window;
  if (size & 4) window.language = tvi::kCastellano;
  try {
    importFile(input(), person, window);
  } catch (const tvi::Error& e) {
    if (tvifuzz::folderContents(tables()) != before)
      tvifuzz::fail(std::string("a failed import changed the tables: ") + e.what());
    return 0;
  }
  checkTablesReadable();
  return 0;
}
