#pragma once
#include <QDialog>
#include <array>
#include <functional>
#include <string>

#include "analysis/ListingSettings.h"
#include "config/ListingSettingsFile.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;
class QWidget;
class QWindow;

namespace tabulex {

class TRadioGroup;

/// The configuration window: edits the Listing settings through its controls, shows a live
/// eight-line example built from the controls, and saves and reads the settings file.
///
/// The controls are the working state. Every opening loads them from the Listing settings,
/// and nothing reaches the Listing settings until "Efetivar", except that "Ler" reads the file
/// straight into them and that a change of the column choice is handed to the columns hook at
/// once. Each control carries its name as object name ("E_begin", "RG_colunas", "BB_ok", ...).
class TF_config : public QDialog {
    Q_OBJECT
public:
    /// `settings` are the program-wide Listing settings; they must outlive the window.
    explicit TF_config(TListingSettings& settings, QWidget* parent = nullptr);
    ~TF_config() override;

    /// Called with the report's column count (1 or 2) whenever the column choice changes.
    void setColumnsHook(std::function<void(int columns)> hook);
    /// The report font chosen with "Fonte" (none when the user never chose one), written by
    /// "Salvar"; and where "Ler" hands a report font found in the settings file.
    void setReportFontHooks(std::function<std::optional<TReportFontSpec>()> chosen,
                            std::function<void(const TReportFontSpec&)> apply);
    /// The same for the report's theme (key `tema`).
    void setReportThemeHooks(std::function<std::optional<TReportTheme>()> chosen,
                             std::function<void(TReportTheme)> apply);
    /// The About window shown by "Sobre" (not owned).
    void setAboutWindow(QDialog* about);
    /// The settings file written by "Salvar" and read by "Ler". At first it is the executable's
    /// path with its extension replaced by ".ini" (or ".ini" appended) when its folder can be
    /// written, otherwise $XDG_CONFIG_HOME/tabulex/tabulex.ini.
    void setSettingsPath(std::string path);
    const std::string& settingsPath() const { return settingsPath_; }

private:
    // Event handlers.
    void FormActivate();     ///< loads every control from the Listing settings
    void montar_exemplo();   ///< rebuilds the example from the controls
    void BB_okClick();       ///< stores every control into the Listing settings
    void BB_defaultClick();  ///< puts the default values into the controls only
    void BB_salvarClick();   ///< writes the controls to the settings file
    void BB_lerClick();      ///< reads the settings file into the Listing settings, then loads
    void RG_colunasClick();  ///< hands the chosen column count to the columns hook
    void CB_linhasClick();   ///< couples "Nr. linha inicial" to "Numerar linhas"
    void Sobre1Click();      ///< shows the About window modally
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

    /// The Listing settings as the controls show them now.
    TListingSettings controlSettings() const;
    /// Puts `values` into the sixteen controls, in the fixed order.
    void loadControls(const TListingSettings& values);
    void buildMenu(QVBoxLayout* layout);
    void buildButtonBar(QWidget* client);
    void buildNumbering(QWidget* client);
    void buildMarkers(QWidget* client);
    void buildExample(QWidget* client);
    void buildReport(QWidget* client);
    void setTabOrders();
    void connectChanges();
    void applyOuterGeometry(bool centre);
    void noteFocusWindow(QWindow* window);

    // The controls the handlers and the tab order work with; the menu, the group boxes and the
    // captions are made and left to the window.
    QPushButton* BB_ok;
    QPushButton* BB_cancel;
    QPushButton* BB_default;
    QPushButton* BB_salvar;
    QPushButton* BB_ler;
    QCheckBox* CB_linhas;
    QCheckBox* CB_final;
    TRadioGroup* RG_tipo_ident;
    QLineEdit* E_col;
    QLineEdit* E_begin;
    QLineEdit* E_prenivel;
    QLineEdit* E_sufnivel;
    QLineEdit* E_preend;
    QLineEdit* E_sufend;
    QLineEdit* E_suffnivel;
    QLineEdit* E_prefnivel;
    std::array<QLabel*, 8> numberLabels_;  ///< the example's L_linha1 .. L_linha8
    std::array<QLabel*, 8> levelLabels_;   ///< the example's L_ident1 .. L_ident8
    QLabel* L_final1;
    QLabel* L_final2;
    QCheckBox* CB_list;
    QCheckBox* CB_xref;
    QCheckBox* CB_proc;
    QCheckBox* CB_unit;
    TRadioGroup* RG_colunas;

    TListingSettings& settings_;
    std::function<void(int)> columnsHook_;
    std::function<std::optional<TReportFontSpec>()> chosenFont_;
    std::function<void(const TReportFontSpec&)> applyFont_;
    std::function<std::optional<TReportTheme>()> chosenTheme_;
    std::function<void(TReportTheme)> applyTheme_;
    QDialog* about_ = nullptr;
    std::string settingsPath_;
    bool reloadOnActivate_ = false;
    bool inOwnMessage_ = false;
};

}  // namespace tabulex
