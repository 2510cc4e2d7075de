#pragma once
#include <QMainWindow>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/ListingWriter.h"
#include "app/Session.h"
#include "config/ListingSettingsFile.h"
#include "project/ProjectIndex.h"
#include "widgets/TWideListBox.h"

class QAction;
class QDialog;
class QLabel;
class QMenu;
class QTabWidget;

namespace tabulex {

class TDependencyView;
class TDesktopState;
class TF_dif;
class TFindBar;
class TListBox;
class TProjectPanel;
class TReferencesPanel;

/// The main window: menu commands, the four result tabs, the "Projeto" tab of an open
/// project, the references panel and the status bar. It shows the session's loaded document;
/// the lists read their lines from it. The project views read the session's project index.
///
/// Each control and command carries its name as object name ("ListBox1", "Carregar1",
/// "FindBar1", "Projeto1", "Referencias1", ...); the status bar's panels are "StatusPanel0" to
/// "StatusPanel2".
class TF_tabulan : public QMainWindow {
    Q_OBJECT
public:
    explicit TF_tabulan(TSession& session, QWidget* parent = nullptr);
    ~TF_tabulan() override;

    /// The configuration window shown by "Configurar" (not owned).
    void setConfigWindow(QDialog* window) { config_ = window; }
    /// The About window shown by "S&obre" (not owned).
    void setAboutWindow(QDialog* window) { about_ = window; }
    /// The report form fed from the four lists by "Visão Prévia" (not owned).
    void setReportForm(TF_dif* form);
    /// The report font chosen with "&Fonte" or read from the settings file, if any.
    std::optional<TReportFontSpec> chosenReportFont() const { return session_.reportFont(); }
    /// Gives the listing and the report's text `font`, as choosing it with "&Fonte" does; a
    /// font without a size keeps the listing's size.
    void applyReportFont(const TReportFontSpec& font);
    /// The report theme chosen under "Relatório" or read from the settings file, if any.
    std::optional<TReportTheme> chosenReportTheme() const { return session_.reportTheme(); }
    /// Gives the report `theme`, as choosing it under "Relatório" does.
    void applyReportTheme(TReportTheme theme);

    /// Reads and analyses `path` with the session's settings and, when that succeeds, shows
    /// it: the listing in ListBox1, the status bar, then carrega_var. The window stays painted
    /// while the file is read (a busy cursor shows). Throws EFOpenError when the file cannot
    /// be read, leaving the document shown, every list and the status bar as they were.
    void carregar_arq(const std::string& path);

    /// Loads a file as a confirmed "&Carregar" would (also used for dropped files).
    void loadChosenFile(const QString& path);
    /// The same for a path given as local file name bytes (the command line, recent files).
    void loadFilePath(const std::string& path);

    /// Opens a whole program: `path` is a program file (.dpr, .lpr, .dpk) or a folder whose
    /// Pascal sources make the program. Builds its index (Free Pascal's symbols, the program's
    /// folder as unit path) while the window stays painted, keeps it in the session and shows
    /// it on the "Projeto" tab; a program file is loaded into the listing too. When the project
    /// cannot be read, says so and keeps what was shown. False then.
    bool openProject(const std::string& path);
    /// Opens `path` as the command line and the recent files do: a folder or a program file
    /// (.dpr, .lpr, .dpk) as a project, any other file alone.
    void openPath(const std::string& path);

    /// Attaches what is kept between runs (not owned): restores the window's size and place
    /// and the recent files, and keeps them up to date from then on.
    void setDesktopState(TDesktopState* state);

