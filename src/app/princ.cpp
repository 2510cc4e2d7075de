#include "app/princ.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <filesystem>
#include <optional>
#include <thread>

#include "analysis/FileBytes.h"
#include "analysis/ListingExport.h"
#include "analysis/RunPalette.h"
#include "app/BackgroundTask.h"
#include "app/DependencyView.h"
#include "app/DesktopState.h"
#include "app/FindBar.h"
#include "app/ProjectPanel.h"
#include "app/ProjectText.h"
#include "app/ReferencesPanel.h"
#include "dialogs/TDialogs.h"
#include "html/HtmlSite.h"
#include "project/ProjectIndex.h"
#include "report/form/ReportPreparation.h"
#include "report/form/r_dif.h"
#include "report/preview/TRpReportPreview.h"
#include "tabulex_version.h"
#include "text/TextCodec.h"
#include "widgets/TListBox.h"
#include "widgets/TWideListBox.h"

namespace tabulex {

namespace {

// Whether `path` opens as a project: a folder or a program or package file.
bool opens_as_project(const std::string& path)
{
    std::error_code error;
    if (std::filesystem::is_directory(path, error))
        return true;
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& c : extension)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return extension == ".dpr" || extension == ".lpr" || extension == ".dpk";
}

const char* const kOpenFilter =
    "Unit Delphi (*.pas);;Projeto Delphi (*.dpr);;Forms Delphi (*.dfm);;Unit Free Pascal (*.pp);;"
    "Programa Lazarus (*.lpr);;Include (*.inc);;Todos os arquivos (*)";

const char* const kProjectFilter = "Projeto (*.dpr *.lpr *.dpk);;Todos os arquivos (*)";

// Where "Voltar" can go back to: the last this many jumps.
constexpr std::size_t kMaxHistory = 50;

// Inactive code (left out by a conditional) on a light or a dark list background.
QColor inactiveColour(bool dark)
{
    return dark ? QColor(0x6e, 0x6e, 0x6e) : QColor(0xa8, 0xa8, 0xa8);
}

bool isNameByte(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

QFont windowFont()
{
    QFont font("MS Sans Serif");
    font.setPixelSize(11);
    return font;
}

// Colours of the listing's runs, for a light or a dark list background.
QColor runColour(TRunClass kind, bool dark)
{
    const std::optional<std::uint32_t> rgb = run_colour(kind, dark);
    return rgb ? QColor(QRgb(*rgb)) : QColor();
}

QFont listingFont()
{
    QFont font("Courier New");
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(11);
    return font;
}

// Reads and analyses a file while the window stays painted.
std::shared_ptr<const TSourceDocument> load_in_background(const std::string& path,
                                                          const TListingSettings& settings)
{
    return run_in_background([&] { return TSourceDocument::load(path, settings); });
}

// Why a file could not be read, in the user's words.
QString open_failure_reason(const std::string& path)
{
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status))
        return QStringLiteral("o arquivo não existe");
    if (!std::filesystem::is_regular_file(status))
        return QStringLiteral("não é um arquivo");
    return QStringLiteral("não foi possível lê-lo");
}

std::shared_ptr<const TLineSource> lines_of(const TSourceDocument& document, TSection section)
{
    return section_lines(document.writer(), section);
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

TF_tabulan::TF_tabulan(TSession& session, QWidget* parent) : QMainWindow(parent), session_(session)
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
    FindBar1 = new TFindBar(central);
    FindBar1->setObjectName("FindBar1");
    layout->addWidget(FindBar1);
    setCentralWidget(central);

    buildMenus();
    buildTabs();
    buildStatusBar();
    buildNavigation();

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    FormCreate();
}

TF_tabulan::~TF_tabulan() = default;

