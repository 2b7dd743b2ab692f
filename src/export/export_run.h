#pragma once
// The Velmaran-to-ITACA run: SOLUC and the other tables back into an ITACA
// document, written as "ResultadoVelmar" + the input's file name beside it.

#include <filesystem>

#include "app/interaction.h"
#include "app/outcome.h"
#include "app/window_state.h"
#include "common/report.h"
#include "itaca/document.h"

namespace tvi {

class ExportRun {
 public:
  ExportRun(WindowState& window, Interaction& ui, Report& report);

  // The whole run behind the right button. Throws Error on a failure.
  Outcome run();

  // The output file of the last finished run.
  const std::filesystem::path& outputPath() const { return output_; }

  Document DocXML;

 private:
  WindowState& window_;
  Interaction& ui_;
  Report& report_;
  std::filesystem::path output_;
};

// "ResultadoVelmar" + file name, in the input's folder.
std::filesystem::path exportOutputPath(const std::filesystem::path& input);

}  // namespace tvi
