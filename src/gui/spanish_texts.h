#pragma once
// The few texts of Qt's own dialogs that the program shows in Spanish
// whatever translations the system has: the details button of the final
// message box. Qt's Spanish catalogue, when installed, covers the rest.

class QCoreApplication;

namespace tvi::gui {

void installSpanishTexts(QCoreApplication& app);

}  // namespace tvi::gui