void TF_tabulan::buildMenus()
{
    QMenuBar* bar = menuBar();
    Arquivo1 = bar->addMenu(QStringLiteral("&Arquivo"));
    Carregar1 = Arquivo1->addAction(QStringLiteral("&Carregar"), QKeySequence(Qt::CTRL | Qt::Key_O),
                                    this, &TF_tabulan::Carregar1Click);
    Recarregar1 = Arquivo1->addAction(QStringLiteral("&Recarregar"), QKeySequence(Qt::Key_F5), this,
                                      &TF_tabulan::Recarregar1Click);
    Gravar1 = Arquivo1->addAction(QStringLiteral("&Gravar"), QKeySequence(Qt::CTRL | Qt::Key_S),
                                  this, &TF_tabulan::Gravar1Click);
    ExportarHTML1 = Arquivo1->addAction(QStringLiteral("Exportar &HTML…"), this,
                                        &TF_tabulan::ExportarHTML1Click);
    Arquivo1->addSeparator();
    AbrirProjeto1 = Arquivo1->addAction(QStringLiteral("Abrir &projeto…"), this,
                                        &TF_tabulan::AbrirProjeto1Click);
    AbrirPasta1 = Arquivo1->addAction(QStringLiteral("Abrir p&asta como projeto…"), this,
                                      &TF_tabulan::AbrirPasta1Click);
    Arquivo1->addSeparator()->setObjectName("N1");
    // The recent files go between N1 and N2; N2 shows only when there are some.
    N2 = Arquivo1->addSeparator();
    N2->setObjectName("N2");
    N2->setVisible(false);
    Sair1 = Arquivo1->addAction(QStringLiteral("&Sair"), this, &TF_tabulan::Sair1Click);

    Navegar1 = bar->addMenu(QStringLiteral("&Navegar"));
    Localizar1 =
        Navegar1->addAction(QStringLiteral("&Localizar…"), QKeySequence(Qt::CTRL | Qt::Key_F), this,
                            &TF_tabulan::Localizar1Click);
    LocalizarProxima1 =
        Navegar1->addAction(QStringLiteral("Localizar &próxima"), QKeySequence(Qt::Key_F3), this,
                            [this] { localizar(false); });
    LocalizarAnterior1 = Navegar1->addAction(QStringLiteral("Localizar &anterior"),
                                             QKeySequence(Qt::SHIFT | Qt::Key_F3), this,
                                             [this] { localizar(true); });
    Navegar1->addSeparator();
    IrPara1 =
        Navegar1->addAction(QStringLiteral("&Ir para a linha…"), QKeySequence(Qt::CTRL | Qt::Key_G),
                            this, &TF_tabulan::IrPara1Click);
    Navegar1->addSeparator();
    LocalizarReferencias1 = Navegar1->addAction(QStringLiteral("Localizar &referências"),
                                                QKeySequence(Qt::SHIFT | Qt::Key_F12), this,
                                                &TF_tabulan::LocalizarReferencias1Click);
    Voltar1 = Navegar1->addAction(QStringLiteral("&Voltar"), QKeySequence(Qt::ALT | Qt::Key_Left),
                                  this, &TF_tabulan::Voltar1Click);
    Dependencias1 = Navegar1->addAction(QStringLiteral("&Dependências…"), this,
                                        &TF_tabulan::Dependencias1Click);

    Relatrio1 = bar->addMenu(QStringLiteral("Relatório"));
    Fonte1 = Relatrio1->addAction(QStringLiteral("&Fonte"), this, &TF_tabulan::Fonte1Click);
    Preview1 =
        Relatrio1->addAction(QStringLiteral("Visão Prévia"), QKeySequence(Qt::CTRL | Qt::Key_P),
                             this, &TF_tabulan::Preview1Click);
    ImprimirSelecao1 = Relatrio1->addAction(QStringLiteral("Imprimir &seleção"),
                                            QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P), this,
                                            &TF_tabulan::ImprimirSelecao1Click);
    ListasSelecao1 = Relatrio1->addAction(QStringLiteral("&Listas com a seleção"));
    ListasSelecao1->setCheckable(true);
    Relatrio1->addSeparator();
    Tema1 = Relatrio1->addMenu(QStringLiteral("&Tema"));
    auto* themes = new QActionGroup(this);
    const auto addTheme = [&](const QString& caption, TReportTheme theme) {
        QAction* action =
            Tema1->addAction(caption, this, [this, theme] { applyReportTheme(theme); });
        action->setCheckable(true);
        themes->addAction(action);
        return action;
    };
    TemaCores1 = addTheme(QStringLiteral("&Cores"), TReportTheme::Cores);
    TemaCinza1 = addTheme(QStringLiteral("&Tons de cinza"), TReportTheme::Cinza);
    TemaNenhum1 = addTheme(QStringLiteral("&Nenhum"), TReportTheme::Nenhum);
    TemaNenhum1->setChecked(true);

    Configurar1 = bar->addAction(QStringLiteral("Configurar"));
    connect(Configurar1, &QAction::triggered, this, &TF_tabulan::Configurar1Click);

    Ajuda1 = bar->addMenu(QStringLiteral("A&juda"));
    Sobre1 = Ajuda1->addAction(QStringLiteral("S&obre"), this, &TF_tabulan::Sobre1Click);

    const std::pair<QObject*, const char*> names[] = {
        {Arquivo1, "Arquivo1"},
        {Carregar1, "Carregar1"},
        {Gravar1, "Gravar1"},
        {ExportarHTML1, "ExportarHTML1"},
        {Sair1, "Sair1"},
        {Relatrio1, "Relatrio1"},
        {Fonte1, "Fonte1"},
        {Preview1, "Preview1"},
        {ImprimirSelecao1, "ImprimirSelecao1"},
        {ListasSelecao1, "ListasSelecao1"},
        {Tema1, "Tema1"},
        {TemaCores1, "TemaCores1"},
        {TemaCinza1, "TemaCinza1"},
        {TemaNenhum1, "TemaNenhum1"},
        {Configurar1, "Configurar1"},
        {Ajuda1, "Ajuda1"},
        {Sobre1, "Sobre1"},
        {Recarregar1, "Recarregar1"},
        {Navegar1, "Navegar1"},
        {Localizar1, "Localizar1"},
        {LocalizarProxima1, "LocalizarProxima1"},
        {LocalizarAnterior1, "LocalizarAnterior1"},
        {IrPara1, "IrPara1"},
        {AbrirProjeto1, "AbrirProjeto1"},
        {AbrirPasta1, "AbrirPasta1"},
        {LocalizarReferencias1, "LocalizarReferencias1"},
        {Voltar1, "Voltar1"},
        {Dependencias1, "Dependencias1"}};
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
    // A stretch of lines can be selected, for "Imprimir seleção".
    ListBox1->setSelectionMode(QAbstractItemView::ContiguousSelection);
    // The colour switch sits in the listing's own context menu; the desktop state remembers it.
    CoresListagem1 = new QAction(QStringLiteral("Colorir listagem"), ListBox1);
    CoresListagem1->setObjectName("CoresListagem1");
    CoresListagem1->setCheckable(true);
    connect(CoresListagem1, &QAction::toggled, this, &TF_tabulan::CoresListagem1Click);
    ListBox1->addAction(CoresListagem1);
    ListBox1->addAction(LocalizarReferencias1);
    ListBox1->setContextMenuPolicy(Qt::ActionsContextMenu);
    listbox3 = addPage(QStringLiteral("Variáveis"), new TWideListBox, "listbox3", 13);
    ListBox4 = addPage(QStringLiteral("Proc/Func"), new TWideListBox, "ListBox4", 13);
    ListBox5 = addPage(QStringLiteral("Uses"), new TListBox, "ListBox5", 13);
    // The open project's files: a tab of its own once a project is open.
    Projeto1 = new TProjectPanel(this);
    Projeto1->setObjectName("Projeto1");
    Projeto1->hide();
    TabbedNotebook1->setCurrentIndex(0);
    Referencias1 = new TReferencesPanel(this);
    addDockWidget(Qt::BottomDockWidgetArea, Referencias1);
    Referencias1->hide();
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
        StatusPanels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        StatusPanels[i]->setMinimumWidth(widths[i]);
        StatusPanels[i]->setFrameShape(QFrame::Panel);
        StatusPanels[i]->setFrameShadow(QFrame::Sunken);
        // The last panel holds the path and takes the rest of the bar.
        bar->addWidget(StatusPanels[i], i == 2 ? 1 : 0);
        if (i < 2)
            StatusPanels[i]->setFixedWidth(widths[i]);
    }
}

