#pragma once
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>

#include "project/ProjectIndex.h"

class QListWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace tabulex {

/// The "Projeto" tab: the open project's units and include files ("ProjetoArquivos1": name,
/// path below the project's folder, lines, routines, notes) and, under them, the check notes
/// of the file chosen ("ProjetoNotas1", "line: text"). Double-click or Enter on a file or on
/// one of its notes asks for it to be shown.
class TProjectPanel : public QWidget {
    Q_OBJECT
public:
    explicit TProjectPanel(QWidget* parent = nullptr);

    /// Lists the files of `project` (null: none), their paths relative to `root`.
    void setProject(std::shared_ptr<const TProjectIndex> project, const std::string& root);

signals:
    /// File `file` of the project was chosen, to be shown at `line` (0: from its start).
    void fileChosen(std::uint32_t file, int line);

private:
    void showNotes(const QTreeWidgetItem* item);

    std::shared_ptr<const TProjectIndex> project_;
    QTreeWidget* ProjetoArquivos1 = nullptr;
    QListWidget* ProjetoNotas1 = nullptr;
};

}  // namespace tabulex
