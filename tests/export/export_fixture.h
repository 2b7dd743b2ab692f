#pragma once
// Shared pieces of the export tests: a scripted person at the other side of
// the Interaction, tables written straight through the engine, and the
// records of an output document read back in order.

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/interaction.h"
#include "tables/catalogue.h"
#include "tables/table.h"

namespace tvitest {

// Plays the person: picks a file, handles the chooser in one of the ways a
// person can, answers questions, and records what the run showed.
class ScriptedUi : public tvi::Interaction {
 public:
  enum class ChooserEnd { Continuar, CloseBox };

  std::optional<std::filesystem::path> file;  // what the file dialog returns
  ChooserEnd chooserEnd = ChooserEnd::Continuar;
  std::optional<std::string> typedCode;       // typed into the code combo
  // The import's questions: keep to the chosen template ("No", as its text
  // recommends), and remove groups and teachers without classes ("Si").
  Answer answer = Answer::No;
  Answer pruneAnswer = Answer::Si;

  std::vector<std::string> messages;
  std::vector<std::string> questions;
  std::vector<bool> busyCalls;
  int choosersShown = 0;
  std::string chooserError;  // the chooser's lastError after activation

  std::optional<std::filesystem::path> openXmlFile() override { return file; }
  void showChooser(tvi::ChooserModel& chooser) override;
  Answer confirm(const std::string& text) override {
    questions.push_back(text);
    return text.find("quitar dichos Grupos") != std::string::npos ? pruneAnswer : answer;
  }
  void message(const std::string& text) override { messages.push_back(text); }
  void setBusy(bool busy) override { busyCalls.push_back(busy); }

  bool busyNow() const { return !busyCalls.empty() && busyCalls.back(); }
};

// A row as field name and value; values are ANSI text, converted to the
// field's type ("T"/"F" for logical fields).
using Row = std::vector<std::pair<std::string, std::string>>;

// Creates a catalogue table anew and appends the rows.
void writeTable(const std::filesystem::path& folder, tvi::TableId id, const std::vector<Row>& rows);

// A SOLUC row; DIA and HORA as numbers, the rest ANSI text.
struct Soluc {
  std::string asig, tarea;
  int dia = 0;
  double hora = 0;
  std::string codgrupo, prof, aula;
};

// Writes SOLUC.DBF under `fileName` with the fields ASIG, TAREA, DIA
// (integer), HORA (of `horaType`), CODGRUPO, PROF, AULA, minus `omit`.
void writeSoluc(const std::filesystem::path& folder, const std::vector<Soluc>& rows,
                tvi::FieldType horaType = tvi::FieldType::Float,
                const std::string& fileName = "SOLUC", const std::string& omit = {});

// The attributes of one element, in document order.
using Attrs = std::vector<std::pair<std::string, std::string>>;

// The records of an output document, in order.
struct OutputRecords {
  std::vector<Attrs> grupo;      // /centro/horarios_grupo/horario_grupo
  std::vector<Attrs> ocupacion;  // /centro/horarios_ocupaciones/horario_ocupacion
};
OutputRecords readOutput(const std::filesystem::path& file);

// The value of an attribute of a record ("" when missing).
std::string value(const Attrs& attrs, const std::string& name);

// The files of a folder, by name, sorted.
std::vector<std::string> folderListing(const std::filesystem::path& folder);

}  // namespace tvitest