void TF_tabulan::buildNavigation()
{
    // Double-click or Enter on an item that names lines follows it to the listing; its
    // context menu offers every line it names.
    for (TListBox* list : {static_cast<TListBox*>(listbox3), static_cast<TListBox*>(ListBox4)}) {
        connect(list, &QAbstractItemView::activated, this,
                [this, list](const QModelIndex& index) { followItem(list, index); });
        list->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(list, &QWidget::customContextMenuRequested, this,
                [this, list](const QPoint& position) { showLineMenu(list, position); });
    }
    connect(Projeto1, &TProjectPanel::fileChosen, this, [this](std::uint32_t file, int line) {
        if (const auto& project = session_.project(); project && file < project->files().size())
            showFileAt(project->files()[file].path, line);
    });
    connect(Referencias1, &TReferencesPanel::referenceChosen, this,
            [this](std::uint32_t file, int line, int column) {
                const std::shared_ptr<const TProjectIndex>& index = Referencias1->index();
                if (index && file < index->files().size())
                    goToPlace(index->files()[file].path, line, column);
            });
    // Where the listing was clicked is where "Localizar referências" looks.
    ListBox1->viewport()->installEventFilter(this);
    connect(FindBar1, &TFindBar::findNext, this, [this] { localizar(false); });
    connect(FindBar1, &TFindBar::findPrevious, this, [this] { localizar(true); });
    connect(FindBar1, &TFindBar::closed, this, [this] {
        if (QWidget* list = TabbedNotebook1->currentWidget())
            list->setFocus();
    });
}

void TF_tabulan::FormCreate()
{
    session_.settings() = TListingSettings{};
    session_.setDocument(nullptr);
    session_.setProject(nullptr, {});
    Gravar1->setEnabled(false);
    ExportarHTML1->setEnabled(false);
    Relatrio1->setEnabled(false);
    Relatrio1->menuAction()->setEnabled(false);
    // The commands that need a loaded file, the report menu's own items among them, so that
    // their shortcuts stay off too.
    for (QAction* action : {Recarregar1, IrPara1, Fonte1, Preview1, ImprimirSelecao1,
                            LocalizarReferencias1, Voltar1, Dependencias1})
        action->setEnabled(false);
}

void TF_tabulan::enableFileCommands()
{
    if (!session_.document())
        return;
    Gravar1->setEnabled(true);
    ExportarHTML1->setEnabled(true);
    Relatrio1->setEnabled(true);
    Relatrio1->menuAction()->setEnabled(true);
    for (QAction* action :
         {Recarregar1, IrPara1, Fonte1, Preview1, ImprimirSelecao1, LocalizarReferencias1})
        action->setEnabled(true);
}

bool TF_tabulan::guarded(const std::function<void()>& command)
{
    try {
        command();
        return true;
    } catch (const std::exception& error) {
        TDialogs::current().showMessage(this, QString::fromLocal8Bit(error.what()));
        return false;
    }
}

void TF_tabulan::carregar_arq(const std::string& path)
{
    session_.setDocument(load_in_background(path, session_.settings()));
    const TSourceDocument& document = *session_.document();
    const bool utf8 = document.analysis().encoding() == SourceEncoding::Utf8;
    ListBox1->Items().setSource(lines_of(document, TSection::Listing), utf8);
    StatusPanels[1]->setText(QString::number(ListBox1->Items().count()) +
                             QStringLiteral(" linhas"));
    StatusPanels[2]->setText(displayPath(path));
    // A NUL byte ends the text: what follows it is not listed, and the status bar says so.
    if (const auto nul = document.analysis().nul_offset()) {
        StatusPanels[0]->setText(QStringLiteral("Byte NUL em %1").arg(*nul));
        StatusPanels[0]->setToolTip(
            QStringLiteral("Um byte NUL na posição %1 encerra a listagem; o resto do arquivo "
                           "não é listado.")
                .arg(*nul));
    } else {
        StatusPanels[0]->clear();
        StatusPanels[0]->setToolTip({});
    }
    colourListing();
    carrega_var();
}

