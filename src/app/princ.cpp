#include "princ.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "DeclarationScanner.h"
#include "FileBytes.h"
#include "ListingBuilder.h"
#include "ListingExport.h"
#include "report/form/ReportPreparation.h"
#include "report/preview/TRpReportPreview.h"
#include "dialogs/TDialogs.h"
#include "TListBox.h"
#include "TWideListBox.h"
#include "text/TextCodec.h"
#include "report/form/r_dif.h"
#include "tabulex_version.h"

#include <optional>

namespace tabulex {

TListingSettings ListingSettings;
std::string arq_atual;

namespace {
const char* const kOpenFilter = "Unit Delphi (*.pas);;Projeto Delphi (*.dpr);;Forms Delphi (*.dfm)";

QFont windowFont()
{
    QFont font("MS Sans Serif");
    font.setPixelSize(11);
    return font;
}

QFont listingFont()
{
    QFont font("Courier New");
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(11);
    return font;
}
}  // namespace

std::string localPath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QString displayPath(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

TF_tabulan::TF_tabulan(QWidget* parent) : QMainWindow(parent)
{
    setObjectName("F_tabulan");
    setWindowTitle(QStringLiteral("Vorn Tabulan v " TABULEX_VERSION));
    setFont(windowFont());
    resize(564, 426);
    setAcceptDrops(true);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    Panel1 = new QWidget(central);
    Panel1->setObjectName("Panel1");
    Panel1->setFixedHeight(41);
    layout->addWidget(Panel1);
    TabbedNotebook1 = new QTabWidget(central);
    TabbedNotebook1->setObjectName("TabbedNotebook1");
    layout->addWidget(TabbedNotebook1, 1);
    setCentralWidget(central);

    buildMenus();
    buildTabs();
    buildStatusBar();

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    FormCreate();
}

TF_tabulan::~TF_tabulan() = default;

void TF_tabulan::buildMenus()
{
    QMenuBar* bar = menuBar();
    Arquivo1 = bar->addMenu(QStringLiteral("&Arquivo"));
    Carregar1 = Arquivo1->addAction(QStringLiteral("&Carregar"), this, &TF_tabulan::Carregar1Click);
    Gravar1 = Arquivo1->addAction(QStringLiteral("&Gravar"), this, &TF_tabulan::Gravar1Click);
    Arquivo1->addSeparator()->setObjectName("N1");
    Sair1 = Arquivo1->addAction(QStringLiteral("&Sair"), this, &TF_tabulan::Sair1Click);

    Relatrio1 = bar->addMenu(QStringLiteral("Relatório"));
    Fonte1 = Relatrio1->addAction(QStringLiteral("&Fonte"), this, &TF_tabulan::Fonte1Click);
    Preview1 = Relatrio1->addAction(QStringLiteral("Visão Prévia"), this, &TF_tabulan::Preview1Click);

    Configurar1 = bar->addAction(QStringLiteral("Configurar"));
    connect(Configurar1, &QAction::triggered, this, &TF_tabulan::Configurar1Click);

    Ajuda1 = bar->addMenu(QStringLiteral("A&juda"));
    Sobre1 = Ajuda1->addAction(QStringLiteral("S&obre"), this, &TF_tabulan::Sobre1Click);

    const std::pair<QObject*, const char*> names[] = {
        {Arquivo1, "Arquivo1"}, {Carregar1, "Carregar1"}, {Gravar1, "Gravar1"}, {Sair1, "Sair1"},
        {Relatrio1, "Relatrio1"}, {Fonte1, "Fonte1"}, {Preview1, "Preview1"},
        {Configurar1, "Configurar1"}, {Ajuda1, "Ajuda1"}, {Sobre1, "Sobre1"}};
    for (auto [object, name] : names)
        object->setObjectName(name);
}

void TF_tabulan::buildTabs()
{
    auto addPage = [this](const QString& caption, auto* list, const char* name, int itemHeight) {
        list->setObjectName(name);
        list->setItemHeight(itemHeight);
        TabbedNotebook1->addTab(list, caption);
        return list;
    };
    ListBox1 = addPage(QStringLiteral("Listagem"), new TWideListBox, "ListBox1", 14);
    ListBox1->setFont(listingFont());
    listbox3 = addPage(QStringLiteral("Variáveis"), new TListBox, "listbox3", 13);
    ListBox4 = addPage(QStringLiteral("Proc/Func"), new TWideListBox, "ListBox4", 13);
    ListBox5 = addPage(QStringLiteral("Uses"), new TListBox, "ListBox5", 13);
    TabbedNotebook1->setCurrentIndex(0);
}

void TF_tabulan::buildStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName("StatusBar1");
    bar->setFixedHeight(19);
    bar->setSizeGripEnabled(false);
    const int widths[3] = {100, 100, 50};
    for (int i = 0; i < 3; ++i) {
        StatusPanels[i] = new QLabel(bar);
        StatusPanels[i]->setMinimumWidth(widths[i]);
        StatusPanels[i]->setFrameShape(QFrame::Panel);
        StatusPanels[i]->setFrameShadow(QFrame::Sunken);
        // The last panel holds the path and takes the rest of the bar.
        bar->addWidget(StatusPanels[i], i == 2 ? 1 : 0);
        if (i < 2)
            StatusPanels[i]->setFixedWidth(widths[i]);
    }
}

void TF_tabulan::FormCreate()
{
    ListingSettings = TListingSettings{};
    arq_atual.clear();
    Gravar1->setEnabled(false);
    Relatrio1->setEnabled(false);
    Relatrio1->menuAction()->setEnabled(false);
}

void TF_tabulan::enableFileCommands()
{
    if (arq_atual.empty())
        return;
    Gravar1->setEnabled(true);
    Relatrio1->setEnabled(true);
    Relatrio1->menuAction()->setEnabled(true);
}

void TF_tabulan::guarded(const std::function<void()>& command)
{
    try {
        command();
    } catch (const std::exception& error) {
        TDialogs::current().showMessage(this, QString::fromLocal8Bit(error.what()));
    }
}

void TF_tabulan::carregar_arq(const std::string& path)
{
    ListBox1->Items().clear();
    std::string bytes = read_file_bytes(path);
    ListBox1->Items().setItems(build_listing(bytes, ListingSettings), looksLikeUtf8Text(bytes));
    StatusPanels[1]->setText(QString::number(ListBox1->Items().count()) + QStringLiteral(" linhas"));
    StatusPanels[2]->setText(displayPath(path));
    bytes.clear();
    bytes.shrink_to_fit();
    carrega_var(path);
}

void TF_tabulan::carrega_var(const std::string& path)
{
    listbox3->Items().clear();
    ListBox4->Items().clear();
    ListBox5->Items().clear();
    const std::string bytes = read_file_bytes(path);
    TDeclarationLists lists = scan_declarations(bytes);
    const bool utf8 = looksLikeUtf8Text(bytes);
    listbox3->Items().setItems(std::move(lists.listbox3), utf8);
    ListBox4->Items().setItems(std::move(lists.ListBox4), utf8);
    ListBox5->Items().setItems(std::move(lists.ListBox5), utf8);
}

void TF_tabulan::loadChosenFile(const QString& path)
{
    arq_atual = localPath(path);
    // A load that fails leaves the menus as they were; the next "&Carregar" enables them.
    guarded([this] {
        carregar_arq(arq_atual);
        enableFileCommands();
    });
}

void TF_tabulan::Carregar1Click()
{
    const QString chosen = TDialogs::current().openFileName(this, QString(), QString::fromLatin1(kOpenFilter));
    if (!chosen.isEmpty()) {
        loadChosenFile(chosen);
        return;
    }
    enableFileCommands();
}

void TF_tabulan::Gravar1Click()
{
    const QString proposed = displayPath(proposed_export_name(arq_atual));
    const QString chosen = TDialogs::current().saveFileName(this, QString(), proposed, QString(), QString());
    if (chosen.isEmpty())
        return;
    const TListingSections sections{ListBox1->Items().items(), listbox3->Items().items(),
                                    ListBox4->Items().items(), ListBox5->Items().items()};
    if (!write_export_file(localPath(chosen), export_listing(sections, ListingSettings)))
        TDialogs::current().showMessage(this, QStringLiteral("Não foi possível criar o arquivo: ") + chosen);
}

void TF_tabulan::setReportForm(TF_dif* form)
{
    m_report = form;
    if (!m_report)
        return;
    m_report->setLineSources(&ListBox1->Items().items(), &listbox3->Items().items(), &ListBox4->Items().items(),
                             &ListBox5->Items().items());
    m_report->setSettings(&ListingSettings);
}

void TF_tabulan::Fonte1Click()
{
    const std::optional<QFont> chosen = TDialogs::current().chooseFont(this, ListBox1->font());
    if (!chosen)
        return;
    ListBox1->setFont(*chosen);
    if (m_report)
        m_report->setMemoFont(*chosen);
}

void TF_tabulan::Preview1Click()
{
    if (!m_report)
        return;
    // One preview at a time: while one is open (or its pages are being made) it is brought
    // forward, and the report it shows is left alone.
    TRpReport& report = *m_report->Report1;
    if (QWidget* open = report.PreviewWindow()) {
        open->raise();
        open->activateWindow();
        return;
    }
    if (report.Generating())
        return;
    guarded([this] {
        prepare_report_for(*m_report, toCp1252(displayPath(arq_atual)));
        Preview(*m_report->Report1);
    });
}

void TF_tabulan::Configurar1Click()
{
    if (!m_config)
        return;
    const int result = TDialogs::current().execModal(m_config);
    if (result == QDialog::Accepted && !arq_atual.empty())
        guarded([this] { carregar_arq(arq_atual); });
}

void TF_tabulan::Sair1Click()
{
    close();
}

void TF_tabulan::Sobre1Click()
{
    if (m_about)
        TDialogs::current().execModal(m_about);
}

void TF_tabulan::dragEnterEvent(QDragEnterEvent* event)
{
    const QMimeData* mime = event->mimeData();
    if (mime->hasUrls() && !mime->urls().isEmpty() && mime->urls().first().isLocalFile())
        event->acceptProposedAction();
}

void TF_tabulan::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return;
    event->acceptProposedAction();
    loadChosenFile(urls.first().toLocalFile());
}

}  // namespace tabulex
