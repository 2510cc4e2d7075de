#pragma once
#include <memory>
#include <string>
#include <vector>

#include "app/Session.h"

class QTranslator;

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
    TF_dif& reportForm() { return *F_dif; }
    TF_config& configWindow() { return *F_config; }
    TSession& session() { return session_; }

    /// Loads the file named by the command-line arguments (program name excluded) as
    /// "&Carregar" would: the first argument not starting with "-", or the one after "--". A
    /// folder or a program file (.dpr, .lpr) is opened as a project, as "Abrir projeto" would;
    /// a saved report file (".rpf" in any case) opens in a preview window of its own.
    /// Without such an argument nothing happens.
    void openArguments(const std::vector<std::string>& arguments);

private:
    TSession session_;  ///< made before the windows, which work on it
    std::unique_ptr<TF_tabulan> F_tabulan;
    std::unique_ptr<TF_sobre> F_sobre;
    std::unique_ptr<TF_dif> F_dif;
    std::unique_ptr<TF_config> F_config;
};

/// The toolkit's own Brazilian Portuguese translations (standard dialogs, buttons and their
/// messages) from the toolkit's translations folder; null when they are not installed.
std::unique_ptr<QTranslator> load_toolkit_translations();

/// Program start: initialises the application, titles it "Vorn Tabulan", creates the windows,
/// restores what was kept from the last run, shows the main window, loads the file named on
/// the command line, if any, and runs the event loop until the window closes.
int run_program(int argc, char** argv);

}  // namespace tabulex