void TF_tabulan::carrega_var()
{
    const std::shared_ptr<const TSourceDocument>& document = session_.document();
    if (!document) {
        for (TListBox* list :
             {static_cast<TListBox*>(listbox3), static_cast<TListBox*>(ListBox4), ListBox5})
            list->Items().clear();
        return;
    }
    const bool utf8 = document->analysis().encoding() == SourceEncoding::Utf8;
    listbox3->Items().setSource(lines_of(*document, TSection::Xref), utf8);
    ListBox4->Items().setSource(lines_of(*document, TSection::Procs), utf8);
    ListBox5->Items().setSource(lines_of(*document, TSection::Uses), utf8);
}

bool TF_tabulan::loadOrSay(const std::string& path)
{
    try {
        carregar_arq(path);
        return true;
    } catch (const EFOpenError&) {
        TDialogs::current().showMessage(this,
                                        QStringLiteral("Não foi possível abrir o arquivo "
                                                       "%1: %2.")
                                            .arg(displayPath(path), open_failure_reason(path)));
        return false;
    }
}

void TF_tabulan::loadChosenFile(const QString& path)
{
    loadFilePath(localPath(path));
}

void TF_tabulan::loadFilePath(const std::string& path)
{
    if (loadOrSay(path)) {
        enableFileCommands();
        rememberLoadedFile(path);
        return;
    }
    forgetRecent(path);
}

void TF_tabulan::forgetRecent(const std::string& path)
{
    // A recent file that can no longer be read leaves the list.
    if (std::erase(recent_, path) == 0)
        return;
    if (state_)
        state_->removeRecentFile(path);
    rebuildRecentMenu();
}

void TF_tabulan::openPath(const std::string& path)
{
    if (!opens_as_project(path)) {
        loadFilePath(path);
        return;
    }
    if (!openProject(path))
        forgetRecent(path);
}

void TF_tabulan::rememberLoadedFile(const std::string& path)
{
    const std::string folder = std::filesystem::path(path).parent_path().string();
    if (!folder.empty())
        TDialogs::current().setStartFolder(displayPath(folder));
    std::erase(recent_, path);
    recent_.insert(recent_.begin(), path);
    if (recent_.size() > TDesktopState::kMaxRecentFiles)
        recent_.resize(TDesktopState::kMaxRecentFiles);
    if (state_)
        state_->addRecentFile(path);
    rebuildRecentMenu();
}

void TF_tabulan::rebuildRecentMenu()
{
    // An entry may be the one being triggered right now: it goes once its signal has run.
    for (QAction* action : std::as_const(recentActions_)) {
        Arquivo1->removeAction(action);
        action->deleteLater();
    }
    recentActions_.clear();
    for (std::size_t i = 0; i < recent_.size(); ++i) {
        const std::string path = recent_[i];
        QString caption = displayPath(path);
        caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
        auto* action = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(caption), Arquivo1);
        connect(action, &QAction::triggered, this, [this, path] { openPath(path); });
        Arquivo1->insertAction(N2, action);
        recentActions_ << action;
    }
    N2->setVisible(!recent_.empty());
}

void TF_tabulan::setDesktopState(TDesktopState* state)
{
    state_ = state;
    if (!state_)
        return;
    const QByteArray geometry = state_->windowGeometry();
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
    CoresListagem1->setChecked(state_->listingColours());
    recent_ = state_->recentFiles();
    if (!recent_.empty()) {
        const std::string folder = std::filesystem::path(recent_.front()).parent_path().string();
        if (!folder.empty())
            TDialogs::current().setStartFolder(displayPath(folder));
    }
    rebuildRecentMenu();
}

void TF_tabulan::closeEvent(QCloseEvent* event)
{
    if (state_)
        state_->setWindowGeometry(saveGeometry());
    QMainWindow::closeEvent(event);
}

void TF_tabulan::recarregar()
{
    const int top = ListBox1->indexAt(QPoint(0, 0)).row();
    const QModelIndexList selected = ListBox1->selectionModel()->selectedIndexes();
    const int selectedRow = selected.isEmpty() ? -1 : selected.first().row();
    const int horizontal = ListBox1->horizontalScrollBar()->value();
    // A file of the open project is read again with the whole project, so that references and
    // inactive lines follow what is now on disk.
    const bool ofProject = session_.project() && shownFileIn(*session_.project()) != kNoId;
    if (!loadOrSay(session_.path()))
        return;
    if (ofProject)
        reindexProject();
    const int count = ListBox1->Items().count();
    if (count == 0)
        return;
    if (selectedRow >= 0 && selectedRow < count)
        ListBox1->setCurrentIndex(ListBox1->Items().index(selectedRow));
    if (top >= 0)
        ListBox1->scrollTo(ListBox1->Items().index(std::min(top, count - 1)),
                           QAbstractItemView::PositionAtTop);
    ListBox1->horizontalScrollBar()->setValue(horizontal);
}

void TF_tabulan::Recarregar1Click()
{
    if (session_.document())
        recarregar();
}

