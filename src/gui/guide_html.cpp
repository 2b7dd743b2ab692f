// Build tool: turns the coordinator's guide from Markdown into the HTML page
// shipped beside the program.
//   tvi_guide_html guia.md guia.html
#include <QFile>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QTextDocument>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "uso: tvi_guide_html ENTRADA.md SALIDA.html\n");
    return 2;
  }
  // Fonts are needed to lay out a document; no screen is.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  int qtArgc = 1;
  QGuiApplication app(qtArgc, argv);

  QFile in(QString::fromLocal8Bit(argv[1]));
  if (!in.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "tvi_guide_html: no se puede leer %s\n", argv[1]);
    return 1;
  }
  QTextDocument document;
  document.setMarkdown(QString::fromUtf8(in.readAll()));

  QString html = document.toHtml();
  // A page for a browser: a title, and the reader's own font at a readable
  // size in place of the one a rich-text widget would use.
  html.replace(QStringLiteral("<head>"),
               QStringLiteral("<head><title>Guía de TransVelmarItaca</title>"));
  html.replace(QRegularExpression(QStringLiteral("<body style=\"[^\"]*\">")),
               QStringLiteral("<body style=\"font-family: sans-serif; font-size: 11pt; "
                              "max-width: 46em; margin: 1.5em auto; padding: 0 1em;\">"));
  QFile out(QString::fromLocal8Bit(argv[2]));
  if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    std::fprintf(stderr, "tvi_guide_html: no se puede escribir %s\n", argv[2]);
    return 1;
  }
  out.write(html.toUtf8());
  return out.error() == QFile::NoError ? 0 : 1;
}
