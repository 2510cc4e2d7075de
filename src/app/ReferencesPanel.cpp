#include "app/ReferencesPanel.h"

#include <QHeaderView>
#include <QTreeWidget>
#include <filesystem>

#include "app/ProjectText.h"
#include "project/SourceLines.h"

namespace tabulex {

namespace {

enum TColumn { Line, Mark, Text, ColumnCount };

// On a use's row (line column): its file, line and column.
constexpr int kFileRole = Qt::UserRole;
constexpr int kLineRole = Qt::UserRole + 1;
constexpr int kColumnRole = Qt::UserRole + 2;

QString mark(TReferenceKind kind)
{
    switch (kind) {
    case TReferenceKind::Write:
        return QStringLiteral("escrita");
    case TReferenceKind::Declaration:
        return QStringLiteral("declaração");
    case TReferenceKind::Read:
        break;
    }
    return QStringLiteral("leitura");
}

}  // namespace

TReferencesPanel::TReferencesPanel(QWidget* parent) : QDockWidget(parent)
{
    setObjectName("Referencias1");
    setWindowTitle(QStringLiteral("Referências"));
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    ListaReferencias1 = new QTreeWidget(this);
    ListaReferencias1->setObjectName("ListaReferencias1");
    ListaReferencias1->setColumnCount(ColumnCount);
    ListaReferencias1->setHeaderLabels(
        {QStringLiteral("Linha"), QStringLiteral("Marca"), QStringLiteral("Texto")});
    ListaReferencias1->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    ListaReferencias1->setUniformRowHeights(true);
    setWidget(ListaReferencias1);
    connect(ListaReferencias1, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        if (item->parent())
            emit referenceChosen(item->data(Line, kFileRole).toUInt(),
                                 item->data(Line, kLineRole).toInt(),
                                 item->data(Line, kColumnRole).toInt());
    });
}

void TReferencesPanel::showReferences(std::shared_ptr<const TProjectIndex> index,
                                      std::uint32_t declaration, const std::string& root)
{
    index_ = std::move(index);
    ListaReferencias1->clear();
    const TProjectDeclaration& declared = index_->declarations()[declaration];
    setWindowTitle(QStringLiteral("Referências de %1").arg(sourceText(declared.name)));
    // References come in file, line, column order: a group per file, started by its first.
    QTreeWidgetItem* group = nullptr;
    std::uint32_t groupFile = kNoId;
    std::vector<std::uint32_t> starts;
    QTreeWidgetItem* first = nullptr;
    for (std::uint32_t at : index_->references_of(declaration)) {
        const TProjectReference& reference = index_->references()[at];
        const TProjectFile& file = index_->files()[reference.file];
        if (!group || reference.file != groupFile) {
            groupFile = reference.file;
            group = new QTreeWidgetItem(ListaReferencias1);
            const QString path = projectRelativePath(root, file.path);
            group->setText(Line, file.unit_name.empty() ? path
                                                        : QStringLiteral("%1 (%2)").arg(
                                                              sourceText(file.unit_name), path));
            group->setFirstColumnSpanned(true);
            starts = line_starts_of(file.bytes);
        }
        auto* row = new QTreeWidgetItem(group);
        row->setText(Line, QString::number(reference.line));
        row->setTextAlignment(Line, Qt::AlignRight | Qt::AlignVCenter);
        row->setText(Mark, mark(reference.kind));
        row->setText(Text, sourceText(line_text(file.bytes, starts, reference.line)).trimmed());
        row->setData(Line, kFileRole, reference.file);
        row->setData(Line, kLineRole, reference.line);
        row->setData(Line, kColumnRole, reference.column);
        if (!first)
            first = row;
    }
    ListaReferencias1->expandAll();
    if (first)
        ListaReferencias1->setCurrentItem(first);
    show();
    raise();
}

}  // namespace tabulex