void TF_tabulan::ir_para_linha(int linha)
{
    TabbedNotebook1->setCurrentWidget(ListBox1);
    const int count = ListBox1->Items().count();
    if (count == 0)
        return;
    const QModelIndex index = ListBox1->Items().index(std::clamp(linha - 1, 0, count - 1));
    ListBox1->setCurrentIndex(index);
    ListBox1->scrollTo(index, QAbstractItemView::PositionAtCenter);
    ListBox1->setFocus();
}

std::vector<int> TF_tabulan::itemLines(TListBox* list, int row) const
{
    const std::shared_ptr<const TSourceDocument>& document = session_.document();
    if (!document || row < 0 || row >= list->Items().count())
        return {};
    if (list == listbox3)
        return document->writer()->line_numbers(TSection::Xref, static_cast<std::size_t>(row));
    if (list == ListBox4)
        return document->writer()->line_numbers(TSection::Procs, static_cast<std::size_t>(row));
    return {};
}

void TF_tabulan::followItem(TListBox* list, const QModelIndex& index)
{
    if (!index.isValid())
        return;
    const std::vector<int> lines = itemLines(list, index.row());
    if (!lines.empty())
        ir_para_linha(lines.front());
}

std::unique_ptr<QMenu> TF_tabulan::lineMenu(TListBox* list, int row)
{
    auto menu = std::make_unique<QMenu>(this);
    for (int line : itemLines(list, row))
        menu->addAction(QStringLiteral("Ir para a linha %1").arg(line), this,
                        [this, line] { ir_para_linha(line); });
    return menu;
}

void TF_tabulan::showLineMenu(TListBox* list, const QPoint& position)
{
    const std::unique_ptr<QMenu> menu = lineMenu(list, list->indexAt(position).row());
    if (!menu->isEmpty())
        menu->exec(list->viewport()->mapToGlobal(position));
}

void TF_tabulan::IrPara1Click()
{
    const int count = ListBox1->Items().count();
    if (count == 0)
        return;
    const int current = std::max(ListBox1->currentIndex().row(), 0) + 1;
    const std::optional<int> line = TDialogs::current().askNumber(
        this, QStringLiteral("Ir para a linha"), QStringLiteral("Linha (1 a %1):").arg(count),
        current, 1, count);
    if (line)
        ir_para_linha(*line);
}

void TF_tabulan::Localizar1Click()
{
    FindBar1->open();
}

bool TF_tabulan::localizar(bool backward)
{
    auto* list = qobject_cast<TListBox*>(TabbedNotebook1->currentWidget());
    if (!list)
        return false;
    if (FindBar1->text().isEmpty()) {
        FindBar1->open();
        return false;
    }
    const int row = find_item(list->Items(), FindBar1->text(), list->currentIndex().row(), backward,
                              FindBar1->sensitivity());
    FindBar1->setNotFound(row < 0);
    if (row < 0)
        return false;
    const QModelIndex index = list->Items().index(row);
    list->setCurrentIndex(index);
    list->scrollTo(index, QAbstractItemView::PositionAtCenter);
    return true;
}

void TF_tabulan::Carregar1Click()
{
    const QString chosen =
        TDialogs::current().openFileName(this, QString(), QString::fromLatin1(kOpenFilter));
    if (!chosen.isEmpty()) {
        loadChosenFile(chosen);
        return;
    }
    enableFileCommands();
}

void TF_tabulan::Gravar1Click()
{
    const std::shared_ptr<const TSourceDocument> document = session_.document();
    if (!document)
        return;
    const QString proposed = displayPath(proposed_export_name(document->path()));
    const QString chosen =
        TDialogs::current().saveFileName(this, QString(), proposed, QString(), QString());
    if (chosen.isEmpty())
        return;
    // The lists shown, with the sections the switches select now.
    std::string bytes;
    write_export(*document->writer(), session_.settings(),
                 [&](std::string_view piece) { bytes.append(piece); });
    if (!write_export_file(localPath(chosen), bytes))
        TDialogs::current().showMessage(this, QStringLiteral("Não foi possível criar o arquivo: ") +
                                                  chosen);
}

void TF_tabulan::ExportarHTML1Click()
{
    const std::shared_ptr<const TSourceDocument> document = session_.document();
    if (!document)
        return;
    const QString start =
        displayPath(std::filesystem::path(document->path()).parent_path().string());
    const QString folder =
        TDialogs::current().existingFolder(this, QStringLiteral("Exportar HTML"), start);
    if (folder.isEmpty())
        return;
    guarded([&] {
        // The open project as a whole when the shown file is one of its files, else the loaded
        // file as a program of its own; the folder's index keeps listing what earlier exports
        // put there.
        const std::shared_ptr<const TProjectIndex> index = indexForShown(true);
        if (!index)
            return;
        THtmlSite site(index, session_.settings());
        site.setKeepEarlierPages(true);
        const unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
        std::vector<std::string> failed;
        const bool complete = run_in_background([&] {
            return site.write(localPath(folder), jobs,
                              [&failed](const std::string& path) { failed.push_back(path); });
        });
        if (complete) {
            TDialogs::current().showMessage(this,
                                            QStringLiteral("HTML exportado para %1.").arg(folder));
            return;
        }
        // One message, however many files failed.
        QString message = QStringLiteral("Não foi possível criar o arquivo: ") +
                          displayPath(failed.empty() ? localPath(folder) : failed.front());
        if (failed.size() > 1)
            message += QStringLiteral(" (e mais %1 arquivos)").arg(failed.size() - 1);
        TDialogs::current().showMessage(this, message);
    });
}

