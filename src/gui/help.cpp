#include "gui/help.h"

#include <QDesktopServices>
#include <QUrl>

#include "gui/app_identity.h"
#include "gui/messages.h"
#include "gui/qt_text.h"

namespace tvi::gui {

HelpShown openHelp(QWidget* parent, const std::filesystem::path& exeFolder, int context) {
  std::error_code ec;
  const std::filesystem::path chm = exeFolder / kHelpFile;
  if (std::filesystem::is_regular_file(chm, ec)) {
    if (showCompiledHelp(parent, qs(chm), context)) return HelpShown::HelpFile;
  }
  const std::filesystem::path guide = exeFolder / kGuideFile;
  if (std::filesystem::is_regular_file(guide, ec)) {
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(qs(guide)))) return HelpShown::Guide;
    showPlainMessage(parent, QStringLiteral("No se ha podido abrir la guía %1: el sistema no "
                                            "tiene ningún programa para abrirla.")
                                 .arg(qs(guide)));
    return HelpShown::Nothing;
  }
  showPlainMessage(parent,
                   QStringLiteral("No se encuentra la ayuda: faltan %1 y %2 en la carpeta del "
                                  "programa (%3).")
                       .arg(QString::fromUtf8(kHelpFile), QString::fromUtf8(kGuideFile),
                            qs(exeFolder)));
  return HelpShown::Nothing;
}

}  // namespace tvi::gui
