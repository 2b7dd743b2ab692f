#include "gui/plantihoras.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTimer>
#include <exception>

#include "app/window_state.h"
#include "gui/help.h"
#include "gui/look.h"
#include "gui/messages.h"
#include "gui/qt_text.h"
#include "import/chooser.h"

namespace tvi::gui {

namespace {

QComboBox* makeCombo(QWidget* parent, const char* objectName, const QRect& place,
                     const QColor& background) {
  auto* combo = new QComboBox(parent);
  combo->setObjectName(objectName);
  combo->setGeometry(place);
  combo->setEditable(true);
  combo->setInsertPolicy(QComboBox::NoInsert);
  combo->setFont(boldFormFont());
  QPalette palette = combo->palette();
  palette.setColor(QPalette::Base, background);
  palette.setColor(QPalette::Text, colour::black);
  combo->setPalette(palette);
  return combo;
}

}  // namespace

TPlantillas::TPlantillas(ChooserModel& model, std::filesystem::path exeFolder, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      model_(model),
      exeFolder_(std::move(exeFolder)) {
  setObjectName("Plantillas");
  setWindowTitle(QStringLiteral("Plantillas Horarias"));
  setFont(formFont());
  setHelpContext(this, 1);
  setModal(true);
  resize(370, 265);
  move(444, 334);

  Draw3D4 = new GradientPanel(colour::skyBlue, colour::white, colour::inactiveCaptionText(), this);
  Draw3D4->setObjectName("Draw3D4");
  Draw3D4->setGeometry(0, 0, 369, 265);
  setHelpContext(Draw3D4, 3);

  const LabelStyle boldRed{boldFormFont(), colour::red, /*transparent=*/true};
  Label9 = makeLabel(Draw3D4, "Label9", {6, 10, 180, 13},
                     QStringLiteral("Recoger Textos en: -------------->"), boldRed);

  ComboBoxValCast = makeCombo(Draw3D4, "ComboBoxValCast", {205, 6, 133, 21}, colour::white);
  ComboBoxValCast->addItems({QString::fromUtf8(kValenciano), QString::fromUtf8(kCastellano)});
  ComboBoxValCast->setCurrentText(QString::fromUtf8(kValenciano));
  setHelpContext(ComboBoxValCast, 1);

  LabelPlantillas = makeLabel(
      Draw3D4, "LabelPlantillas", {6, 33, 321, 33},
      QStringLiteral("Seleccione la Plantilla Horaria que quiere aplicar a su Horario en Velmaran."),
      {arialFont(13), colour::black, false, /*wordWrap=*/true});
  Label1 = makeLabel(Draw3D4, "Label1", {228, 61, 67, 18}, QStringLiteral("HORAS"),
                     {arialFont(16), colour::maroon});

  ComboBoxPlantilla = makeCombo(Draw3D4, "ComboBoxPlantilla", {8, 80, 129, 21}, colour::yellow);
  // The code typed is compared as it stands: no completion may add to it.
  ComboBoxPlantilla->setCompleter(nullptr);

  ListBox1 = new QListWidget(Draw3D4);
  ListBox1->setObjectName("ListBox1");
  ListBox1->setGeometry(168, 80, 197, 149);
  ListBox1->setFont(boldFormFont());
  {
    QPalette palette = ListBox1->palette();
    palette.setColor(QPalette::Text, colour::blue);
    ListBox1->setPalette(palette);
  }

  const LabelStyle heading{arialFont(12), colour::black};
  const LabelStyle value{arialFont(12), colour::maroon};
  Label3 = makeLabel(Draw3D4, "Label3", {2, 105, 63, 22}, QStringLiteral("Horario:"), heading);
  LabelNombre = makeLabel(Draw3D4, "LabelNombre", {2, 127, 162, 36}, QStringLiteral("-"),
                          {arialFont(12), colour::maroon, false, /*wordWrap=*/true});
  Label2 = makeLabel(Draw3D4, "Label2", {2, 185, 39, 22}, QStringLiteral("Turno:"), heading);
  LabelTurno = makeLabel(Draw3D4, "LabelTurno", {44, 185, 101, 23}, QStringLiteral("-"), value);

  BitBtnContinuar = makeButton(Draw3D4, "BitBtnContinuar", {255, 234, 89, 25},
                               QStringLiteral("Continuar"), Glyph::Ok, 3, /*bold=*/true);
  BitBtnContinuar->setDefault(true);

  connect(ComboBoxPlantilla, &QComboBox::editTextChanged, this,
          &TPlantillas::ComboBoxPlantillaChange);
  connect(ComboBoxValCast, &QComboBox::editTextChanged, this,
          &TPlantillas::ComboBoxPlantillaChange);
  connect(BitBtnContinuar, &QPushButton::clicked, this, &TPlantillas::BitBtnContinuarClick);
  auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(f1, &QShortcut::activated, this, &TPlantillas::helpKey);
}

int TPlantillas::Tag() const { return model_.tag(); }

void TPlantillas::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!activated_) {
    activated_ = true;
    FormActivate();
  }
}