void TF_tabulan::CoresListagem1Click(bool checked)
{
    if (state_)
        state_->setListingColours(checked);
    colourListing();
}

void TF_tabulan::colourListing()
{
    const std::shared_ptr<const TSourceDocument>& document = session_.document();
    if (!CoresListagem1->isChecked() || !document) {
        ListBox1->setItemColours({});
        return;
    }
    // Lines a conditional leaves out, as the index of the shown file records them.
    std::vector<bool> inactive;
    if (const std::shared_ptr<const TProjectIndex> index = indexForShown(true)) {
        if (const std::uint32_t file = shownFileIn(*index); file != kNoId) {
            inactive.assign(document->analysis().lines().size(), false);
            for (const TLineRange& range : index->files()[file].inactive_lines)
                for (int line = std::max(range.first, 1);
                     line <= range.last && static_cast<std::size_t>(line) <= inactive.size();
                     ++line)
                    inactive[static_cast<std::size_t>(line) - 1] = true;
        }
    }
    const bool dark = ListBox1->palette().color(QPalette::Base).lightness() < 128;
    // Each row's colours come from the document's token classes as the row is drawn; the
    // source text of an inactive line is grey, its number and prefix as on any other line.
    ListBox1->setItemColours([writer = document->writer(), dark, inactive = std::move(inactive)](
                                 int row, std::vector<TItemColour>& colours) {
        std::string line;
        std::vector<TStyledRun> runs;
        const auto index = static_cast<std::size_t>(row);
        const TLineLayout layout = writer->append_listing_line(index, line);
        writer->listing_runs(index, layout, runs);
        const bool grey = index < inactive.size() && inactive[index];
        const std::uint32_t textEnd = layout.text_start + layout.text_length;
        bool greyed = false;
        for (const TStyledRun& run : runs) {
            const bool inText = run.start >= layout.text_start && run.start < textEnd;
            if (grey && run.start >= layout.text_start && !greyed) {
                colours.push_back({static_cast<int>(layout.text_start),
                                   static_cast<int>(layout.text_length), inactiveColour(dark)});
                greyed = true;
            }
            if (grey && inText)
                continue;
            if (const QColor colour = runColour(run.kind, dark); colour.isValid())
                colours.push_back(
                    {static_cast<int>(run.start), static_cast<int>(run.length), colour});
        }
        if (grey && !greyed)
            colours.push_back({static_cast<int>(layout.text_start),
                               static_cast<int>(layout.text_length), inactiveColour(dark)});
    });
}

void TF_tabulan::setReportForm(TF_dif* form)
{
    report_ = form;
    if (report_) {
        report_->setSettings(&session_.settings());
        if (session_.reportTheme())
            report_->setTheme(*session_.reportTheme());
    }
}

void TF_tabulan::applyReportTheme(TReportTheme theme)
{
    session_.setReportTheme(theme);
    for (auto [action, shown] :
         {std::pair{TemaCores1, TReportTheme::Cores}, std::pair{TemaCinza1, TReportTheme::Cinza},
          std::pair{TemaNenhum1, TReportTheme::Nenhum}})
        if (shown == theme)
            action->setChecked(true);
    if (report_)
        report_->setTheme(theme);
}

void TF_tabulan::Fonte1Click()
{
    // The dialog starts on the font the listing is drawn with: the family the requested one
    // resolved to and its size in points, so OK without changes keeps the listing as it is.
    const QFontInfo drawn(ListBox1->font());
    QFont initial(drawn.family());
    initial.setPointSizeF(drawn.pointSizeF());
    initial.setBold(drawn.bold());
    initial.setItalic(drawn.italic());
    const std::optional<QFont> chosen = TDialogs::current().chooseFont(this, initial);
    if (!chosen)
        return;
    useReportFont(*chosen);
}

void TF_tabulan::applyReportFont(const TReportFontSpec& font)
{
    QFont chosen(QString::fromStdString(font.family));
    chosen.setPointSizeF(font.points > 0 ? font.points : QFontInfo(ListBox1->font()).pointSizeF());
    useReportFont(chosen);
}

void TF_tabulan::useReportFont(const QFont& font)
{
    ListBox1->setFont(font);
    if (report_)
        report_->setMemoFont(font);
    session_.setReportFont(TReportFontSpec{font.family().toStdString(),
                                           font.pointSizeF() > 0 ? font.pointSizeF() : 0});
}

void TF_tabulan::Preview1Click()
{
    if (!report_)
        return;
    // One preview at a time: while one is open (or its pages are being made) it is brought
    // forward, and the report it shows is left alone.
    TRpReport& report = report_->report();
    if (QWidget* open = report.PreviewWindow()) {
        open->raise();
        open->activateWindow();
        return;
    }
    const std::shared_ptr<const TSourceDocument> document = session_.document();
    if (report.Generating() || !document)
        return;
    guarded([&] {
        report_->setDocument(document);
        prepare_report_for(*report_, document->path(), document->analysis().encoding());
        // "Salvar" as PDF runs the report again straight into the PDF writer.
        TF_dif* form = report_;
        Preview(report_->report(), [form](const std::string& path, std::function<bool()> goOn) {
            return write_report_pdf(*form, path, [form, goOn] {
                if (!goOn())
                    form->report().Cancel();
            });
        });
    });
}

