#include "config/config.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShowEvent>
#include <QStandardPaths>
#include <QStyle>
#include <QVBoxLayout>
#include <QValidator>
#include <QWindow>
#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "config/IniFile.h"
#include "config/ListingSettingsFile.h"
#include "config/SettingsLocation.h"
#include "config/TRadioGroup.h"
#include "dialogs/TDialogs.h"
#include "text/TextCodec.h"

namespace tabulex {

namespace {

// Outer size of the window, frame included.
constexpr int kOuterWidth = 505;
constexpr int kOuterHeight = 495;
// Frame assumed around the client area until the platform reports the real one.
const QMargins kAssumedFrame(4, 23, 4, 4);

constexpr int kEditWidth = 34;
constexpr int kEditHeight = 21;
constexpr int kColumnLimit = 5;
constexpr int kMarkerLimit = 10;

// Limits what the user can type to a number of characters, while a text the window puts into
// the field itself (for example one read from the settings file) may be longer.
class TypedLengthValidator : public QValidator {
public:
    TypedLengthValidator(int limit, QObject* parent)
        : QValidator(parent), limit_(limit), ceiling_(limit)
    {}

    /// Lets the field hold a text of `length` characters without refusing it.
    void allow(qsizetype length) { ceiling_ = std::max<qsizetype>(limit_, length); }

    State validate(QString& input, int&) const override
    {
        return input.size() <= ceiling_ ? Acceptable : Invalid;
    }

private:
    int limit_;
    qsizetype ceiling_;
};

// The example's code block: its lines stand at the same 16-pixel pitch as the number and
// level labels beside them, whatever line spacing the font has, so row 8 still lines up.
class PitchedLinesLabel : public QLabel {
public:
    static constexpr int kPitch = 16;
    static constexpr int kFirstLineOffset = 1;  // the number labels stand 1 pixel lower

    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setFont(font());
        painter.setPen(palette().color(foregroundRole()));
        const int height = fontMetrics().height();
        int top = kFirstLineOffset;
        for (const QString& line : text().split(QLatin1Char('\n'))) {
            painter.drawText(QRect(0, top, width(), height), Qt::AlignLeft | Qt::AlignTop, line);
            top += kPitch;
        }
    }
};

// Gives `object` its control name, by which it is found.
template <typename T>
T* named(T* object, const char* name)
{
    object->setObjectName(QLatin1String(name));
    return object;
}

QLineEdit* make_edit(QWidget* parent, const char* name, int left, int top, int limit,
                     const QString& text)
{
    auto* edit = named(new QLineEdit(text, parent), name);
    edit->setGeometry(left, top, kEditWidth, kEditHeight);
    auto* validator = new TypedLengthValidator(limit, edit);
    edit->setValidator(validator);
    // Shortening the text lowers the ceiling again, so the user cannot grow it past the limit.
    QObject::connect(edit, &QLineEdit::textChanged, validator,
                     [validator](const QString& t) { validator->allow(t.size()); });
    return edit;
}

void set_edit_text(QLineEdit* edit, const QString& text)
{
    for (QObject* child : edit->children())
        if (auto* validator = dynamic_cast<TypedLengthValidator*>(child))
            validator->allow(text.size());
    edit->setText(text);
}

QLabel* make_label(QWidget* parent, const char* name, const QString& text, int left, int top)
{
    auto* label = named(new QLabel(text, parent), name);
    label->move(left, top);
    label->adjustSize();
    return label;
}

// Sets a label's caption and sizes the label to it.
void set_caption(QLabel* label, const QString& text)
{
    label->setText(text);
    label->adjustSize();
}

QCheckBox* make_check(QWidget* parent, const char* name, const QString& caption, QRect geometry,
                      bool checked)
{
    auto* box = named(new QCheckBox(caption, parent), name);
    box->setGeometry(geometry);
    box->setChecked(checked);
    return box;
}

QPushButton* make_button(QWidget* parent, const char* name, const QString& caption, int left,
                         QStyle::StandardPixmap glyph)
{
    auto* button =
        named(new QPushButton(parent->style()->standardIcon(glyph), caption, parent), name);
    button->setGeometry(left, 4, 75, 25);
    button->setIconSize(QSize(16, 16));
    return button;
}

QString display(const std::string& bytes)
{
    return fromCp1252(bytes);
}

std::string bytes(const QLineEdit* edit)
{
    return toCp1252(edit->text());
}

const QStringList kCodeLines{
    QStringLiteral("Function Form1.IntPower (vlr,exp:integer):Integer; "),
    QStringLiteral("Var  F_int:integer;"),
    QStringLiteral("Begin"),
    QStringLiteral("    Result := 1;"),
    QStringLiteral("    For f_int := 1 To exp Do Begin"),
    QStringLiteral("        Result := Result * vlr;"),
    QStringLiteral("    End; "),
    QStringLiteral("End; "),
};

// The settings file in the user's configuration folder ($XDG_CONFIG_HOME/tabulex/tabulex.ini).
std::string user_settings_path()
{
    const QString userFolder =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (userFolder.isEmpty())
        return {};
    return QFile::encodeName(userFolder + QStringLiteral("/tabulex/tabulex.ini")).toStdString();
}

// The executable's path with its extension replaced by ".ini" (or ".ini" appended) when its
// folder can be written, otherwise user_settings_path().
std::string default_settings_path()
{
    std::filesystem::path beside(
        QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString());
    beside.replace_extension(".ini");
    return choose_settings_path(beside.string(), user_settings_path());
}

}  // namespace

