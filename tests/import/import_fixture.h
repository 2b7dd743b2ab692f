#pragma once
// Fixtures for the import tests: ITACA documents written as XML strings,
// tables read back from disk, and an interaction that answers from a script
// and records what it was asked.

#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/interaction.h"
#include "app/window_state.h"
#include "common/report.h"
#include "import/chooser.h"
#include "import/import_run.h"
#include "support/test_support.h"
#include "tables/catalogue.h"

namespace importtest {

namespace fs = std::filesystem;

// ----- Documents

using Attrs = std::vector<std::pair<std::string, std::string>>;

// <name a="v" .../> with the values escaped.
std::string element(const std::string& name, const Attrs& attrs);
// <collection><item .../>...</collection>
std::string collection(const std::string& name, const std::string& item,
                       const std::vector<Attrs>& items);
// An XML declaration and <centro codigo="46000001"> holding `parts`.
std::string centro(const std::vector<std::string>& parts);

// The usual collections, by their item attributes.
std::string plantillas(const std::vector<Attrs>& items);
std::string sesiones(const std::vector<Attrs>& items);
std::string contenidos(const std::vector<Attrs>& items);
std::string ocupaciones(const std::vector<Attrs>& items);
std::string docentes(const std::vector<Attrs>& items);
std::string aulas(const std::vector<Attrs>& items);
std::string cursos(const std::vector<Attrs>& items);
std::string ensenanzas(const std::vector<Attrs>& items);
std::string cursosGrupo(const std::vector<Attrs>& items);
std::string grupos(const std::vector<Attrs>& items);
std::string horariosGrupo(const std::vector<Attrs>& items);
std::string horariosOcupaciones(const std::vector<Attrs>& items);

// A Monday (or other day) sesion_horario of a template.
Attrs sesion(const std::string& plantilla, const std::string& dia, const std::string& orden,
             const std::string& desde, const std::string& hasta);

// ----- Tables on disk

// Every field of a record as UTF-8 text (numbers as the engine writes them
// as text, logicals "T"/"F").
using Row = std::map<std::string, std::string>;
std::vector<Row> readTable(const fs::path& folder, tvi::TableId id);
std::vector<std::string> column(const std::vector<Row>& rows, const std::string& field);
// The rows whose `field` equals `value`.
std::vector<Row> where(const std::vector<Row>& rows, const std::string& field,
                       const std::string& value);

// ----- Interaction

class ScriptedInteraction : public tvi::Interaction {
 public:
  // Answers of the file dialog, in order; an empty optional is a cancel.
  // When the queue is empty the dialog is cancelled.
  std::deque<std::optional<fs::path>> files;
  // Answers of the confirmation boxes, in order. Asking with no answer left
  // fails the test.
  std::deque<Answer> answers;
  // What the person does in the chooser. By default: activation, then
  // "Continuar" and the closing.
  std::function<void(tvi::ChooserModel&)> chooserScript;

  // What happened.
  std::vector<std::string> asked;     // confirmation texts
  std::vector<std::string> messages;  // plain messages
  std::vector<bool> busyCalls;        // every setBusy, in order
  int choosersShown = 0;
  int chooserTag = -1;

  std::optional<fs::path> openXmlFile() override;
  void showChooser(tvi::ChooserModel& chooser) override;
  Answer confirm(const std::string& text) override;
  void message(const std::string& text) override;
  void setBusy(bool busy) override { busyCalls.push_back(busy); }
};

// ----- A run's steps on a scratch tables folder

struct StepsFixture {
  tvitest::TempDir dir;
  tvi::WindowState window;
  ScriptedInteraction ui;
  tvi::Report report;
  std::unique_ptr<tvi::ImportRun> run;

  StepsFixture();
  fs::path tables() const { return dir.path() / "tablas"; }

  // Parses `xml` as the run's document, with FPlantilla/FTurno given.
  void load(const std::string& xml, const std::string& plantilla = "P1",
            const std::string& turno = "M");
  // Runs steps 1..n (1-based, in the run's order).
  void runSteps(int upTo);
  std::vector<Row> table(tvi::TableId id) const { return readTable(tables(), id); }
  // The kinds of the report's items, in order.
  std::vector<std::string> reportKinds() const;
};

}  // namespace importtest
