#pragma once
// The template chooser's logic, without any widget: what the dialog
// "Plantillas Horarias" shows and hands back. The Qt dialog and the command
// line both drive this model.
//
// Tag 0: the import of a file with several templates. Tag 2: the export,
// which proposes the template the slot table DIASHORAST was built with and
// holds that table open, exclusively, from activation until "Continuar" or
// the model's destruction.
//
// Every collection counts from its first element: a file with a single
// template lists that code and shows its description and shift, and a
// single sesion_horario gives its hour. Attribute texts are trimmed; the
// code typed in the combo is compared as it stands (untrimmed) and handed
// back trimmed. Nothing is refused: a code that matches no template gives
// "-", "-" and no hours, and is handed back all the same (FTurno "-").
// A failure in a handler (the file does not load; with Tag 2 the slot table
// is missing or held by another program) ends that handler where it was,
// leaves its message in `lastError` and the dialog usable.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "itaca/document.h"

namespace tvi {

class Table;

class ChooserModel {
 public:
  ChooserModel(int tag, std::string mainLanguage, std::filesystem::path ficheroXML,
               std::filesystem::path tablesFolder);
  ~ChooserModel();

  // The file is already loaded by the caller: the model shows the templates
  // of `loaded` (the document of `ficheroXML`, which must outlive the
  // model) instead of loading the file again at activation. A model not
  // given one loads the file itself, as the dialog does on its own.
  void useDocument(const Document& loaded);
  // The document the last activation loaded, handed over so that the caller
  // need not parse the same file again; none when that activation loaded
  // nothing (it failed, or the model was given its document).
  std::optional<Document> takeLoadedDocument();

  // Handlers, named after the dialog's events.
  void FormActivate();
  void ComboBoxPlantillaChange();
  void BitBtnContinuarClick();
  void FormClose();

  // --- What the dialog shows (UTF-8). The view writes `codeText` and
  // `languageText` as the person types, then calls ComboBoxPlantillaChange.
  int tag() const { return tag_; }
  std::string label9Caption = "Recoger Textos en: -------------->";
  std::string labelPlantillasCaption =
      "Seleccione la Plantilla Horaria que quiere aplicar a su Horario en Velmaran.";
  bool languageVisible = true;
  std::string languageText = "VALENCIÁ";  // ComboBoxValCast
  std::vector<std::string> codes;       // items of ComboBoxPlantilla
  std::string codeText;                 // text of ComboBoxPlantilla
  std::string labelNombre = "-";
  std::string labelTurno = "-";
  std::vector<std::string> hours;       // ListBox1, sorted
  // The message of a failure during activation or a change (the dialog
  // shows it in an error box and stays usable); empty when none.
  std::string lastError;

  // --- Handed back.
  std::string FPlantilla;
  std::string FTurno;

 private:
  void activate();
  void change();
  const Document& document() const { return shared_ ? *shared_ : DocPlantillas; }

  int tag_;
  std::string mainLanguage_;
  std::filesystem::path ficheroXML_;
  std::filesystem::path tablesFolder_;
  Document DocPlantillas;
  const Document* shared_ = nullptr;
  bool loadedByLastActivation_ = false;
  std::unique_ptr<Table> wwTableDiasHorasT;
};

// The hour-list line of one sesion_horario: order (a one-character order
// gets a blank in front; any other keeps at most its first three
// characters), " de ", start, " a ", end.
std::string hourLine(const std::string& order, const std::string& from, const std::string& to);

// The hour list of a template: the line of every sesion_horario whose
// plantilla is `code` (compared as it stands) and whose dia_semana is "L",
// sorted in ascending byte order, so the blank in front of one-character
// orders puts 9 before 10. The one-template path of the import uses the
// same rule as the dialog.
std::vector<std::string> templateHours(const Document& doc, const std::string& code);

}  // namespace tvi