TF_config::TF_config(TListingSettings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings), settingsPath_(default_settings_path())
{
    setWindowTitle(QStringLiteral("Configurações"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    // Where the window font is missing, prefer a face of like width to the toolkit's fallback.
    const QString windowFamily = QStringLiteral("MS Sans Serif");
    if (QFont::substitutes(windowFamily).isEmpty())
        QFont::insertSubstitutions(windowFamily,
                                   {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"),
                                    QStringLiteral("Liberation Sans")});
    setFont(QFont(windowFamily, 8));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildMenu(layout);
    // Client area below the menu; every control's position is relative to it or its group.
    auto* client = named(new QWidget(this), "ClientArea");
    layout->addWidget(client);

    // Created in tab order; setTabOrders states it once more.
    RG_tipo_ident = named(new TRadioGroup(QStringLiteral("Apresentação de Níveis"),
                                          {QStringLiteral("Com Colunas"),
                                           QStringLiteral("Só números"), QStringLiteral("Nenhum")},
                                          client),
                          "RG_tipo_ident");
    RG_tipo_ident->setGeometry(12, 98, 158, 76);
    RG_tipo_ident->setItemIndex(0);
    buildMarkers(client);
    buildExample(client);
    buildNumbering(client);
    buildReport(client);
    buildButtonBar(client);
    setTabOrders();
    connectChanges();

    applyOuterGeometry(false);
    connect(qApp, &QGuiApplication::focusWindowChanged, this, &TF_config::noteFocusWindow);
}

TF_config::~TF_config() = default;

void TF_config::buildMenu(QVBoxLayout* layout)
{
    auto* MainMenu1 = named(new QMenuBar(this), "MainMenu1");
    layout->setMenuBar(MainMenu1);
    const auto item = [this](QMenu* menu, const char* name, const QString& text, auto handler) {
        named(menu->addAction(text, this, handler), name);
    };
    QMenu* Arquivos1 = named(MainMenu1->addMenu(QStringLiteral("Arquivos")), "Arquivos1");
    item(Arquivos1, "SalvarConfiguracao1", QStringLiteral("Salvar Configuração"),
         &TF_config::BB_salvarClick);
    item(Arquivos1, "LerConfiguracao1", QStringLiteral("Ler Configuração"),
         &TF_config::BB_lerClick);
    item(Arquivos1, "ConfiguracaoPadrao1", QStringLiteral("Configuração Padrão"),
         &TF_config::BB_defaultClick);
    item(Arquivos1, "EfetivarConfiguracao1", QStringLiteral("Efetivar Configuração"),
         &TF_config::BB_okClick);
    named(Arquivos1->addSeparator(), "N1");
    // "Sair" leaves the window as "Cancelar" does.
    item(Arquivos1, "Sair1", QStringLiteral("Sair"), &QDialog::reject);
    QMenu* Ajuda1 = named(MainMenu1->addMenu(QStringLiteral("Ajuda")), "Ajuda1");
    item(Ajuda1, "Sobre1", QStringLiteral("Sobre"), &TF_config::Sobre1Click);
}

void TF_config::buildButtonBar(QWidget* client)
{
    auto* Panel1 = named(new QFrame(client), "Panel1");
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Raised);
    Panel1->setFixedHeight(34);
    auto* clientLayout = new QVBoxLayout(client);  // keeps the bar aligned to the top
    clientLayout->setContentsMargins(0, 0, 0, 0);
    clientLayout->addWidget(Panel1);
    clientLayout->addStretch();

    BB_ok = make_button(Panel1, "BB_ok", QStringLiteral("Efetivar"), 12, QStyle::SP_DialogOkButton);
    BB_cancel = make_button(Panel1, "BB_cancel", QStringLiteral("Cancelar"), 96,
                            QStyle::SP_DialogCancelButton);
    BB_default =
        make_button(Panel1, "BB_default", QStringLiteral("Default"), 179, QStyle::SP_BrowserReload);
    BB_default->setIconSize(QSize(18, 19));
    BB_salvar = make_button(Panel1, "BB_salvar", QStringLiteral("Salvar"), 262,
                            QStyle::SP_DialogSaveButton);
    BB_ler = make_button(Panel1, "BB_ler", QStringLiteral("Ler"), 346, QStyle::SP_DialogOpenButton);
    BB_ok->setDefault(true);

    connect(BB_ok, &QPushButton::clicked, this, [this] {
        BB_okClick();
        accept();
    });
    connect(BB_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(BB_default, &QPushButton::clicked, this, &TF_config::BB_defaultClick);
    connect(BB_salvar, &QPushButton::clicked, this, &TF_config::BB_salvarClick);
    connect(BB_ler, &QPushButton::clicked, this, &TF_config::BB_lerClick);
}

void TF_config::buildNumbering(QWidget* client)
{
    auto* GroupBox3 = named(new QGroupBox(client), "GroupBox3");
    GroupBox3->setGeometry(12, 34, 157, 66);
    CB_linhas = make_check(GroupBox3, "CB_linhas", QStringLiteral("Numerar linhas"),
                           {11, 15, 97, 17}, true);
    CB_final = make_check(GroupBox3, "CB_final", QStringLiteral("Nr. linha inicial"),
                          {11, 37, 97, 17}, true);
}

void TF_config::buildMarkers(QWidget* client)
{
    auto* GroupBox1 = named(new QGroupBox(QStringLiteral("Símbolos"), client), "GroupBox1");
    GroupBox1->setGeometry(176, 34, 309, 142);
    E_col = make_edit(GroupBox1, "E_col", 103, 10, kColumnLimit, QStringLiteral("|"));
    E_begin = make_edit(GroupBox1, "E_begin", 103, 36, kMarkerLimit, QStringLiteral(">>>"));
    E_prenivel = make_edit(GroupBox1, "E_prenivel", 232, 37, kMarkerLimit, QStringLiteral("{"));
    E_sufnivel = make_edit(GroupBox1, "E_sufnivel", 270, 37, kMarkerLimit, QStringLiteral("}"));
    E_preend = make_edit(GroupBox1, "E_preend", 104, 62, kMarkerLimit, QStringLiteral("///-"));
    E_sufend = make_edit(GroupBox1, "E_sufend", 104, 90, kMarkerLimit, QStringLiteral("-///"));
    E_suffnivel = make_edit(GroupBox1, "E_suffnivel", 270, 60, kMarkerLimit, QStringLiteral("}"));
    E_prefnivel = make_edit(GroupBox1, "E_prefnivel", 232, 61, kMarkerLimit, QStringLiteral("{"));

    make_label(GroupBox1, "Label1", QStringLiteral("Coluna de nível"), 9, 19);
    make_label(GroupBox1, "Label2", QStringLiteral("Begin"), 9, 43);
    make_label(GroupBox1, "Label3", QStringLiteral("Início. nível"), 149, 39);
    make_label(GroupBox1, "Label4", QStringLiteral("Antes Nr. fim bloco"), 9, 66);
    make_label(GroupBox1, "Label5", QStringLiteral("Depois Nr.fim bloco"), 8, 93);
    make_label(GroupBox1, "Label6", QStringLiteral("Fim  nível"), 148, 63);
    make_label(GroupBox1, "Label8", QStringLiteral("Antes"), 235, 19);
    make_label(GroupBox1, "Label9", QStringLiteral("Depois"), 269, 18);
}

void TF_config::buildExample(QWidget* client)
{
    auto* GroupBox2 = named(new QGroupBox(QStringLiteral("Exemplo : "), client), "GroupBox2");
    GroupBox2->setGeometry(12, 175, 474, 153);
    const QFont exampleFont(QStringLiteral("Arial"), 10);

    struct Row {
        const char* numberText;
        const char* levelText;
        int numberTop;
        int levelTop;
    };
    const Row rows[] = {
        {"00131", "{1}", 18, 18},    {"00132", "|", 34, 34},     {"00133", ">>>", 50, 49},
        {"00134", "|", 67, 66},      {"00135", "|{2}", 82, 81},  {"00136", "||", 99, 98},
        {"00137", "|{2}", 115, 113}, {"00138", "{1}", 131, 129},
    };
    const auto example_label = [&](const QString& name, const char* text, int left, int top) {
        auto* label = new QLabel(GroupBox2);
        label->setObjectName(name);
        label->setFont(exampleFont);
        label->move(left, top);
        set_caption(label, QString::fromLatin1(text));
        return label;
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const QString row = QString::number(i + 1);
        numberLabels_[i] = example_label(QStringLiteral("L_linha") + row, rows[i].numberText, 4,
                                         rows[i].numberTop);
        levelLabels_[i] =
            example_label(QStringLiteral("L_ident") + row, rows[i].levelText, 44, rows[i].levelTop);
    }

    auto* Label7 =
        named(new PitchedLinesLabel(kCodeLines.join(QLatin1Char('\n')), GroupBox2), "Label7");
    Label7->setFont(exampleFont);
    Label7->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label7->setGeometry(117, 17, 288, 128);
    L_final1 = example_label(QStringLiteral("L_final1"), "///-135-///", 181, 115);
    L_final2 = example_label(QStringLiteral("L_final2"), "///-133-///", 161, 132);
}

void TF_config::buildReport(QWidget* client)
{
    auto* GroupBox4 = named(new QGroupBox(QStringLiteral("Relatório  "), client), "GroupBox4");
    GroupBox4->setGeometry(12, 335, 392, 105);
    // Unchecked until the first activation loads them.
    CB_list = make_check(GroupBox4, "CB_list", QStringLiteral("Listagem"), {14, 19, 75, 17}, false);
    CB_xref = make_check(GroupBox4, "CB_xref", QStringLiteral("Xref"), {105, 19, 52, 17}, false);
    CB_unit = make_check(GroupBox4, "CB_unit", QStringLiteral("Units"), {107, 57, 70, 17}, false);
    CB_proc =
        make_check(GroupBox4, "CB_proc", QStringLiteral("Proc/Func"), {15, 59, 76, 17}, false);
    RG_colunas =
        named(new TRadioGroup(QStringLiteral("Qtd Colunas"),
                              {QStringLiteral("1 Coluna"), QStringLiteral("2 Colunas")}, GroupBox4),
              "RG_colunas");
    RG_colunas->setGeometry(230, 15, 92, 65);
    RG_colunas->setItemIndex(1);
}

void TF_config::setTabOrders()
{
    std::vector<QWidget*> order;
    for (int i = 0; i < RG_tipo_ident->count(); ++i)
        order.push_back(RG_tipo_ident->button(i));
    order.insert(order.end(),
                 {E_col, E_begin, E_prenivel, E_sufnivel, E_preend, E_sufend, E_suffnivel,
                  E_prefnivel, CB_linhas, CB_final, CB_list, CB_xref, CB_unit, CB_proc});
    for (int i = 0; i < RG_colunas->count(); ++i)
        order.push_back(RG_colunas->button(i));
    order.insert(order.end(), {BB_ok, BB_cancel, BB_default, BB_salvar, BB_ler});
    for (std::size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

// Every value change of a control runs its handler, whoever made the change.
void TF_config::connectChanges()
{
    connect(CB_linhas, &QCheckBox::toggled, this, &TF_config::CB_linhasClick);
    connect(CB_final, &QCheckBox::toggled, this, &TF_config::montar_exemplo);
    connect(RG_tipo_ident, &TRadioGroup::itemIndexChanged, this, &TF_config::montar_exemplo);
    for (QLineEdit* edit :
         {E_col, E_begin, E_prenivel, E_sufnivel, E_preend, E_sufend, E_prefnivel, E_suffnivel})
        connect(edit, &QLineEdit::textChanged, this, &TF_config::montar_exemplo);
    connect(RG_colunas, &TRadioGroup::itemIndexChanged, this, &TF_config::RG_colunasClick);
}

void TF_config::setReportFontHooks(std::function<std::optional<TReportFontSpec>()> chosen,
                                   std::function<void(const TReportFontSpec&)> apply)
{
    chosenFont_ = std::move(chosen);
    applyFont_ = std::move(apply);
}

void TF_config::setReportThemeHooks(std::function<std::optional<TReportTheme>()> chosen,
                                    std::function<void(TReportTheme)> apply)
{
    chosenTheme_ = std::move(chosen);
    applyTheme_ = std::move(apply);
}

void TF_config::setColumnsHook(std::function<void(int columns)> hook)
{
    columnsHook_ = std::move(hook);
}

void TF_config::setAboutWindow(QDialog* about)
{
    about_ = about;
}

void TF_config::setSettingsPath(std::string path)
{
    settingsPath_ = std::move(path);
}

TListingSettings TF_config::controlSettings() const
{
    TListingSettings s;
    s.Numeracao = CB_linhas->isChecked();
    s.Final = CB_final->isChecked();
    s.Identacao = RG_tipo_ident->itemIndex();
    s.prenivel = bytes(E_prenivel);
    s.sufnivel = bytes(E_sufnivel);
    s.prefnivel = bytes(E_prefnivel);
    s.suffnivel = bytes(E_suffnivel);
    s.preend = bytes(E_preend);
    s.sufend = bytes(E_sufend);
    s.begin = bytes(E_begin);
    s.coluna = bytes(E_col);
    s.colunas = RG_colunas->itemIndex();
    s.listagem = CB_list->isChecked();
    s.xref = CB_xref->isChecked();
    s.proc_func = CB_proc->isChecked();
    s.units = CB_unit->isChecked();
    return s;
}

void TF_config::FormActivate()
{
    loadControls(settings_);
}

void TF_config::loadControls(const TListingSettings& values)
{
    // CB_linhas goes first: its coupling may uncheck CB_final, which then takes its value anyway.
    CB_linhas->setChecked(values.Numeracao);
    CB_final->setChecked(values.Final);
    RG_tipo_ident->setItemIndex(values.Identacao);
    set_edit_text(E_prenivel, display(values.prenivel));
    set_edit_text(E_sufnivel, display(values.sufnivel));
    set_edit_text(E_prefnivel, display(values.prefnivel));
    set_edit_text(E_suffnivel, display(values.suffnivel));
    set_edit_text(E_preend, display(values.preend));
    set_edit_text(E_sufend, display(values.sufend));
    set_edit_text(E_begin, display(values.begin));
    set_edit_text(E_col, display(values.coluna));
    RG_colunas->setItemIndex(values.colunas);
    CB_list->setChecked(values.listagem);
    CB_xref->setChecked(values.xref);
    CB_proc->setChecked(values.proc_func);
    CB_unit->setChecked(values.units);
}

void TF_config::montar_exemplo()
{
    for (QLabel* number : numberLabels_)
        number->setVisible(CB_linhas->isChecked());

    const QString col = E_col->text();
    const QString opens = E_prenivel->text();
    const QString opensAfter = E_sufnivel->text();
    const QString closes = E_prefnivel->text();
    const QString closesAfter = E_suffnivel->text();
    const std::array<QString, 8> withColumns{
        opens + u'1' + opensAfter,
        col,
        E_begin->text(),
        col,
        col + opens + u'2' + opensAfter,
        col + col,
        col + closes + u'2' + closesAfter,
        closes + u'1' + closesAfter,
    };
    const std::array<QString, 8> numbersOnly{
        QStringLiteral(" 1"), QStringLiteral(" 1"), QStringLiteral(" 1"), QStringLiteral(" 1"),
        QStringLiteral(" 2"), QStringLiteral(" 2"), QStringLiteral(" 2"), QStringLiteral(" 1"),
    };
    for (std::size_t i = 0; i < levelLabels_.size(); ++i) {
        switch (RG_tipo_ident->itemIndex()) {
        case 0:
            set_caption(levelLabels_[i], withColumns[i]);
            break;
        case 1:
            set_caption(levelLabels_[i], numbersOnly[i]);
            break;
        case 2:
            set_caption(levelLabels_[i], QStringLiteral(" "));
            break;
        default:
            break;  // no style chosen: the labels keep their captions
        }
    }

    const bool final = CB_final->isChecked();
    set_caption(L_final1,
                final ? E_preend->text() + QStringLiteral("135") + E_sufend->text() : QString());
    set_caption(L_final2,
                final ? E_preend->text() + QStringLiteral("133") + E_sufend->text() : QString());
}

void TF_config::BB_okClick()
{
    settings_ = controlSettings();
}

void TF_config::BB_defaultClick()
{
    loadControls(TListingSettings{});
}

void TF_config::BB_salvarClick()
{
    try {
        if (settingsPath_ == user_settings_path())
            make_settings_folder(settingsPath_);
        write_listing_settings(settingsPath_, controlSettings());
        if (const auto font = chosenFont_ ? chosenFont_() : std::nullopt)
            write_report_font(settingsPath_, *font);
        if (const auto theme = chosenTheme_ ? chosenTheme_() : std::nullopt)
            write_report_theme(settingsPath_, *theme);
    } catch (const EIniFileError& error) {
        // Coming back from this message is no return from another window: keep the controls.
        inOwnMessage_ = true;
        TDialogs::current().showMessage(this, QStringLiteral("Unable to write to ") +
                                                  QFile::decodeName(error.fileName().c_str()));
        inOwnMessage_ = false;
    }
}

void TF_config::BB_lerClick()
{
    // A missing file reads as the defaults; one that is there but cannot be read changes
    // nothing and says so.
    if (const int error = TIniFile(settingsPath_).ReadError(); error != 0 && error != ENOENT) {
        inOwnMessage_ = true;
        TDialogs::current().showMessage(this, QStringLiteral("Não foi possível ler o arquivo: ") +
                                                  QFile::decodeName(settingsPath_.c_str()));
        inOwnMessage_ = false;
        return;
    }
    read_listing_settings(settingsPath_, settings_);
    if (const auto font = read_report_font(settingsPath_); font && applyFont_)
        applyFont_(*font);
    if (const auto theme = read_report_theme(settingsPath_); theme && applyTheme_)
        applyTheme_(*theme);
    FormActivate();
}

void TF_config::RG_colunasClick()
{
    const int index = RG_colunas->itemIndex();
    if (index < 0 || !columnsHook_)
        return;  // no column choice: the report keeps its column count
    columnsHook_(index + 1);
}

void TF_config::CB_linhasClick()
{
    if (CB_linhas->isChecked()) {
        CB_final->setEnabled(true);
    } else {
        CB_final->setChecked(false);
        CB_final->setEnabled(false);
    }
    montar_exemplo();
}

void TF_config::Sobre1Click()
{
    if (about_)
        TDialogs::current().execModal(about_);
}

bool TF_config::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate) {
        applyOuterGeometry(false);
        if (reloadOnActivate_) {
            reloadOnActivate_ = false;
            FormActivate();
        }
    }
    return QDialog::event(event);
}

void TF_config::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    reloadOnActivate_ = true;  // every opening loads the controls
    applyOuterGeometry(true);
}

// Another window of the program took the focus: coming back to this one reloads the controls.
void TF_config::noteFocusWindow(QWindow* window)
{
    if (!window || !isVisible() || inOwnMessage_ || window == windowHandle())
        return;
    const Qt::WindowType type = window->type();
    if (type == Qt::Popup || type == Qt::ToolTip)
        return;  // menus and tips pass no focus to another window
    reloadOnActivate_ = true;
}

// Sizes the client area so that the window, frame included, measures 505 x 495.
void TF_config::applyOuterGeometry(bool centre)
{
    const QMargins frame =
        windowHandle() && isVisible() ? windowHandle()->frameMargins() : kAssumedFrame;
    const QSize client(kOuterWidth - frame.left() - frame.right(),
                       kOuterHeight - frame.top() - frame.bottom());
    const bool resized = client != size();
    if (resized)
        setFixedSize(client);
    if (!centre && !resized)
        return;
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        move(area.x() + (area.width() - kOuterWidth) / 2,
             area.y() + (area.height() - kOuterHeight) / 2);
    }
}

}  // namespace tabulex
