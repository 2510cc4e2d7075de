#include "about/sobre.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QUrl>
#include <algorithm>
#include <string>
#include <vector>

#include "tabulex_version.h"
#include "text/TextCodec.h"
#include "widgets/TListBox.h"
#include "widgets/TScrollTextPanel.h"

namespace tabulex {

namespace {

// Outer size and place of the window; the client area is the outer size less a 4-pixel
// frame on each side and a 19-pixel caption.
constexpr int kLeft = 169, kTop = 114;
constexpr int kClientWidth = 463 - 8, kClientHeight = 324 - 27;
constexpr int kMaxMailText = 79;  // the mail request's text buffer holds 79 characters
constexpr unsigned kAuthorInterval = 80;

const char* const kMailAddress = "tabulex@vorn.example";
const char* const kReleaseLine = "Junho de 2025 - Equipe Vorn Soft";

const char* const kTermsOfUse[] = {
    "",
    "Termos de uso",
    "",
    "Este programa é distribuído gratuitamente (freeware),",
    "em versão beta, para uso pessoal ou profissional.",
    "",
    "Você pode copiá-lo e distribuí-lo livremente, desde",
    "que sem alterações e sem cobrar nada por ele.",
    "",
    "Por ser uma versão beta, o programa é fornecido",
    "como está, sem garantia de espécie alguma. O autor",
    "não se responsabiliza por danos ou perdas que",
    "decorram do seu uso.",
    "",
    "Sugestões e relatos de erros são bem-vindos pelo",
    "endereço de correio eletrônico acima.",
};

// Eight empty lines (skipped by the panel), the heading, then one empty line between lines.
const char* const kAboutAuthor[] = {
    "",
    "",
    "",
    "",
    "",
    "",
    "",
    "",
    "Sobre o Autor:",
    "",
    "Rui Vornes, da equipe Vorn Soft,",
    "",
    "nasceu em Curitiba, no Paraná,",
    "",
    "numa família de professores.",
    "",
    "Formou-se em Ciência da Computação",
    "",
    "e especializou-se em Engenharia de Software.",
    "",
    "Há mais de quinze anos trabalha",
    "",
    "como analista de sistemas",
    "",
    "em bancos, indústrias e órgãos públicos.",
    "",
    "Programa em Object Pascal, C, C++ e SQL",
    "",
    "e usa Qt, CMake e Git no dia a dia.",
    "",
    "Gosta de modelar bancos de dados",
    "",
    "e de escrever ferramentas que poupam tempo.",
    "",
    "Nas horas vagas toca violão,",
    "",
    "pedala pelas serras da região",
    "",
    "e coleciona livros antigos de xadrez.",
    "",
    "O Tabulex nasceu da vontade de ler",
    "",
    "listagens de código com mais clareza.",
};

const char* const kCredits[] = {
    "",
    "Créditos",
    "",
    "Esta versão beta foi construída principalmente",
    "com os componentes padrão do seu ambiente de",
    "desenvolvimento, e contou com a ajuda de idéias,",
    "truques e componentes que outros autores",
    "publicaram na Internet. Em especial:",
    "",
    "Qt - biblioteca de interface gráfica,",
    "    The Qt Company e colaboradores.",
    "",
    "GoogleTest - biblioteca de testes,",
    "    Google e colaboradores.",
    "",
    "CMake - ferramenta de construção,",
    "    Kitware e colaboradores.",
    "",
    "Fontes Liberation - fontes livres,",
    "    Red Hat e colaboradores.",
    "",
    "Obrigado também a todos os muitos outros",
    "que compartilham o seu trabalho com a",
    "comunidade de desenvolvedores.",
    "",
    "",
    "Equipe Vorn Soft",
    "",
    "",
    "",
    "",
    "",
    "",
};

template <std::size_t N>
QStringList toLines(const char* const (&texts)[N])
{
    QStringList lines;
    for (const char* text : texts)
        lines << QString::fromUtf8(text);
    return lines;
}

template <std::size_t N>
std::vector<std::string> toItems(const char* const (&texts)[N])
{
    std::vector<std::string> items;
    for (const char* text : texts)
        items.push_back(toCp1252(QString::fromUtf8(text)));
    return items;
}

// A label that runs an action when clicked.
class TLinkLabel : public QLabel {
public:
    TLinkLabel(const QString& text, QWidget* parent, std::function<void()> onClick)
        : QLabel(text, parent), onClick_(std::move(onClick))
    {}

protected:
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        QLabel::mouseReleaseEvent(event);
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            onClick_();
    }

private:
    std::function<void()> onClick_;
};

// Places a label at its position, widened to its text where the text needs more room.
void placeLabel(QLabel* label, const QRect& geometry)
{
    const QSize needed = label->sizeHint();
    label->setGeometry(geometry.x(), geometry.y(), std::max(geometry.width(), needed.width()),
                       std::max(geometry.height(), needed.height()));
}

TListBox* makePanelList(QWidget* parent, const char* name, const QRect& geometry,
                        std::vector<std::string> items)
{
    auto* list = new TListBox(parent);
    list->setObjectName(name);
    list->setGeometry(geometry);
    list->setItemHeight(13);
    QPalette colours = list->palette();
    colours.setColor(QPalette::Base, colours.color(QPalette::Button));
    list->setPalette(colours);
    list->Items().setItems(std::move(items));
    return list;
}

}  // namespace

