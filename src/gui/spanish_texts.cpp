#include "gui/spanish_texts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstring>

namespace tvi::gui {

namespace {

struct Text {
  const char* context;
  const char* source;
  const char* spanish;
};

constexpr Text kTexts[] = {
    {"QMessageBox", "Show Details...", "Mostrar detalles"},
    {"QMessageBox", "Hide Details...", "Ocultar detalles"},
};

class OwnTexts : public QTranslator {
 public:
  using QTranslator::QTranslator;
  bool isEmpty() const override { return false; }
  QString translate(const char* context, const char* source, const char*, int) const override {
    for (const Text& text : kTexts) {
      if (std::strcmp(context, text.context) == 0 && std::strcmp(source, text.source) == 0)
        return QString::fromUtf8(text.spanish);
    }
    return {};
  }
};

}  // namespace

void installSpanishTexts(QCoreApplication& app) {
  auto* qtCatalogue = new QTranslator(&app);
  if (qtCatalogue->load(QStringLiteral("qtbase_es"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QCoreApplication::installTranslator(qtCatalogue);
  // Installed last, so it is asked first.
  QCoreApplication::installTranslator(new OwnTexts(&app));
}

}  // namespace tvi::gui
