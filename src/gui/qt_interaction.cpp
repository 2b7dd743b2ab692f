#include "gui/qt_interaction.h"

#include <QApplication>
#include <QFileDialog>

#include "common/report.h"
#include "gui/app_identity.h"
#include "gui/dialog_owner.h"
#include "gui/messages.h"
#include "gui/plantihoras.h"
#include "gui/qt_text.h"

namespace tvi::gui {

QtInteraction::QtInteraction(QWidget* owner, std::filesystem::path exeFolder)
    : owner_(owner), exeFolder_(std::move(exeFolder)) {}

QtInteraction::~QtInteraction() { restoreCursor(); }

std::optional<std::filesystem::path> QtInteraction::openXmlFile() {
  QFileDialog dialog(dialogParent(owner_), QStringLiteral("Archivo XML"));
  keepAboveHost(&dialog);
  dialog.setObjectName("OpenDialogXML");
  dialog.setNameFilter(QStringLiteral("*.xml"));
  dialog.setDefaultSuffix(QStringLiteral("xml"));
  // A name that does not exist is handed to the run, which says so.
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  return toPath(files.first());
}

void QtInteraction::showChooser(ChooserModel& chooser) {
  TPlantillas dialog(chooser, exeFolder_, dialogParent(owner_));
  keepAboveHost(&dialog);
  dialog.exec();
}

Interaction::Answer QtInteraction::confirm(const std::string& text) {
  return askConfirmation(owner_, boxText(text));
}

void QtInteraction::message(const std::string& text) {
  QStringList details;
  if (report_ != nullptr && text == kFinalMessage) {
    for (const std::string& line : report_->lines()) details << qs(line);
  }
  showPlainMessage(owner_, boxText(text), details);
}

void QtInteraction::setBusy(bool busy) {
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ++busyDepth_;
  } else if (busyDepth_ > 0) {
    QApplication::restoreOverrideCursor();
    --busyDepth_;
  }
}

void QtInteraction::showError(const std::string& text) { showErrorBox(owner_, boxText(text)); }

void QtInteraction::restoreCursor() {
  while (busyDepth_ > 0) setBusy(false);
}

}  // namespace tvi::gui
