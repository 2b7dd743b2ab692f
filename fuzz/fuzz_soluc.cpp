// The export's two passes over arbitrary bytes taken as SOLUC.DBF, next to
// the tables an import of the small shipped centre left at start-up.
//
// Besides crashes, undefined behaviour and leaks, a finding is: an
// exception other than tvi::Error; SOLUC, the input document or any table
// but DIASHORAST (which the export rebuilds) changed by the run; a failed
// run that left a partial output or an extra file; a finished run whose
// output does not load as an ITACA document.

#include <cstddef>
#include <cstdint>
#include <string>

#include "app/window_state.h"
#include "common/error.h"
#include "common/report.h"
#include "export/export_run.h"
#include "fuzz_support.h"
#include "import/import_run.h"
#include "itaca/document.h"

namespace {

namespace fs = tvifuzz::fs;

fs::path tables() { return tvifuzz::scratch() / "QTEMP"; }
fs::path input() { return tvifuzz::scratch() / "centro.xml"; }

std::map<std::string, std::string> untouchable() {
  auto files = tvifuzz::folderContents(tables());
  files.erase("DIASHORAST.DBF");
  return files;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fs::create_directories(tables());
  tvifuzz::writeBytes(input(), tvifuzz::readBytes(tvifuzz::smallCentre()));
  tvifuzz::SteadyPerson person;
  person.file = input();
  tvi::WindowState window;
  window.tablesFolder = tables();
  tvi::Report report;
  tvi::ImportRun(window, person, report).run();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tvifuzz::writeBytes(tables() / "SOLUC.DBF", tvifuzz::asText(data, size));
  const fs::path output = tvi::exportOutputPath(input());
  const auto before = untouchable();
  const auto around = tvifuzz::folderContents(tvifuzz::scratch());

  tvifuzz::SteadyPerson person;
  person.file = input();
  tvi::WindowState window;
  window.tablesFolder = tables();
  tvi::Report report;
  bool finished = false;
  try {
    tvi::ExportRun run(window, person, report);
    finished = run.run() == tvi::Outcome::Finished;
  } catch (const tvi::Error& e) {
    if (tvifuzz::folderContents(tvifuzz::scratch()) != around)
      tvifuzz::fail(std::string("a failed export left a file behind or changed the output: ") + e.what());
  }
  if (untouchable() != before) tvifuzz::fail("the export changed SOLUC or a table it only reads");
  if (finished) {
    try {
      const tvi::Document out = tvi::Document::load(output);
      if (!out.selectSingle("/centro/horarios_grupo") || !out.selectSingle("/centro/horarios_ocupaciones"))
        tvifuzz::fail("the output lacks a timetable collection");
    } catch (const tvi::Error& e) {
      tvifuzz::fail(std::string("the output does not load: ") + e.what());
    }
  }
  return 0;
}
