#pragma once
#include <memory>

namespace tabulex {

class TF_config;
class TF_dif;
class TF_sobre;
class TF_tabulan;

/// The program's windows, created once at start in their fixed order and wired together.
/// They live until the program ends.
class TProgram {
public:
    TProgram();
    ~TProgram();
    TProgram(const TProgram&) = delete;
    TProgram& operator=(const TProgram&) = delete;

    TF_tabulan& mainWindow() { return *F_tabulan; }
    TF_sobre& aboutWindow() { return *F_sobre; }
    TF_dif& reportForm() { return *F_dif; }
    TF_config& configWindow() { return *F_config; }

private:
    std::unique_ptr<TF_tabulan> F_tabulan;
    std::unique_ptr<TF_sobre> F_sobre;
    std::unique_ptr<TF_dif> F_dif;
    std::unique_ptr<TF_config> F_config;
};

/// Program start: initialises the application, titles it "Vorn Tabulan", creates the windows,
/// shows the main window and runs the event loop until it closes.
int run_program(int argc, char** argv);

}  // namespace tabulex
