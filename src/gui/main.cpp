// TransVelmarItaca: the desktop window over the two conversion runs.
#include <QApplication>

#include "gui/app_identity.h"
#include "gui/mainform.h"
#include "gui/qt_text.h"
#include "gui/spanish_texts.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // The application's title; not Qt's display name, which some platforms
  // append to every window caption.
  QApplication::setApplicationName(QString::fromUtf8(tvi::gui::kAppTitle));
  tvi::gui::installSpanishTexts(app);

  tvi::gui::TMForm MForm(QApplication::arguments().mid(1),
                         tvi::gui::toPath(QApplication::applicationDirPath()));
  QObject::connect(&MForm, &tvi::gui::TMForm::closed, &app, &QApplication::quit,
                   Qt::QueuedConnection);
  MForm.show();
  return app.exec();
}
