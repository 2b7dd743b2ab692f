#pragma once
// The main window MForm (class TMForm, unit MainForm): the two directions
// side by side, the language of the texts, help, and the hand-off to
// Velmaran when it launches the program inside one of its windows.
//
// The window holds no conversion logic: each button hands the window's
// state to the core run of its direction, whose questions and messages come
// back through QtInteraction. A run that fails shows its message in the
// error box and leaves the window as it was, usable. In host mode every run
// that ends closes the window, and closing writes the outcome flag to
// Velmaran.ini beside the executable.

#include <QStringList>
#include <QWidget>
#include <filesystem>

#include "app/window_state.h"
#include "common/report.h"
#include "gui/qt_interaction.h"

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QWindow;

namespace tvi {
struct HostRequest;
}

namespace tvi::gui {

class GradientPanel;

class TMForm : public QWidget {
  Q_OBJECT

 public:
  // `params`: the command line without the program's name. Velmaran.ini
  // and the help files are looked for in `exeFolder`.
  TMForm(const QStringList& params, std::filesystem::path exeFolder, QWidget* parent = nullptr);
  ~TMForm() override;

  const WindowState& state() const { return state_; }
  // What the last run passed over.
  const Report& report() const { return report_; }
  // True when the window was placed inside the host's window.
  bool embedded() const { return host_ != nullptr; }

  void BExportarClick();
  void BImportarClick();
  void Button1Click();

 signals:
  // The window has closed; being the main window, its closing ends the
  // program (also when it lives inside the host's window, where Qt does not
  // count it as a top-level window).
  void closed();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void FormCreate(const QStringList& params);
  void FormClose();
  void hostHandOff(const HostRequest& request);
  template <class Run>
  void runConversion();
  void showState();
  void helpKey();

  std::filesystem::path exeFolder_;
  WindowState state_;
  Report report_;
  QtInteraction ui_;
  QWindow* host_ = nullptr;
  bool running_ = false;
  bool closed_ = false;

  GradientPanel* Draw3D2;
  QLabel* Label3;
  QLabel* Label9;
  QComboBox* ComboBoxValCast;
  QPushButton* BExportar;
  GradientPanel* Draw3D3;
  QLabel* Label4;
  QPushButton* BImportar;
  GradientPanel* Draw3D1;
  QLabel* Label1;
  QPushButton* BClose;
  QPushButton* Button1;
  QListWidget* ListBoxPlanti;
};

}  // namespace tvi::gui
