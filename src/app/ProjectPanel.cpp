#include "app/ProjectPanel.h"

#include <QHeaderView>
#include <QListWidget>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <filesystem>

#include "app/ProjectText.h"

namespace tabulex {

namespace {

enum TColumn { Name, Path, Lines, Routines, Notes, ColumnCount };

// The role of the file id (name column) and of a note's line.
constexpr int kIdRole = Qt::UserRole;

bool listed(TProjectFileKind kind)
{
    return kind != TProjectFileKind::Other;
}

}  // namespace

TProjectPanel::TProjectPanel(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* splitter = new QSplitter(Qt::Vertical, this);
    layout->addWidget(splitter);

    ProjetoArquivos1 = new QTreeWidget(splitter);
    ProjetoArquivos1->setObjectName("ProjetoArquivos1");
    ProjetoArquivos1->setRootIsDecorated(false);
    ProjetoArquivos1->setUniformRowHeights(true);
    ProjetoArquivos1->setColumnCount(ColumnCount);
    ProjetoArquivos1->setHeaderLabels({QStringLiteral("Nome"), QStringLiteral("Caminho"),
                                       QStringLiteral("Linhas"), QStringLiteral("Rotinas"),
                                       QStringLiteral("Notas")});
    // The path takes the room the other columns leave.
    ProjetoArquivos1->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    ProjetoArquivos1->header()->setSectionResizeMode(Path, QHeaderView::Stretch);
    ProjetoArquivos1->header()->setStretchLastSection(false);

    ProjetoNotas1 = new QListWidget(splitter);
    ProjetoNotas1->setObjectName("ProjetoNotas1");
    ProjetoNotas1->setUniformItemSizes(true);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);

    connect(ProjetoArquivos1, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { showNotes(item); });
    connect(ProjetoArquivos1, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        emit fileChosen(item->data(Name, kIdRole).toUInt(), 0);
    });
    connect(ProjetoNotas1, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        const QTreeWidgetItem* file = ProjetoArquivos1->currentItem();
        if (file)
            emit fileChosen(file->data(Name, kIdRole).toUInt(), item->data(kIdRole).toInt());
    });
}

void TProjectPanel::setProject(std::shared_ptr<const TProjectIndex> project,
                               const std::string& root)
{
    project_ = std::move(project);
    ProjetoArquivos1->setSortingEnabled(false);
    ProjetoArquivos1->clear();
    ProjetoNotas1->clear();
    if (!project_)
        return;
    const auto& files = project_->files();
    std::vector<int> routines(files.size());
    std::vector<int> notes(files.size());
    for (const TProjectDeclaration& declaration : project_->declarations())
        if (declaration.file < files.size() && (declaration.kind == TDeclarationKind::Routine ||
                                                declaration.kind == TDeclarationKind::Method))
            ++routines[declaration.file];
    for (const TProjectNote& note : project_->notes())
        if (note.file < files.size())
            ++notes[note.file];
    QList<QTreeWidgetItem*> items;
    for (std::uint32_t id = 0; id < files.size(); ++id) {
        const TProjectFile& file = files[id];
        if (!listed(file.kind))
            continue;
        auto* item = new QTreeWidgetItem;
        item->setText(Name, file.unit_name.empty()
                                ? displayPath(std::filesystem::path(file.path).filename().string())
                                : sourceText(file.unit_name));
        item->setData(Name, kIdRole, id);
        item->setText(Path, projectRelativePath(root, file.path));
        item->setData(Lines, Qt::DisplayRole, file.line_count);
        item->setData(Routines, Qt::DisplayRole, routines[id]);
        item->setData(Notes, Qt::DisplayRole, notes[id]);
        for (int column : {Lines, Routines, Notes})
            item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
        items << item;
    }
    ProjetoArquivos1->addTopLevelItems(items);
    // Sorted by a click on a heading; until then in the index's order, the program first.
    ProjetoArquivos1->header()->setSortIndicator(-1, Qt::AscendingOrder);
    ProjetoArquivos1->setSortingEnabled(true);
    if (!items.isEmpty())
        ProjetoArquivos1->setCurrentItem(items.front());
}

void TProjectPanel::showNotes(const QTreeWidgetItem* item)
{
    ProjetoNotas1->clear();
    if (!project_ || !item)
        return;
    const std::uint32_t file = item->data(Name, kIdRole).toUInt();
    for (const TProjectNote& note : project_->notes()) {
        if (note.file != file)
            continue;
        auto* row = new QListWidgetItem(
            QStringLiteral("%1: %2").arg(note.line).arg(sourceText(note.text)), ProjetoNotas1);
        row->setData(kIdRole, note.line);
    }
}

}  // namespace tabulex
