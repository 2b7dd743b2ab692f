#pragma once
// The three kinds of box a person sees: plain messages, the error box of a
// failed run, and the questions. Texts come from the core in UTF-8 with
// CR LF line breaks.

#include <QString>
#include <QStringList>
#include <string>

#include "app/interaction.h"

class QWidget;

namespace tvi::gui {

// The core's text as a box shows it (CR LF and lone CR become line feeds).
QString boxText(const std::string& text);

// Application title, no icon, one button "Aceptar". When `details` is not
// empty the box also offers "Mostrar detalles", which unfolds them below.
void showPlainMessage(QWidget* parent, const QString& text, const QStringList& details = {});

// Application title, error icon, one button "Aceptar".
void showErrorBox(QWidget* parent, const QString& text);

// "Confirmación", question icon, "&Si" (default) and "&No" (Escape). The
// close box answers Closed, which each question reads in its own way.
Interaction::Answer askConfirmation(QWidget* parent, const QString& text);

}  // namespace tvi::gui
