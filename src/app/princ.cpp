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
#include "app/DesktopState.h"
#include "app/FindBar.h"
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
const char* const kOpenFilter =
    "Unit Delphi (*.pas);;Projeto Delphi (*.dpr);;Forms Delphi (*.dfm);;Unit Free Pascal (*.pp);;"
    "Programa Lazarus (*.lpr);;Include (*.inc);;Todos os arquivos (*)";

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

// Reads and analyses a file on a thread of its own while the window's event loop keeps it
// painted (user input waits); a busy cursor shows once it takes longer than a moment.
std::shared_ptr<const TSourceDocument> load_in_background(const std::string& path,
                                                          const TListingSettings& settings)
{
    std::shared_ptr<const TSourceDocument> document;
    std::exception_ptr failure;
    QEventLoop loop;
    bool busy = false;
    QTimer cursor;
    cursor.setSingleShot(true);
    QObject::connect(&cursor, &QTimer::timeout, [&busy] {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        busy = true;
    });
    cursor.start(150);
    std::thread worker([&] {
        try {
            document = TSourceDocument::load(path, settings);
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    if (busy)
        QApplication::restoreOverrideCursor();
    if (failure)
        std::rethrow_exception(failure);
    return document;
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

    const std::pair<QObject*, const char*> names[] = {{Arquivo1, "Arquivo1"},
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
                                                      {IrPara1, "IrPara1"}};
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
    ListBox1->setContextMenuPolicy(Qt::ActionsContextMenu);
    listbox3 = addPage(QStringLiteral("Variáveis"), new TWideListBox, "listbox3", 13);
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
    Gravar1->setEnabled(false);
    ExportarHTML1->setEnabled(false);
    Relatrio1->setEnabled(false);
    Relatrio1->menuAction()->setEnabled(false);
    // The commands that need a loaded file, the report menu's own items among them, so that
    // their shortcuts stay off too.
    for (QAction* action : {Recarregar1, IrPara1, Fonte1, Preview1, ImprimirSelecao1})
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
    for (QAction* action : {Recarregar1, IrPara1, Fonte1, Preview1, ImprimirSelecao1})
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
    // A recent file that can no longer be read leaves the list.
    if (std::erase(recent_, path) > 0) {
        if (state_)
            state_->removeRecentFile(path);
        rebuildRecentMenu();
    }
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
        connect(action, &QAction::triggered, this, [this, path] { loadFilePath(path); });
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
    if (!loadOrSay(session_.path()))
        return;
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
        // The loaded file as a program of its own; the folder's index keeps listing what
        // earlier exports put there.
        TProjectInput input;
        input.paths.push_back(document->path());
        THtmlSite site(std::make_shared<const TProjectIndex>(build_project_index(input, {})),
                       session_.settings());
        site.setKeepEarlierPages(true);
        const bool complete = site.write(localPath(folder), 1, [this](const std::string& path) {
            TDialogs::current().showMessage(
                this, QStringLiteral("Não foi possível criar o arquivo: ") + displayPath(path));
        });
        if (complete)
            TDialogs::current().showMessage(this,
                                            QStringLiteral("HTML exportado para %1.").arg(folder));
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
    const bool dark = ListBox1->palette().color(QPalette::Base).lightness() < 128;
    // Each row's colours come from the document's token classes as the row is drawn.
    ListBox1->setItemColours(
        [writer = document->writer(), dark](int row, std::vector<TItemColour>& colours) {
            std::string line;
            std::vector<TStyledRun> runs;
            const auto index = static_cast<std::size_t>(row);
            writer->listing_runs(index, writer->append_listing_line(index, line), runs);
            for (const TStyledRun& run : runs)
                if (const QColor colour = runColour(run.kind, dark); colour.isValid())
                    colours.push_back(
                        {static_cast<int>(run.start), static_cast<int>(run.length), colour});
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

}  // namespace tabulex