TF_sobre::TF_sobre(QWidget* parent)
    : QDialog(parent), openMail_([](const QString& url) { QDesktopServices::openUrl(QUrl(url)); })
{
    setWindowTitle(QStringLiteral("Sobre"));
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    setFixedSize(kClientWidth, kClientHeight);
    move(kLeft, kTop);
    createControls();
}

TF_sobre::~TF_sobre() = default;

// The controls are made in their tab order (SP_autor, LB_licenca, LB_creditos, B_creditos,
// B_autor, B_licenca, BitBtn1), which is the order the focus chain takes them.
void TF_sobre::createControls()
{
    auto* Label1 = new QLabel(QStringLiteral("Tabulex.exe   V.  " TABULEX_VERSION " Beta"), this);
    Label1->setObjectName("Label1");
    Label1->setFont(QFont(QStringLiteral("Arial"), 14));
    placeLabel(Label1, QRect(145, 20, 226, 22));

    auto* Label2 = new QLabel(QString::fromUtf8(kReleaseLine), this);
    Label2->setObjectName("Label2");
    placeLabel(Label2, QRect(161, 59, 203, 13));

    Label3 = new TLinkLabel(QString::fromLatin1(kMailAddress), this, [this] { Label3Click(); });
    Label3->setObjectName("Label3");
    QFont linkFont(QStringLiteral("MS Sans Serif"), 8);
    linkFont.setUnderline(true);
    Label3->setFont(linkFont);
    QPalette linkColours = Label3->palette();
    linkColours.setColor(QPalette::WindowText, Qt::blue);
    Label3->setPalette(linkColours);
    Label3->setCursor(Qt::PointingHandCursor);
    placeLabel(Label3, QRect(212, 86, 98, 13));

    SP_autor = new TScrollTextPanel(this);
    SP_autor->setObjectName("SP_autor");
    SP_autor->setGeometry(124, 111, 320, 146);
    SP_autor->setInterval(kAuthorInterval);
    SP_autor->setCycled(true);
    SP_autor->setLines(toLines(kAboutAuthor));
    SP_autor->hide();

    LB_licenca = makePanelList(this, "LB_licenca", QRect(127, 111, 318, 146), toItems(kTermsOfUse));

    LB_creditos = makePanelList(this, "LB_creditos", QRect(125, 110, 321, 146), toItems(kCredits));
    LB_creditos->hide();

    const auto makeButton = [this](const char* name, const char* caption, const QRect& geometry) {
        auto* button = new QPushButton(QString::fromUtf8(caption), this);
        button->setObjectName(name);
        button->setGeometry(geometry);
        button->setAutoDefault(false);
        return button;
    };
    auto* B_creditos = makeButton("B_creditos", "Créditos", QRect(13, 225, 88, 25));
    auto* B_autor = makeButton("B_autor", "Sobre o autor", QRect(14, 173, 88, 25));
    auto* B_licenca = makeButton("B_licenca", "Licençade uso", QRect(13, 120, 88, 25));
    auto* BitBtn1 = makeButton("BitBtn1", "OK", QRect(187, 267, 75, 25));
    BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    BitBtn1->setDefault(true);

    connect(B_licenca, &QPushButton::clicked, this, &TF_sobre::B_licencaClick);
    connect(B_autor, &QPushButton::clicked, this, &TF_sobre::B_autorClick);
    connect(B_creditos, &QPushButton::clicked, this, &TF_sobre::B_creditosClick);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
}

void TF_sobre::B_licencaClick()
{
    LB_creditos->hide();
    LB_licenca->show();
    SP_autor->hide();  // keeps running while hidden
}

void TF_sobre::B_autorClick()
{
    LB_creditos->hide();
    LB_licenca->hide();
    SP_autor->setActive(false);  // so the text starts from the beginning on every press
    SP_autor->show();
    SP_autor->setActive(true);
}

void TF_sobre::B_creditosClick()
{
    LB_creditos->show();
    LB_licenca->hide();
    SP_autor->hide();  // keeps running while hidden
}

void TF_sobre::Label3Click()
{
    const QString url = (QStringLiteral("mailto:") + Label3->text()).left(kMaxMailText);
    openMail_(url);
}

void TF_sobre::keyPressEvent(QKeyEvent* event)
{
    // There is no cancel button: Esc does nothing (the close box still closes the window).
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace tabulex
