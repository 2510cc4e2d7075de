#include "app/Program.h"

#include <QApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QTranslator>
#include <filesystem>

#include "about/sobre.h"
#include "app/DesktopState.h"
#include "app/princ.h"
#include "config/config.h"
#include "report/form/r_dif.h"
#include "report/preview/TRpReportPreview.h"

namespace tabulex {

TProgram::TProgram()
    : F_tabulan(std::make_unique<TF_tabulan>(session_)),
      F_sobre(std::make_unique<TF_sobre>()),
      F_dif(std::make_unique<TF_dif>()),
      F_config(std::make_unique<TF_config>(session_.settings()))
{
    F_tabulan->setReportForm(F_dif.get());
    F_config->setColumnsHook([this](int columns) { F_dif->set_colunas(columns); });
    F_config->setReportFontHooks(
        [this] { return F_tabulan->chosenReportFont(); },
        [this](const TReportFontSpec& font) { F_tabulan->applyReportFont(font); });
    F_config->setReportThemeHooks(
        [this] { return F_tabulan->chosenReportTheme(); },
        [this](TReportTheme theme) { F_tabulan->applyReportTheme(theme); });
    F_tabulan->setConfigWindow(F_config.get());
    F_tabulan->setAboutWindow(F_sobre.get());
    F_config->setAboutWindow(F_sobre.get());
}

TProgram::~TProgram() = default;

void TProgram::openArguments(const std::vector<std::string>& arguments)
{
    // The dialog gives full paths; a name given relative to the working folder is made one too.
    // A folder or a program file opens the whole program, a saved report file the preview; any
    // other file is loaded alone.
    const auto load = [this](const std::string& path) {
        std::error_code error;
        const std::filesystem::path full = std::filesystem::absolute(path, error);
        const std::string name = error ? path : full.lexically_normal().string();
        if (QFile::decodeName(name.c_str()).endsWith(QStringLiteral(".rpf"), Qt::CaseInsensitive))
            PreviewFile(QFile::decodeName(name.c_str()));
        else
            F_tabulan->openPath(name);
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--") {
            if (i + 1 < arguments.size())
                load(arguments[i + 1]);
            return;
        }
        if (!argument.empty() && argument.front() != '-') {
            load(argument);
            return;
        }
    }
}

std::unique_ptr<QTranslator> load_toolkit_translations()
{
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qtbase_pt_BR"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return nullptr;
    return translator;
}

int run_program(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vorn Tabulan"));
    const std::unique_ptr<QTranslator> translations = load_toolkit_translations();
    if (translations)
        QCoreApplication::installTranslator(translations.get());
    TDesktopState state(TDesktopState::defaultPath());
    TProgram program;
    program.mainWindow().setDesktopState(&state);
    program.mainWindow().show();
    // The toolkit has taken its own options out of argv by now; file names stay as bytes.
    program.openArguments(std::vector<std::string>(argv + 1, argv + argc));
    const int result = QApplication::exec();
    program.mainWindow().setDesktopState(nullptr);
    return result;
}

}  // namespace tabulex
