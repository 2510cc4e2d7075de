#pragma once
#include <QMainWindow>
#include <functional>
#include <optional>
#include <string>

#include "ListingSettings.h"
#include "ListingSettingsFile.h"
#include "SourceEncoding.h"

class QAction;
class QDialog;
class QLabel;
class QMenu;
class QTabWidget;

namespace tabulex {

class TF_dif;
class TListBox;
class TWideListBox;

/// The program-wide Listing settings, read by the builders, the export and the report.
extern TListingSettings ListingSettings;
/// Full path of the file last confirmed in the open dialog (bytes of the local file name).
extern std::string arq_atual;

/// The main window: menu commands, the four result tabs and the status bar.
class TF_tabulan : public QMainWindow {
    Q_OBJECT
public:
    explicit TF_tabulan(QWidget* parent = nullptr);
    ~TF_tabulan() override;

    /// The configuration window shown by "Configurar" (not owned).
    void setConfigWindow(QDialog* window) { m_config = window; }
    /// The About window shown by "S&obre" (not owned).
    void setAboutWindow(QDialog* window) { m_about = window; }
    /// The report form fed from the four lists by "Visão Prévia" (not owned).
    void setReportForm(TF_dif* form);
    /// The report font chosen with "&Fonte" or read from the settings file, if any.
    std::optional<TReportFontSpec> chosenReportFont() const { return m_reportFont; }
    /// Gives the listing and the report's text `font`, as choosing it with "&Fonte" does; a
    /// font without a size keeps the listing's size.
    void applyReportFont(const TReportFontSpec& font);

    /// Builds the listing of `path` into ListBox1, writes the status bar, then runs carrega_var.
    /// Throws EFOpenError when the file cannot be read.
    void carregar_arq(const std::string& path);
    /// Fills listbox3, ListBox4 and ListBox5 from the declarations of `path`.
    void carrega_var(const std::string& path);

    /// Loads a file as a confirmed "&Carregar" would (also used for dropped files).
    void loadChosenFile(const QString& path);

    // Controls, named as the window defines them.
    QWidget* Panel1 = nullptr;
    QTabWidget* TabbedNotebook1 = nullptr;
    TWideListBox* ListBox1 = nullptr;
    TListBox* listbox3 = nullptr;
    TWideListBox* ListBox4 = nullptr;
    TListBox* ListBox5 = nullptr;
    QLabel* StatusPanels[3] = {nullptr, nullptr, nullptr};
    QMenu* Arquivo1 = nullptr;
    QMenu* Relatrio1 = nullptr;
    QMenu* Ajuda1 = nullptr;
    QAction* Carregar1 = nullptr;
    QAction* Gravar1 = nullptr;
    QAction* Sair1 = nullptr;
    QAction* Fonte1 = nullptr;
    QAction* Preview1 = nullptr;
    QAction* Configurar1 = nullptr;
    QAction* Sobre1 = nullptr;

public slots:
    void FormCreate();
    void Carregar1Click();
    void Gravar1Click();
    void Fonte1Click();
    void Preview1Click();
    void Configurar1Click();
    void Sair1Click();
    void Sobre1Click();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildMenus();
    void buildTabs();
    void buildStatusBar();
    void enableFileCommands();
    /// Runs a command and shows any error it raises in a message box.
    void guarded(const std::function<void()>& command);

    QDialog* m_config = nullptr;
    QDialog* m_about = nullptr;
    TF_dif* m_report = nullptr;
    /// Encoding of the loaded file, decided once from its bytes when it is listed.
    SourceEncoding m_sourceEncoding = SourceEncoding::Windows1252;
    std::optional<TReportFontSpec> m_reportFont;
    void useReportFont(const QFont& font);
};

/// Local file name bytes of a path chosen in a dialog, and back for display.
std::string localPath(const QString& path);
QString displayPath(const std::string& path);

}  // namespace tabulex
