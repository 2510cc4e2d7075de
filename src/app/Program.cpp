#include "Program.h"

#include <QApplication>

#include "princ.h"

namespace tabulex {

TProgram::TProgram() : F_tabulan(std::make_unique<TF_tabulan>()) {}

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
