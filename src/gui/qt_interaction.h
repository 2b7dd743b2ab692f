#pragma once
// The runs' questions and messages as Qt dialogs over the main window.

#include <QPointer>
#include <QWidget>
#include <filesystem>

#include "app/interaction.h"

namespace tvi {
class Report;
}

namespace tvi::gui {

class QtInteraction : public Interaction {
 public:
  // `owner` parents every dialog; help opened from the chooser is looked
  // for in `exeFolder`.
  QtInteraction(QWidget* owner, std::filesystem::path exeFolder);
  ~QtInteraction() override;

  std::optional<std::filesystem::path> openXmlFile() override;
  void showChooser(ChooserModel& chooser) override;
  Answer confirm(const std::string& text) override;
  void message(const std::string& text) override;
  void setBusy(bool busy) override;

  // The error box of a failed run.
  void showError(const std::string& text);

  // The report of the run in progress: the final message offers its lines.
  void setReport(const Report* report) { report_ = report; }

  // Takes back every busy cursor still set, whatever path the run took.
  void restoreCursor();
  int busyDepth() const { return busyDepth_; }

 private:
  QPointer<QWidget> owner_;
  std::filesystem::path exeFolder_;
  const Report* report_ = nullptr;
  int busyDepth_ = 0;
};

}  // namespace tvi::gui