    /// The context menu of a "Variáveis" or "Proc/Func" item: "Ir para a linha N" for each
    /// line the item names (empty for other items).
    std::unique_ptr<QMenu> lineMenu(TListBox* list, int row);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private slots:
    void FormCreate();
    void Carregar1Click();
    void Gravar1Click();
    void ExportarHTML1Click();
    void CoresListagem1Click(bool checked);
    void Fonte1Click();
    void Preview1Click();
    void ImprimirSelecao1Click();
    void Configurar1Click();
    void Sair1Click();
    void Sobre1Click();
    void Recarregar1Click();
    void Localizar1Click();
    void IrPara1Click();
    void AbrirProjeto1Click();
    void AbrirPasta1Click();
    void LocalizarReferencias1Click();
    void Voltar1Click();
    void Dependencias1Click();

private:
    /// Shows the loaded document's cross reference, routines and uses in listbox3, ListBox4
    /// and ListBox5.
    void carrega_var();
    /// Selects listing line `linha` (1-based; clamped to the listing) on the "Listagem" tab and
    /// scrolls it into view.
    void ir_para_linha(int linha);
    /// Finds the find bar's text in the list of the current tab, from its selected item on.
    /// Returns false when nothing matches.
    bool localizar(bool backward);
    void buildMenus();
    void buildTabs();
    void buildStatusBar();
    void buildNavigation();
    void enableFileCommands();
    /// Colours the listing from the document's token classes when colours are on.
    void colourListing();
    /// Runs a command and shows any error it raises in a message box; false after an error.
    bool guarded(const std::function<void()>& command);
    /// Loads `path` and shows it; on failure says so and keeps what was shown. False then.
    bool loadOrSay(const std::string& path);
    /// Builds the listing of the loaded file again, keeping the listing's top line, selection
    /// and horizontal position as far as the file still has them.
    void recarregar();
    /// Follows an item of "Variáveis" or "Proc/Func" to the first listing line it names.
    void followItem(TListBox* list, const QModelIndex& index);
    /// The source lines an item of "Variáveis" or "Proc/Func" names.
    std::vector<int> itemLines(TListBox* list, int row) const;
    /// Context menu of "Variáveis" and "Proc/Func": one entry per line the item names.
    void showLineMenu(TListBox* list, const QPoint& position);
    void rememberLoadedFile(const std::string& path);
    void rebuildRecentMenu();
    void useReportFont(const QFont& font);
    /// The index that covers the shown file: the project's when the file is one of its, else
    /// one made for the file alone (built now when `build`, else only if made before). Null
    /// without a document or when none is at hand.
    std::shared_ptr<const TProjectIndex> indexForShown(bool build);
    /// The id of the shown file in `index`, or kNoId.
    /// Builds the index of the program or folder `path` on a thread, `root` as its unit path.
    std::shared_ptr<const TProjectIndex> indexProject(const std::string& path,
                                                      const std::string& root);
    /// Makes `project` the open project: the session, the Projeto tab, the dependency picture
    /// and the listing's inactive lines.
    void showProject(std::shared_ptr<const TProjectIndex> project, const std::string& root);
    /// Indexes the open project again (after its shown file was read again).
    void reindexProject();
    /// Says that the project at `path` could not be opened, and why.
    void sayProjectFailed(const std::string& path, const QString& reason);
    /// Drops `path` from the recent files, when it is one.
    void forgetRecent(const std::string& path);
    std::uint32_t shownFileIn(const TProjectIndex& index) const;
    /// Shows file `path` in the listing at `line` (1-based), loading it unless it is the one
    /// shown. False when it cannot be loaded (the user was told).
    bool showFileAt(const std::string& path, int line);
    /// Goes to a reference: remembers where the listing was for "Voltar", then shows the place.
    void goToPlace(const std::string& path, int line, int column);
    /// The listing row and byte the last click or jump left the cursor at.
    struct TListingSpot {
        int row = -1;
        int byte = -1;
    };
    /// A place the listing showed, for "Voltar".
    struct TPlace {
        std::string path;
        int row = 0;
    };

    TSession& session_;
    QDialog* config_ = nullptr;
    QDialog* about_ = nullptr;
    TF_dif* report_ = nullptr;
    TDesktopState* state_ = nullptr;
    std::vector<std::string> recent_;
    /// The entries of the recent files in "&Arquivo", the latest first.
    QList<QAction*> recentActions_;
    TListingSpot spot_;
    std::vector<TPlace> history_;
    std::string projectPath_;  ///< the program file or folder of the open project
    /// The index made for the shown file alone, and the document it was made for.
    std::shared_ptr<const TProjectIndex> fileIndex_;
    std::weak_ptr<const TSourceDocument> fileIndexFor_;

    // Controls, named as the window defines them.
    QWidget* Panel1 = nullptr;
    QTabWidget* TabbedNotebook1 = nullptr;
    TWideListBox* ListBox1 = nullptr;
    TWideListBox* listbox3 = nullptr;
    TWideListBox* ListBox4 = nullptr;
    TListBox* ListBox5 = nullptr;
    QLabel* StatusPanels[3] = {nullptr, nullptr, nullptr};
    QMenu* Arquivo1 = nullptr;
    QMenu* Relatrio1 = nullptr;
    QMenu* Ajuda1 = nullptr;
    QAction* Carregar1 = nullptr;
    QAction* Gravar1 = nullptr;
    QAction* ExportarHTML1 = nullptr;
    QAction* CoresListagem1 = nullptr;  ///< "Colorir listagem" in the listing's context menu
    QAction* Sair1 = nullptr;
    QAction* Fonte1 = nullptr;
    QAction* Preview1 = nullptr;
    QAction* ImprimirSelecao1 = nullptr;  ///< "Imprimir seleção": the selected listing lines
    QAction* ListasSelecao1 = nullptr;    ///< "Listas com a seleção": the lists follow them
    QMenu* Tema1 = nullptr;               ///< "Tema": the report's theme
    QAction* TemaCores1 = nullptr;
    QAction* TemaCinza1 = nullptr;
    QAction* TemaNenhum1 = nullptr;
    QAction* Configurar1 = nullptr;
    QAction* Sobre1 = nullptr;
    QAction* Recarregar1 = nullptr;
    QMenu* Navegar1 = nullptr;
    QAction* Localizar1 = nullptr;
    QAction* LocalizarProxima1 = nullptr;
    QAction* LocalizarAnterior1 = nullptr;
    QAction* IrPara1 = nullptr;
    TFindBar* FindBar1 = nullptr;
    QAction* N2 = nullptr;
    QAction* AbrirProjeto1 = nullptr;
    QAction* AbrirPasta1 = nullptr;
    QAction* LocalizarReferencias1 = nullptr;  ///< Shift+F12, also in the listing's menu
    QAction* Voltar1 = nullptr;                ///< Alt+Left: back to before the last jump
    QAction* Dependencias1 = nullptr;
    TProjectPanel* Projeto1 = nullptr;
    TReferencesPanel* Referencias1 = nullptr;
    TDependencyView* F_dependencias = nullptr;  ///< made when first shown
};

/// Local file name bytes of a path chosen in a dialog, and back for display.
std::string localPath(const QString& path);
QString displayPath(const std::string& path);

}  // namespace tabulex
