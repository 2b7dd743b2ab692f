#include "gui/mainform.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QWindow>
#include <exception>

#include "app/command_line.h"
#include "app/velmaran_ini.h"
#include "export/export_run.h"
#include "gui/dialog_owner.h"
#include "gui/help.h"
#include "gui/look.h"
#include "gui/messages.h"
#include "gui/qt_text.h"
#include "import/import_run.h"
#include "tables/catalogue.h"

namespace tvi::gui {

namespace {

constexpr int kClientWidth = 632;
constexpr int kClientHeight = 266;

const QColor kDirectionTop{0xF9, 0xD3, 0x7D};
const QColor kDirectionBottom{0xFF, 0xEE, 0xDD};
const QColor kStripTop{0xC2, 0xCD, 0xFE};
const QColor kStripMiddle{0xCF, 0xF2, 0xFE};
const QColor kStripBottom{0xCC, 0xD8, 0xE6};

std::vector<std::string> toStrings(const QStringList& list) {
  std::vector<std::string> result;
  for (const QString& s : list) result.push_back(utf8(s));
  return result;
}

}  // namespace

TMForm::TMForm(const QStringList& params, std::filesystem::path exeFolder, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      exeFolder_(std::move(exeFolder)),
      ui_(this, exeFolder_) {
  setObjectName("MForm");
  setWindowTitle(QStringLiteral("Exportar e importar datos entre Velmaran e ITACA"));
  setFont(formFont());
  setHelpContext(this, 1);
  setFixedSize(kClientWidth, kClientHeight);
  move(194, 167);

  Draw3D2 = new GradientPanel(kDirectionTop, colour::white, kDirectionBottom, this);
  Draw3D2->setObjectName("Draw3D2");
  Draw3D2->setGeometry(0, 0, 315, 169);
  setHelpContext(Draw3D2, 3);
  const LabelStyle heading{arialFont(16), colour::black, /*transparent=*/true, /*wordWrap=*/true};
  Label3 = makeLabel(Draw3D2, "Label3", {24, 24, 265, 57},
                     QStringLiteral("Transformar datos desde ITACA hacia Velmaran "), heading);
  Label9 = makeLabel(Draw3D2, "Label9", {6, 73, 113, 13}, QStringLiteral("Recoger Textos en:"),
                     {boldFormFont(), colour::red});
  ComboBoxValCast = new QComboBox(Draw3D2);
  ComboBoxValCast->setObjectName("ComboBoxValCast");
  ComboBoxValCast->setGeometry(168, 68, 133, 21);
  ComboBoxValCast->setEditable(true);
  ComboBoxValCast->setInsertPolicy(QComboBox::NoInsert);
  ComboBoxValCast->setFont(boldFormFont());
  {
    QPalette palette = ComboBoxValCast->palette();
    palette.setColor(QPalette::Base, colour::white);
    palette.setColor(QPalette::Text, colour::black);
    ComboBoxValCast->setPalette(palette);
  }
  ComboBoxValCast->addItems({QString::fromUtf8(kValenciano), QString::fromUtf8(kCastellano)});
  ComboBoxValCast->setCurrentText(QString::fromUtf8(kValenciano));
  setHelpContext(ComboBoxValCast, 1);
  BExportar = makeButton(Draw3D2, "BExportar", {96, 120, 89, 25}, QStringLiteral("Aceptar"),
                         Glyph::Ok, 3);

  Draw3D3 = new GradientPanel(kDirectionTop, colour::white, kDirectionBottom, this);
  Draw3D3->setObjectName("Draw3D3");
  Draw3D3->setGeometry(316, 0, 317, 169);
  setHelpContext(Draw3D3, 3);
  Label4 = makeLabel(Draw3D3, "Label4", {8, 24, 305, 57},
                     QStringLiteral("Transformar datos desde Velmaran hacia ITACA"), heading);
  BImportar = makeButton(Draw3D3, "BImportar", {96, 120, 89, 25}, QStringLiteral("Aceptar"),
                         Glyph::Ok, 3);

  Draw3D1 = new GradientPanel(kStripTop, kStripMiddle, kStripBottom, this);
  Draw3D1->setObjectName("Draw3D1");
  Draw3D1->setGeometry(0, 168, 633, 97);
  setHelpContext(Draw3D1, 3);
  Label1 = makeLabel(Draw3D1, "Label1", {8, 72, 223, 13},
                     QStringLiteral("TransVelmaranITACA para LX40 V-1.0"),
                     {boldFormFont(), colour::red, /*transparent=*/true});
  BClose = makeButton(Draw3D1, "BClose", {256, 32, 89, 25}, QStringLiteral("&Salir"),
                      Glyph::Close, 3);
  Button1 = makeButton(Draw3D1, "Button1", {48, 40, 75, 25}, QStringLiteral("F1 Ayuda"),
                       Glyph::None, 1);
  ListBoxPlanti = new QListWidget(Draw3D1);
  ListBoxPlanti->setObjectName("ListBoxPlanti");
  ListBoxPlanti->setGeometry(576, 4, 49, 29);
  ListBoxPlanti->hide();

  connect(BExportar, &QPushButton::clicked, this, &TMForm::BExportarClick);
  connect(BImportar, &QPushButton::clicked, this, &TMForm::BImportarClick);
  connect(BClose, &QPushButton::clicked, this, &QWidget::close);
  connect(Button1, &QPushButton::clicked, this, &TMForm::Button1Click);
  auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(f1, &QShortcut::activated, this, &TMForm::helpKey);

  FormCreate(params);
}

TMForm::~TMForm() {
  if (host_ != nullptr) {
    // Our native window is a child of the host's: it must go first, or the
    // host's wrapper would take it along.
    destroy();
    delete host_;
  }
}

void TMForm::FormCreate(const QStringList& params) {
  state_.ResultadoTransformacion = 0;
  state_.tablesFolder = resolveTablesFolder();
  const CommandLine command = parseCommandLine(toStrings(params));
  if (!command.error.empty()) {
    showErrorBox(nullptr, boxText(command.error));
  } else if (command.host) {
    hostHandOff(*command.host);
  }
}

void TMForm::hostHandOff(const HostRequest& request) {
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
  host_ = QWindow::fromWinId(static_cast<WId>(request.handle));
  if (host_ != nullptr) {
    winId();
    windowHandle()->setParent(host_);
    setHostWindow(host_);
  }
  move(0, 0);
  state_.NumParametros = 2;
  const QRect whole(0, 0, kClientWidth, kClientHeight);
  if (request.panel == HostPanel::Importar) {
    Draw3D2->hide();
    Draw3D3->setGeometry(whole);
  } else if (request.panel == HostPanel::Exportar) {
    Draw3D3->hide();
    Draw3D2->setGeometry(whole);
  }
  // The bottom strip, with "&Salir" and the help, stays in front.
  Draw3D1->raise();
}

void TMForm::BExportarClick() { runConversion<ImportRun>(); }

void TMForm::BImportarClick() { runConversion<ExportRun>(); }

template <class Run>
void TMForm::runConversion() {
  if (running_) return;
  running_ = true;
  state_.language = utf8(ComboBoxValCast->currentText());
  report_.clear();
  ui_.setReport(&report_);
  bool ended = false;
  try {
    Run run(state_, ui_, report_);
    run.run();
    ended = true;
  } catch (const std::exception& e) {
    ui_.restoreCursor();
    showState();
    ui_.showError(e.what());
  }
  ui_.restoreCursor();
  ui_.setReport(nullptr);
  showState();
  running_ = false;
  if (ended && state_.hostMode()) close();
}

void TMForm::showState() {
  ComboBoxValCast->setCurrentText(qs(state_.language));
  ListBoxPlanti->clear();
  for (const std::string& line : state_.ListBoxPlanti) ListBoxPlanti->addItem(qs(line));
}

void TMForm::Button1Click() { openHelp(this, exeFolder_, 0); }

void TMForm::helpKey() { openHelp(this, exeFolder_, helpContextOf(focusWidget() ? focusWidget() : this)); }

void TMForm::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();
  emit closed();
}

void TMForm::FormClose() {
  if (closed_) return;
  closed_ = true;
  if (!state_.hostMode()) return;
  try {
    writeOutcome(exeFolder_, state_.ResultadoTransformacion);
  } catch (const std::exception& e) {
    // Velmaran reads no flag then; the person must know, and the window
    // closes all the same.
    showErrorBox(this, boxText(e.what()));
  }
}

}  // namespace tvi::gui
