#pragma once
#include <QDialog>
#include <array>
#include <functional>
#include <string>

#include "analysis/ListingSettings.h"
#include "config/ListingSettingsFile.h"

class QAction;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPushButton;
class QWidget;
class QWindow;

namespace tabulex {

class TRadioGroup;

/// The configuration window: edits the Listing settings through its controls, shows a live
/// eight-line example built from the controls, and saves and reads the settings file.
///
/// The controls are the working state. Nothing reaches the Listing settings until
/// `BB_okClick` ("Efetivar"), except that "Ler" reads the file straight into them and that a
/// change of the column choice is handed to the columns hook at once.
class TF_config : public QDialog {
    Q_OBJECT
public:
    /// Outer size of the window, frame included.
    static constexpr int kOuterWidth = 505;
    static constexpr int kOuterHeight = 495;

    /// `settings` are the program-wide Listing settings; they must outlive the window.
    explicit TF_config(TListingSettings& settings, QWidget* parent = nullptr);
    ~TF_config() override;

    /// Called with the report's column count (1 or 2) whenever the column choice changes.
    void setColumnsHook(std::function<void(int columns)> hook);
    /// The report font chosen with "Fonte" (none when the user never chose one), written by
    /// "Salvar"; and where "Ler" hands a report font found in the settings file.
    void setReportFontHooks(std::function<std::optional<TReportFontSpec>()> chosen,
                            std::function<void(const TReportFontSpec&)> apply);
    /// The About window shown by "Sobre" (not owned).
    void setAboutWindow(QDialog* about);
    /// The settings file written by "Salvar" and read by "Ler".
    void setSettingsPath(std::string path);
    const std::string& settingsPath() const { return settingsPath_; }
    /// The executable's path with its extension replaced by ".ini" (or ".ini" appended) when
    /// its folder can be written, otherwise userSettingsPath().
    static std::string defaultSettingsPath();
    /// The settings file in the user's configuration folder ($XDG_CONFIG_HOME/tabulex/tabulex.ini).
    static std::string userSettingsPath();

    /// The Listing settings as the controls show them now.
    TListingSettings controlSettings() const;

    // Operations and event handlers of the window.
    void FormActivate();     ///< loads every control from the Listing settings
    void montar_exemplo();   ///< rebuilds the example from the controls
    void BB_okClick();       ///< stores every control into the Listing settings
    void BB_defaultClick();  ///< puts the default values into the controls only
    void BB_salvarClick();   ///< writes the controls to the settings file
    void BB_lerClick();      ///< reads the settings file into the Listing settings, then loads
    void RG_colunasClick();  ///< hands the chosen column count to the columns hook
    void CB_linhasClick();   ///< couples "Nr. linha inicial" to "Numerar linhas"
    void Sobre1Click();      ///< shows the About window modally

    // Menu.
    QMenuBar* MainMenu1;
    QMenu* Arquivos1;
    QAction* SalvarConfiguracao1;
    QAction* LerConfiguracao1;
    QAction* ConfiguracaoPadrao1;
    QAction* EfetivarConfiguracao1;
    QAction* N1;
    QAction* Sair1;
    QMenu* Ajuda1;
    QAction* Sobre1;

    /// Client area below the menu; every control's position is relative to it or its group.
    QWidget* ClientArea;

    // Button bar.
    QFrame* Panel1;
    QPushButton* BB_ok;
    QPushButton* BB_cancel;
    QPushButton* BB_default;
    QPushButton* BB_salvar;
    QPushButton* BB_ler;

    // Numbering.
    QGroupBox* GroupBox3;
    QCheckBox* CB_linhas;
    QCheckBox* CB_final;

    // Level style.
    TRadioGroup* RG_tipo_ident;

    // Markers.
    QGroupBox* GroupBox1;
    QLineEdit* E_col;
    QLineEdit* E_begin;
    QLineEdit* E_prenivel;
    QLineEdit* E_sufnivel;
    QLineEdit* E_preend;
    QLineEdit* E_sufend;
    QLineEdit* E_suffnivel;
    QLineEdit* E_prefnivel;
    QLabel* Label1;  ///< "Coluna de nível"
    QLabel* Label2;  ///< "Begin"
    QLabel* Label3;  ///< "Início. nível"
    QLabel* Label4;  ///< "Antes Nr. fim bloco"
    QLabel* Label5;  ///< "Depois Nr.fim bloco"
    QLabel* Label6;  ///< "Fim  nível"
    QLabel* Label8;  ///< "Antes"
    QLabel* Label9;  ///< "Depois"

    // Example.
    QGroupBox* GroupBox2;
    QLabel* L_linha1;
    QLabel* L_linha2;
    QLabel* L_linha3;
    QLabel* L_linha4;
    QLabel* L_linha5;
    QLabel* L_linha6;
    QLabel* L_linha7;
    QLabel* L_linha8;
    QLabel* L_ident1;
    QLabel* L_ident2;
    QLabel* L_ident3;
    QLabel* L_ident4;
    QLabel* L_ident5;
    QLabel* L_ident6;
    QLabel* L_ident7;
    QLabel* L_ident8;
    QLabel* Label7;  ///< the sample source text
    QLabel* L_final1;
    QLabel* L_final2;

    // Report.
    QGroupBox* GroupBox4;
    QCheckBox* CB_list;
    QCheckBox* CB_xref;
    QCheckBox* CB_proc;
    QCheckBox* CB_unit;
    TRadioGroup* RG_colunas;

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    /// Puts `values` into the sixteen controls, in the fixed order.
    void loadControls(const TListingSettings& values);
    void buildMenu();
    void buildButtonBar();
    void buildNumbering();
    void buildMarkers();
    void buildExample();
    void buildReport();
    void setTabOrders();
    void connectChanges();
    void applyOuterGeometry(bool centre);
    void noteFocusWindow(QWindow* window);
    std::array<QLabel*, 8> numberLabels() const;
    std::array<QLabel*, 8> levelLabels() const;

    TListingSettings& settings_;
    std::function<void(int)> columnsHook_;
    std::function<std::optional<TReportFontSpec>()> chosenFont_;
    std::function<void(const TReportFontSpec&)> applyFont_;
    QDialog* about_ = nullptr;
    std::string settingsPath_;
    bool reloadOnActivate_ = false;
    bool inOwnMessage_ = false;
};

}  // namespace tabulex
