#include "Program.h"

#include <QApplication>

#include "config.h"
#include "princ.h"
#include "report/form/r_dif.h"
#include "sobre.h"

namespace tabulex {

TProgram::TProgram()
    : F_tabulan(std::make_unique<TF_tabulan>()),
      F_sobre(std::make_unique<TF_sobre>()),
      F_dif(std::make_unique<TF_dif>()),
      F_config(std::make_unique<TF_config>(ListingSettings))
{
    F_tabulan->setReportForm(F_dif.get());
    F_config->setColumnsHook([this](int columns) { F_dif->set_colunas(columns); });
    F_tabulan->setConfigWindow(F_config.get());
    F_tabulan->setAboutWindow(F_sobre.get());
    F_config->setAboutWindow(F_sobre.get());
}

TProgram::~TProgram() = default;

int run_program(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vorn Tabulan"));
    TProgram program;
    program.mainWindow().show();
    return QApplication::exec();
}

}  // namespace tabulex