void TF_tabulan::ImprimirSelecao1Click()
{
    if (!report_ || !session_.document())
        return;
    if (QWidget* open = report_->report().PreviewWindow()) {
        open->raise();
        open->activateWindow();
        return;
    }
    int first = -1;
    int last = -1;
    for (const QModelIndex& index : ListBox1->selectionModel()->selectedIndexes()) {
        first = first < 0 ? index.row() : std::min(first, index.row());
        last = std::max(last, index.row());
    }
    if (first < 0) {
        TDialogs::current().showMessage(
            this, QStringLiteral("Selecione na listagem as linhas que quer imprimir."));
        return;
    }
    report_->setSelection(TF_dif::TSelection{static_cast<std::size_t>(first),
                                             static_cast<std::size_t>(last) + 1,
                                             ListasSelecao1->isChecked()});
    Preview1Click();
    report_->setSelection(std::nullopt);
}

void TF_tabulan::Configurar1Click()
{
    if (!config_)
        return;
    const int result = TDialogs::current().execModal(config_);
    if (result == QDialog::Accepted && session_.document())
        recarregar();
}

void TF_tabulan::Sair1Click()
{
    close();
}

void TF_tabulan::Sobre1Click()
{
    if (about_)
        TDialogs::current().execModal(about_);
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

bool TF_tabulan::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ListBox1->viewport() && event->type() == QEvent::MouseButtonPress) {
        const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
        const int row = ListBox1->indexAt(at).row();
        spot_ = {row, row < 0 ? -1 : ListBox1->byteAt(row, at.x())};
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TF_tabulan::openProject(const std::string& path)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path full = fs::absolute(path, error).lexically_normal();
    const bool folder = fs::is_directory(full, error);
    const auto fail = [&](const QString& reason) {
        sayProjectFailed(full.string(), reason);
        return false;
    };
    if (!folder && !fs::is_regular_file(full, error))
        return fail(open_failure_reason(full.string()));
    const std::string root = folder ? full.string() : full.parent_path().string();
    std::shared_ptr<const TProjectIndex> project;
    try {
        project = indexProject(full.string(), root);
    } catch (const std::exception& failure) {
        return fail(QString::fromLocal8Bit(failure.what()));
    }
    const auto& files = project->files();
    if (!std::any_of(files.begin(), files.end(), [](const TProjectFile& f) { return f.readable; }))
        return fail(folder ? QStringLiteral("a pasta não tem fontes Pascal")
                           : QStringLiteral("não foi possível lê-lo"));
    if (!folder) {
        if (!loadOrSay(full.string()))
            return false;
        enableFileCommands();
    }
    projectPath_ = full.string();
    showProject(project, root);
    rememberLoadedFile(projectPath_);
    TDialogs::current().setStartFolder(displayPath(root));
    int tab = TabbedNotebook1->indexOf(Projeto1);
    if (tab < 0)
        tab = TabbedNotebook1->addTab(Projeto1, QStringLiteral("Projeto"));
    TabbedNotebook1->setCurrentIndex(folder ? tab : TabbedNotebook1->indexOf(ListBox1));
    Dependencias1->setEnabled(true);
    return true;
}

std::shared_ptr<const TProjectIndex> TF_tabulan::indexProject(const std::string& path,
                                                              const std::string& root)
{
    TProjectInput input;
    input.paths.push_back(path);
    TProjectOptions options;
    options.compiler = TCompiler::Fpc;
    options.unit_paths.push_back(root);
    return run_in_background(
        [&] { return std::make_shared<const TProjectIndex>(build_project_index(input, options)); });
}

void TF_tabulan::showProject(std::shared_ptr<const TProjectIndex> project, const std::string& root)
{
    session_.setProject(project, root);
    Projeto1->setProject(project, root);
    if (F_dependencias)
        F_dependencias->setProject(project, root);
    // The shown file may belong to the project now: its inactive lines come from there.
    colourListing();
}

void TF_tabulan::reindexProject()
{
    const std::string root = session_.projectRoot();
    try {
        showProject(indexProject(projectPath_, root), root);
    } catch (const std::exception& failure) {
        sayProjectFailed(projectPath_, QString::fromLocal8Bit(failure.what()));
    }
}

void TF_tabulan::sayProjectFailed(const std::string& path, const QString& reason)
{
    TDialogs::current().showMessage(
        this,
        QStringLiteral("Não foi possível abrir o projeto %1: %2.").arg(displayPath(path), reason));
}

void TF_tabulan::AbrirProjeto1Click()
{
    const QString chosen =
        TDialogs::current().openFileName(this, QString(), QString::fromLatin1(kProjectFilter));
    if (!chosen.isEmpty())
        openProject(localPath(chosen));
}

void TF_tabulan::AbrirPasta1Click()
{
    const QString chosen = TDialogs::current().existingFolder(
        this, QStringLiteral("Abrir pasta como projeto"), TDialogs::current().startFolder());
    if (!chosen.isEmpty())
        openProject(localPath(chosen));
}

