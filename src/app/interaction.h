#pragma once
// Everything a run asks of a person goes through this interface, so the
// window, the command line and the tests drive exactly the same code.
// Texts are UTF-8.

#include <filesystem>
#include <optional>
#include <string>

namespace tvi {

class ChooserModel;

class Interaction {
 public:
  virtual ~Interaction() = default;

  // The file dialog "Archivo XML" (filter "*.xml", default extension xml).
  // Empty when the person cancels.
  virtual std::optional<std::filesystem::path> openXmlFile() = 0;

  // Shows the template chooser modally. The implementation calls the
  // model's FormActivate when the dialog is shown, ComboBoxPlantillaChange
  // on every change of either combo, BitBtnContinuarClick on "Continuar"
  // and FormClose whenever the dialog closes.
  virtual void showChooser(ChooserModel& chooser) = 0;

  // A question in the box "Confirmación" with the buttons "&Si" (default)
  // and "&No" (Escape). Closed is the answer of a box closed otherwise.
  enum class Answer { Si, No, Closed };
  virtual Answer confirm(const std::string& text) = 0;

  // A plain message box with the application title and "Aceptar".
  virtual void message(const std::string& text) = 0;

  // The hourglass cursor on or off.
  virtual void setBusy(bool busy) = 0;

  // Told once a run has settled its template, before any table is touched.
  // A front that was given the template beforehand may refuse a different
  // one by throwing.
  virtual void templateSettled(const std::string& code) { (void)code; }
};

// Shows the busy cursor for its lifetime; restored on every path.
class BusyCursor {
 public:
  explicit BusyCursor(Interaction& ui) : ui_(ui) { ui_.setBusy(true); }
  ~BusyCursor() { ui_.setBusy(false); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

 private:
  Interaction& ui_;
};

}  // namespace tvi
