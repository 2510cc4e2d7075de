#pragma once
#include <QDockWidget>
#include <cstdint>
#include <memory>
#include <string>

#include "project/ProjectIndex.h"

class QTreeWidget;

namespace tabulex {

/// The references panel ("Referencias1", docked under the tabs): every use of one declaration
/// across the units of an index, grouped by file, each as its line, its mark ("escrita",
/// "leitura", "declaração") and the line's text ("ListaReferencias1"). Double-click or Enter
/// on a use asks to go there.
class TReferencesPanel : public QDockWidget {
    Q_OBJECT
public:
    explicit TReferencesPanel(QWidget* parent = nullptr);

    /// Lists the references of `declaration` of `index`, the files' paths relative to `root`,
    /// and shows the panel.
    void showReferences(std::shared_ptr<const TProjectIndex> index, std::uint32_t declaration,
                        const std::string& root);
    /// The index the listed references belong to (null before the first search).
    const std::shared_ptr<const TProjectIndex>& index() const { return index_; }

signals:
    /// A listed use was chosen: file `file` of index(), at `line` and `column` (1-based).
    void referenceChosen(std::uint32_t file, int line, int column);

private:
    std::shared_ptr<const TProjectIndex> index_;
    QTreeWidget* ListaReferencias1 = nullptr;
};

}  // namespace tabulex
