#pragma once
// The chooser "Plantillas Horarias" (unit Plantihoras): a view over
// ChooserModel, which computes everything it shows and hands back.
//
// The model's handlers run on the dialog's events: FormActivate when it is
// first shown, ComboBoxPlantillaChange on every change of either combo (each
// keystroke included), BitBtnContinuarClick on "Continuar", FormClose
// whenever it closes, the close box and Escape included, so that any way of
// leaving hands back the current choice.

#include <QDialog>
#include <filesystem>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace tvi {
class ChooserModel;
}

namespace tvi::gui {

class GradientPanel;

class TPlantillas : public QDialog {
  Q_OBJECT

 public:
  TPlantillas(ChooserModel& model, std::filesystem::path exeFolder, QWidget* parent);

  // 0 for the import, 2 for the export.
  int Tag() const;

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  void FormActivate();
  void ComboBoxPlantillaChange();
  void BitBtnContinuarClick();
  void FormClose();

  void takeTexts();           // the combos' texts into the model
  void showAll();             // every control from the model
  void showResults();         // labels and hour list only, so typing is undisturbed
  void reportFailure();       // a handler's failure in the error box
  void helpKey();

  ChooserModel& model_;
  std::filesystem::path exeFolder_;
  bool activated_ = false;
  bool closed_ = false;

  GradientPanel* Draw3D4;
  QLabel* Label9;
  QComboBox* ComboBoxValCast;
  QLabel* LabelPlantillas;
  QLabel* Label1;
  QComboBox* ComboBoxPlantilla;
  QListWidget* ListBox1;
  QLabel* Label3;
  QLabel* LabelNombre;
  QLabel* Label2;
  QLabel* LabelTurno;
  QPushButton* BitBtnContinuar;
};

}  // namespace tvi::gui
