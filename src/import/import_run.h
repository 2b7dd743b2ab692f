#pragma once
// The ITACA-to-Velmaran run: the file, the template, and the ten steps that
// rebuild seven of Velmaran's tables.
//
// run() checks everything that would otherwise fail halfway before any
// table is touched: the file loads and its root is "centro"; it holds a
// template with both "codigo" and "turno"; every line of the hour list reads
// as numbers. Only then are the tables folder created (when missing) and the
// ten steps run, with the busy cursor shown (and restored when a step
// fails).
//
// The steps work on ANSI text: every value from the document goes through
// toAnsi() before it is compared or stored. They read and write the tables
// in `folder` only, so the folder can be swapped for a staging one.
//
// What the steps pass over without a word is written to the Report, item by
// item, with the records per table at the end.

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
  // `folder` starts as the window's tables folder (or, when that is empty,
  // the default one of resolveTablesFolder()).
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

  // The questions of steps 7 and 9 exactly as confirm() receives them, so a
  // front can tell them apart. Step 7: "&Si" takes every template, any other
  // answer keeps to the chosen one. Step 9: "&No" removes nothing, any other
  // answer removes the groups and teachers without classes.
  static const std::string& allTemplatesQuestion();
  static const std::string& pruneQuestion();

  // State shared by the steps of one run.
  Document DocXML;
  std::set<std::string> CodigosUsados;  // ANSI, case-sensitive; emptied by step 1
  std::set<std::string> NombresUsados;  // ANSI, case-sensitive; emptied by step 1
  bool SoloUnaPlantilla = false;
  // The folder the steps write their tables into.
  std::filesystem::path folder;

 private:
  // Loads the chosen file and checks its root.
  void loadDocument();
  // Settles FPlantilla, FTurno, the language and the hour list, asking
  // through the chooser when the file holds several templates.
  void settleTemplate();
  void prepareFolder();
  void runSteps();
  void countRecords();

  WindowState& window_;
  Interaction& ui_;
  Report& report_;
};

}  // namespace tvi