std::uint32_t TF_tabulan::shownFileIn(const TProjectIndex& index) const
{
    const std::shared_ptr<const TSourceDocument>& document = session_.document();
    if (!document)
        return kNoId;
    if (const std::uint32_t id = index.file_id(document->path()); id != kNoId)
        return id;
    // The same file named another way ("a/../b.pas", a relative name).
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path shown = fs::absolute(document->path(), error).lexically_normal();
    for (std::uint32_t id = 0; id < index.files().size(); ++id)
        if (fs::absolute(index.files()[id].path, error).lexically_normal() == shown)
            return id;
    return kNoId;
}

std::shared_ptr<const TProjectIndex> TF_tabulan::indexForShown(bool build)
{
    const std::shared_ptr<const TSourceDocument>& document = session_.document();
    if (!document)
        return nullptr;
    if (const std::shared_ptr<const TProjectIndex>& project = session_.project();
        project && shownFileIn(*project) != kNoId)
        return project;
    if (fileIndex_ && fileIndexFor_.lock() == document)
        return fileIndex_;
    if (!build)
        return nullptr;
    // The loaded file as a program of its own, as the HTML export reads it.
    TProjectInput input;
    input.paths.push_back(document->path());
    fileIndex_ = run_in_background(
        [&input] { return std::make_shared<const TProjectIndex>(build_project_index(input, {})); });
    fileIndexFor_ = document;
    return fileIndex_;
}

void TF_tabulan::LocalizarReferencias1Click()
{
    const std::shared_ptr<const TSourceDocument> document = session_.document();
    if (!document)
        return;
    const int row = ListBox1->currentIndex().isValid() ? ListBox1->currentIndex().row() : spot_.row;
    if (row < 0 || row >= ListBox1->Items().count())
        return;
    std::string line;
    const TLineLayout layout =
        document->writer()->append_listing_line(static_cast<std::size_t>(row), line);
    // The clicked byte when the click was on this row's text; else the row's first word.
    std::size_t at = layout.text_start;
    if (spot_.row == row && spot_.byte >= static_cast<int>(layout.text_start))
        at = static_cast<std::size_t>(spot_.byte);
    else
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
            ++at;
    std::size_t begin = at;
    while (begin > layout.text_start && begin <= line.size() && isNameByte(line[begin - 1]))
        --begin;
    std::size_t end = at;
    while (end < line.size() && isNameByte(line[end]))
        ++end;
    const QString name = sourceText(std::string_view(line).substr(begin, end - begin));
    guarded([&] {
        const std::shared_ptr<const TProjectIndex> index = indexForShown(true);
        const std::uint32_t file = index ? shownFileIn(*index) : kNoId;
        const TProjectReference* reference =
            file == kNoId
                ? nullptr
                : index->reference_at(file, row + 1, static_cast<int>(at - layout.text_start) + 1);
        if (!reference) {
            statusBar()->showMessage(
                QStringLiteral("Nenhuma referência encontrada para %1.")
                    .arg(name.isEmpty() ? QStringLiteral("esta posição") : name),
                5000);
            return;
        }
        const bool inProject = index == session_.project();
        Referencias1->showReferences(
            index, reference->declaration,
            inProject ? session_.projectRoot()
                      : std::filesystem::path(document->path()).parent_path().string());
    });
}

bool TF_tabulan::showFileAt(const std::string& path, int line)
{
    if (!session_.document() || session_.path() != path) {
        if (!loadOrSay(path))
            return false;
        enableFileCommands();
    }
    ir_para_linha(std::max(line, 1));
    return true;
}

void TF_tabulan::goToPlace(const std::string& path, int line, int column)
{
    const bool hadDocument = session_.document() != nullptr;
    const TPlace here{session_.path(), std::max(ListBox1->currentIndex().row(), 0)};
    if (!showFileAt(path, line))
        return;
    if (hadDocument) {
        history_.push_back(here);
        if (history_.size() > kMaxHistory)
            history_.erase(history_.begin());
        Voltar1->setEnabled(true);
    }
    // The name becomes the spot "Localizar referências" starts from, and is scrolled into view.
    const int row = ListBox1->currentIndex().row();
    if (row < 0)
        return;
    std::string text;
    const TLineLayout layout =
        session_.document()->writer()->append_listing_line(static_cast<std::size_t>(row), text);
    spot_ = {row, static_cast<int>(layout.text_start) + std::max(column, 1) - 1};
    const int x = ListBox1->xOfByte(row, spot_.byte);
    const int width = ListBox1->viewport()->width();
    if (x < 0 || x > width - 40) {
        QScrollBar* bar = ListBox1->horizontalScrollBar();
        bar->setValue(bar->value() + x - width / 3);
    }
}

void TF_tabulan::Voltar1Click()
{
    if (history_.empty())
        return;
    const TPlace place = history_.back();
    history_.pop_back();
    Voltar1->setEnabled(!history_.empty());
    if (!place.path.empty())
        showFileAt(place.path, place.row + 1);
}

void TF_tabulan::Dependencias1Click()
{
    const std::shared_ptr<const TProjectIndex>& project = session_.project();
    if (!project)
        return;
    if (!F_dependencias) {
        F_dependencias = new TDependencyView(this);
        connect(F_dependencias, &TDependencyView::unitChosen, this, [this](std::uint32_t file) {
            if (const auto& shown = session_.project(); shown && file < shown->files().size())
                showFileAt(shown->files()[file].path, 1);
        });
        F_dependencias->setProject(project, session_.projectRoot());
    }
    F_dependencias->show();
    F_dependencias->raise();
    F_dependencias->activateWindow();
}

}  // namespace tabulex
