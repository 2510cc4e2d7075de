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

QLineEdit* make_edit(QWidget* parent, int left, int top, int limit, const QString& text)
{
    auto* edit = new QLineEdit(text, parent);
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

QLabel* make_label(QWidget* parent, const QString& text, int left, int top)
{
    auto* label = new QLabel(text, parent);
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

QCheckBox* make_check(QWidget* parent, const QString& caption, QRect geometry, bool checked)
{
    auto* box = new QCheckBox(caption, parent);
    box->setGeometry(geometry);
    box->setChecked(checked);
    return box;
}

QPushButton* make_button(QWidget* parent, const QString& caption, int left,
                         QStyle::StandardPixmap glyph)
{
    auto* button = new QPushButton(parent->style()->standardIcon(glyph), caption, parent);
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

}  // namespace

TF_config::TF_config(TListingSettings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings), settingsPath_(defaultSettingsPath())
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
    MainMenu1 = new QMenuBar(this);
    layout->setMenuBar(MainMenu1);
    ClientArea = new QWidget(this);
    layout->addWidget(ClientArea);

    buildMenu();
    // Created in tab order; setTabOrders states it once more.
    RG_tipo_ident = new TRadioGroup(
        QStringLiteral("Apresentação de Níveis"),
        {QStringLiteral("Com Colunas"), QStringLiteral("Só números"), QStringLiteral("Nenhum")},
        ClientArea);
    RG_tipo_ident->setGeometry(12, 98, 158, 76);
    RG_tipo_ident->setItemIndex(0);
    buildMarkers();
    buildExample();
    buildNumbering();
    buildReport();
    buildButtonBar();
    setTabOrders();
    connectChanges();

    applyOuterGeometry(false);
    connect(qApp, &QGuiApplication::focusWindowChanged, this, &TF_config::noteFocusWindow);
}

TF_config::~TF_config() = default;

void TF_config::buildMenu()
{
    Arquivos1 = MainMenu1->addMenu(QStringLiteral("Arquivos"));
    SalvarConfiguracao1 = Arquivos1->addAction(QStringLiteral("Salvar Configuração"), this,
                                               &TF_config::BB_salvarClick);
    LerConfiguracao1 =
        Arquivos1->addAction(QStringLiteral("Ler Configuração"), this, &TF_config::BB_lerClick);
    ConfiguracaoPadrao1 = Arquivos1->addAction(QStringLiteral("Configuração Padrão"), this,
                                               &TF_config::BB_defaultClick);
    EfetivarConfiguracao1 =
        Arquivos1->addAction(QStringLiteral("Efetivar Configuração"), this, &TF_config::BB_okClick);
    N1 = Arquivos1->addSeparator();
    // "Sair" leaves the window as "Cancelar" does.
    Sair1 = Arquivos1->addAction(QStringLiteral("Sair"), this, &QDialog::reject);
    Ajuda1 = MainMenu1->addMenu(QStringLiteral("Ajuda"));
    Sobre1 = Ajuda1->addAction(QStringLiteral("Sobre"), this, &TF_config::Sobre1Click);
}

void TF_config::buildButtonBar()
{
    Panel1 = new QFrame(ClientArea);
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Raised);
    Panel1->setFixedHeight(34);
    auto* clientLayout = new QVBoxLayout(ClientArea);  // keeps the bar aligned to the top
    clientLayout->setContentsMargins(0, 0, 0, 0);
    clientLayout->addWidget(Panel1);
    clientLayout->addStretch();

    BB_ok = make_button(Panel1, QStringLiteral("Efetivar"), 12, QStyle::SP_DialogOkButton);
    BB_cancel = make_button(Panel1, QStringLiteral("Cancelar"), 96, QStyle::SP_DialogCancelButton);
    BB_default = make_button(Panel1, QStringLiteral("Default"), 179, QStyle::SP_BrowserReload);
    BB_default->setIconSize(QSize(18, 19));
    BB_salvar = make_button(Panel1, QStringLiteral("Salvar"), 262, QStyle::SP_DialogSaveButton);
    BB_ler = make_button(Panel1, QStringLiteral("Ler"), 346, QStyle::SP_DialogOpenButton);
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

void TF_config::buildNumbering()
{
    GroupBox3 = new QGroupBox(ClientArea);
    GroupBox3->setGeometry(12, 34, 157, 66);
    CB_linhas = make_check(GroupBox3, QStringLiteral("Numerar linhas"), {11, 15, 97, 17}, true);
    CB_final = make_check(GroupBox3, QStringLiteral("Nr. linha inicial"), {11, 37, 97, 17}, true);
}

void TF_config::buildMarkers()
{
    GroupBox1 = new QGroupBox(QStringLiteral("Símbolos"), ClientArea);
    GroupBox1->setGeometry(176, 34, 309, 142);
    E_col = make_edit(GroupBox1, 103, 10, kColumnLimit, QStringLiteral("|"));
    E_begin = make_edit(GroupBox1, 103, 36, kMarkerLimit, QStringLiteral(">>>"));
    E_prenivel = make_edit(GroupBox1, 232, 37, kMarkerLimit, QStringLiteral("{"));
    E_sufnivel = make_edit(GroupBox1, 270, 37, kMarkerLimit, QStringLiteral("}"));
    E_preend = make_edit(GroupBox1, 104, 62, kMarkerLimit, QStringLiteral("///-"));
    E_sufend = make_edit(GroupBox1, 104, 90, kMarkerLimit, QStringLiteral("-///"));
    E_suffnivel = make_edit(GroupBox1, 270, 60, kMarkerLimit, QStringLiteral("}"));
    E_prefnivel = make_edit(GroupBox1, 232, 61, kMarkerLimit, QStringLiteral("{"));

    Label1 = make_label(GroupBox1, QStringLiteral("Coluna de nível"), 9, 19);
    Label2 = make_label(GroupBox1, QStringLiteral("Begin"), 9, 43);
    Label3 = make_label(GroupBox1, QStringLiteral("Início. nível"), 149, 39);
    Label4 = make_label(GroupBox1, QStringLiteral("Antes Nr. fim bloco"), 9, 66);
    Label5 = make_label(GroupBox1, QStringLiteral("Depois Nr.fim bloco"), 8, 93);
    Label6 = make_label(GroupBox1, QStringLiteral("Fim  nível"), 148, 63);
    Label8 = make_label(GroupBox1, QStringLiteral("Antes"), 235, 19);
    Label9 = make_label(GroupBox1, QStringLiteral("Depois"), 269, 18);
}

void TF_config::buildExample()
{
    GroupBox2 = new QGroupBox(QStringLiteral("Exemplo : "), ClientArea);
    GroupBox2->setGeometry(12, 175, 474, 153);
    const QFont exampleFont(QStringLiteral("Arial"), 10);

    struct Row {
        QLabel*& number;
        QLabel*& level;
        const char* numberText;
        const char* levelText;
        int numberTop;
        int levelTop;
    };
    const Row rows[] = {
        {L_linha1, L_ident1, "00131", "{1}", 18, 18},
        {L_linha2, L_ident2, "00132", "|", 34, 34},
        {L_linha3, L_ident3, "00133", ">>>", 50, 49},
        {L_linha4, L_ident4, "00134", "|", 67, 66},
        {L_linha5, L_ident5, "00135", "|{2}", 82, 81},
        {L_linha6, L_ident6, "00136", "||", 99, 98},
        {L_linha7, L_ident7, "00137", "|{2}", 115, 113},
        {L_linha8, L_ident8, "00138", "{1}", 131, 129},
    };
    const auto example_label = [&](const char* text, int left, int top) {
        auto* label = new QLabel(GroupBox2);
        label->setFont(exampleFont);
        label->move(left, top);
        set_caption(label, QString::fromLatin1(text));
        return label;
    };
    for (const Row& row : rows) {
        row.number = example_label(row.numberText, 4, row.numberTop);
        row.level = example_label(row.levelText, 44, row.levelTop);
    }

    Label7 = new PitchedLinesLabel(kCodeLines.join(QLatin1Char('\n')), GroupBox2);
    Label7->setFont(exampleFont);
    Label7->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label7->setGeometry(117, 17, 288, 128);
    L_final1 = example_label("///-135-///", 181, 115);
    L_final2 = example_label("///-133-///", 161, 132);
}

void TF_config::buildReport()
{
    GroupBox4 = new QGroupBox(QStringLiteral("Relatório  "), ClientArea);
    GroupBox4->setGeometry(12, 335, 392, 105);
    // Unchecked until the first activation loads them.
    CB_list = make_check(GroupBox4, QStringLiteral("Listagem"), {14, 19, 75, 17}, false);
    CB_xref = make_check(GroupBox4, QStringLiteral("Xref"), {105, 19, 52, 17}, false);
    CB_unit = make_check(GroupBox4, QStringLiteral("Units"), {107, 57, 70, 17}, false);
    CB_proc = make_check(GroupBox4, QStringLiteral("Proc/Func"), {15, 59, 76, 17}, false);
    RG_colunas =
        new TRadioGroup(QStringLiteral("Qtd Colunas"),
                        {QStringLiteral("1 Coluna"), QStringLiteral("2 Colunas")}, GroupBox4);
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

std::string TF_config::defaultSettingsPath()
{
    std::filesystem::path beside(
        QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString());
    beside.replace_extension(".ini");
    return choose_settings_path(beside.string(), userSettingsPath());
}

std::string TF_config::userSettingsPath()
{
    const QString userFolder =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (userFolder.isEmpty())
        return {};
    return QFile::encodeName(userFolder + QStringLiteral("/tabulex/tabulex.ini")).toStdString();
}

std::array<QLabel*, 8> TF_config::numberLabels() const
{
    return {L_linha1, L_linha2, L_linha3, L_linha4, L_linha5, L_linha6, L_linha7, L_linha8};
}

std::array<QLabel*, 8> TF_config::levelLabels() const
{
    return {L_ident1, L_ident2, L_ident3, L_ident4, L_ident5, L_ident6, L_ident7, L_ident8};
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
    for (QLabel* number : numberLabels())
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
    const auto levels = levelLabels();
    for (std::size_t i = 0; i < levels.size(); ++i) {
        switch (RG_tipo_ident->itemIndex()) {
        case 0:
            set_caption(levels[i], withColumns[i]);
            break;
        case 1:
            set_caption(levels[i], numbersOnly[i]);
            break;
        case 2:
            set_caption(levels[i], QStringLiteral(" "));
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
        if (settingsPath_ == userSettingsPath())
            make_settings_folder(settingsPath_);
        write_listing_settings(settingsPath_, controlSettings());
        if (const auto font = chosenFont_ ? chosenFont_() : std::nullopt)
            write_report_font(settingsPath_, *font);
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
