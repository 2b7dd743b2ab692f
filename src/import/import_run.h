#pragma once
// The ITACA-to-Velmaran run: the file, the template, and the ten steps that
// rebuild seven of Velmaran's tables.

#include <filesystem>
#include <set>
#include <string>

#include "app/interaction.h"
#include "app/outcome.h"
#include "app/window_state.h"
#include "common/report.h"
#include "itaca/document.h"

namespace tvi {

class ImportRun {
 public:
  ImportRun(WindowState& window, Interaction& ui, Report& report);

  // The whole run behind the left button. Throws Error on a failure.
  Outcome run();

  // The ten steps, in the order the run calls them. Each reads the document
  // and the tables that earlier steps of the run wrote.
  void TransformarContenidos();
  void TransformarOcupaciones();
  void TransformarDocentes();
  void TransformarAulas();
  void TransformarCursosGrupos();
  void CrearAsignaciones();
  void TransformarHorariosGrupo();
  void TransformarHorariosOcupaciones();
  void QuitarSinClases();
  void CrearDiasHoras();

  // State shared by the steps of one run.
  Document DocXML;
  std::set<std::string> CodigosUsados;  // ANSI, case-sensitive
  std::set<std::string> NombresUsados;  // ANSI, case-sensitive
  bool SoloUnaPlantilla = false;
  // The folder the steps write their tables into.
  std::filesystem::path folder;

 private:
  WindowState& window_;
  Interaction& ui_;
  Report& report_;
};

}  // namespace tvi
