#include "gui/messages.h"

#include <QEvent>
#include <QMessageBox>
#include <QPushButton>

#include "gui/app_identity.h"
#include "gui/dialog_owner.h"
#include "gui/qt_text.h"

namespace tvi::gui {

namespace {

void prepare(QMessageBox& box, const char* objectName, const QString& text) {
  keepAboveHost(&box);
  box.setObjectName(objectName);
  box.setTextFormat(Qt::PlainText);
  box.setText(text);
}

// Tells a box closed by its close box from one answered with a key or a
// button: Qt hands both the escape button, but the runs treat them apart.
class CloseBoxWatch : public QObject {
 public:
  bool closed = false;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Close) closed = true;
    return false;
  }
};

}  // namespace

QString boxText(const std::string& text) {
  QString result = qs(text);
  result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  result.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return result;
}

void showPlainMessage(QWidget* parent, const QString& text, const QStringList& details) {
  QMessageBox box(QMessageBox::NoIcon, kAppTitle, QString(), QMessageBox::NoButton,
                  dialogParent(parent));
  prepare(box, "MessageBox", text);
  QPushButton* ok = box.addButton(QStringLiteral("Aceptar"), QMessageBox::AcceptRole);
  box.setDefaultButton(ok);
  box.setEscapeButton(ok);
  if (!details.isEmpty()) box.setDetailedText(details.join(QLatin1Char('\n')));
  box.exec();
}

void showErrorBox(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::Critical, kAppTitle, QString(), QMessageBox::NoButton,
                  dialogParent(parent));
  prepare(box, "ErrorBox", text);
  QPushButton* ok = box.addButton(QStringLiteral("Aceptar"), QMessageBox::AcceptRole);
  box.setDefaultButton(ok);
  box.setEscapeButton(ok);
  box.exec();
}

Interaction::Answer askConfirmation(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::Question, QStringLiteral("Confirmación"), QString(),
                  QMessageBox::NoButton,
                  dialogParent(parent));
  prepare(box, "Confirmacion", text);
  QPushButton* si = box.addButton(QStringLiteral("&Si"), QMessageBox::YesRole);
  QPushButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
  box.setDefaultButton(si);
  box.setEscapeButton(no);
  CloseBoxWatch watch;
  box.installEventFilter(&watch);
  box.exec();
  if (watch.closed) return Interaction::Answer::Closed;
  if (box.clickedButton() == si) return Interaction::Answer::Si;
  if (box.clickedButton() == no) return Interaction::Answer::No;
  return Interaction::Answer::Closed;
}

}  // namespace tvi::gui