void TPlantillas::done(int result) {
  FormClose();
  QDialog::done(result);
}

void TPlantillas::FormActivate() {
  try {
    model_.FormActivate();
  } catch (const std::exception& e) {
    model_.lastError = e.what();
  }
  showAll();
  // After the dialog is on screen, so that the box stands over it.
  if (!model_.lastError.empty())
    QTimer::singleShot(0, this, &TPlantillas::reportFailure);
}

void TPlantillas::ComboBoxPlantillaChange() {
  takeTexts();
  try {
    model_.ComboBoxPlantillaChange();
  } catch (const std::exception& e) {
    model_.lastError = e.what();
  }
  showResults();
  if (!model_.lastError.empty()) reportFailure();
}

void TPlantillas::BitBtnContinuarClick() {
  takeTexts();
  try {
    model_.BitBtnContinuarClick();
  } catch (const std::exception& e) {
    model_.lastError = e.what();
    reportFailure();
  }
  accept();
}

void TPlantillas::FormClose() {
  if (closed_) return;
  closed_ = true;
  takeTexts();
  try {
    model_.FormClose();
  } catch (const std::exception& e) {
    model_.lastError = e.what();
    reportFailure();
  }
}

void TPlantillas::takeTexts() {
  model_.codeText = utf8(ComboBoxPlantilla->currentText());
  model_.languageText = utf8(ComboBoxValCast->currentText());
}

void TPlantillas::showAll() {
  Label9->setText(qs(model_.label9Caption));
  LabelPlantillas->setText(qs(model_.labelPlantillasCaption));
  ComboBoxValCast->setVisible(model_.languageVisible);
  {
    const QSignalBlocker blockCodes(ComboBoxPlantilla);
    const QSignalBlocker blockLanguage(ComboBoxValCast);
    ComboBoxValCast->setCurrentText(qs(model_.languageText));
    ComboBoxPlantilla->clear();
    for (const std::string& code : model_.codes) ComboBoxPlantilla->addItem(qs(code));
    ComboBoxPlantilla->setCurrentText(qs(model_.codeText));
  }
  showResults();
}

void TPlantillas::showResults() {
  LabelNombre->setText(qs(model_.labelNombre));
  LabelTurno->setText(qs(model_.labelTurno));
  ListBox1->clear();
  for (const std::string& line : model_.hours) ListBox1->addItem(qs(line));
}

void TPlantillas::reportFailure() {
  if (model_.lastError.empty()) return;
  const std::string text = model_.lastError;
  model_.lastError.clear();
  showErrorBox(this, boxText(text));
}

void TPlantillas::helpKey() { openHelp(this, exeFolder_, helpContextOf(focusWidget() ? focusWidget() : this)); }

}  // namespace tvi::gui
