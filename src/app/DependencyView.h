#pragma once
#include <QDialog>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "project/ProjectIndex.h"

class QComboBox;
class QLabel;
class QScrollArea;
class QSvgRenderer;

namespace tabulex {

/// A drawn unit graph ("GrafoDependencias1"): the SVG picture at the zoom chosen (Ctrl+wheel),
/// and which project file each of its nodes stands for. A click on a node tells which.
class TGraphCanvas : public QWidget {
    Q_OBJECT
public:
    explicit TGraphCanvas(QWidget* parent = nullptr);
    ~TGraphCanvas() override;

    /// Shows the picture `svg`, whose node groups have the ids "unit0", "unit1", ... for
    /// `files[0]`, `files[1]`, ... (empty svg: nothing).
    void setGraph(const std::string& svg, std::vector<std::uint32_t> files);
    /// Nodes found in the picture, and where node `node` is drawn, in the canvas' coordinates.
    int nodeCount() const { return static_cast<int>(nodes_.size()); }
    QRect nodeRect(int node) const;
    /// The file of the node under `point`, or kNoId.
    std::uint32_t fileAt(const QPoint& point) const;

    QSize sizeHint() const override;

signals:
    void fileClicked(std::uint32_t file);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    struct TNode {
        std::uint32_t file = kNoId;
        QRectF bounds;  ///< in the picture's own coordinates
    };
    QTransform pictureToCanvas() const;

    std::unique_ptr<QSvgRenderer> renderer_;
    std::vector<TNode> nodes_;
    double zoom_ = 1.0;
};

/// The "Dependências" window ("F_dependencias"): the open project's units and the uses
/// between them, drawn as the HTML edition draws them, units on a cycle in a colour of their
/// own. A program with many units is shown a folder at a time, chosen in
/// "PastaDependencias1". A click on a unit asks for it to be shown.
class TDependencyView : public QDialog {
    Q_OBJECT
public:
    explicit TDependencyView(QWidget* parent = nullptr);

    /// Shows the units of `project`, the folders named relative to `root`.
    void setProject(std::shared_ptr<const TProjectIndex> project, const std::string& root);

signals:
    /// Unit `file` of the project was clicked.
    void unitChosen(std::uint32_t file);

private:
    /// Draws the units of the folder chosen (all of them for the first entry, when offered).
    void drawChosen();

    std::shared_ptr<const TProjectIndex> project_;
    /// The units of each entry of the combo, as file ids.
    std::vector<std::vector<std::uint32_t>> entries_;
    QComboBox* PastaDependencias1 = nullptr;
    QLabel* AvisoDependencias1 = nullptr;
    QScrollArea* scroll_ = nullptr;
    TGraphCanvas* GrafoDependencias1 = nullptr;
};

}  // namespace tabulex
