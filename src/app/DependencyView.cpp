#include "app/DependencyView.h"

#include <QComboBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QSvgRenderer>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>

#include "app/BackgroundTask.h"
#include "app/ProjectText.h"
#include "graph/ProjectGraph.h"

namespace tabulex {

namespace {

// One picture of all the units stays readable up to about this many; a larger program is
// shown a folder at a time, and a folder above it is not drawn (its layout would take long
// and read badly).
constexpr std::size_t kGraphUpTo = 150;

QString nodeId(std::size_t node)
{
    return QStringLiteral("unit%1").arg(node);
}

}  // namespace

TGraphCanvas::TGraphCanvas(QWidget* parent) : QWidget(parent)
{
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
}

TGraphCanvas::~TGraphCanvas() = default;

void TGraphCanvas::setGraph(const std::string& svg, std::vector<std::uint32_t> files)
{
    renderer_.reset();
    nodes_.clear();
    if (!svg.empty()) {
        renderer_ = std::make_unique<QSvgRenderer>(QByteArray::fromStdString(svg));
        if (!renderer_->isValid())
            renderer_.reset();
    }
    if (renderer_)
        for (std::size_t i = 0; i < files.size(); ++i) {
            const QString id = nodeId(i);
            if (!renderer_->elementExists(id))
                continue;
            // The bounds leave out the transformations of the groups around the node.
            nodes_.push_back({files[i], renderer_->transformForElement(id).mapRect(
                                            renderer_->boundsOnElement(id))});
        }
    resize(sizeHint());
    update();
}

QSize TGraphCanvas::sizeHint() const
{
    if (!renderer_)
        return {0, 0};
    const QSizeF size = renderer_->viewBoxF().size() * zoom_;
    return {static_cast<int>(std::ceil(size.width())), static_cast<int>(std::ceil(size.height()))};
}

QTransform TGraphCanvas::pictureToCanvas() const
{
    if (!renderer_)
        return {};
    const QRectF box = renderer_->viewBoxF();
    QTransform transform;
    transform.scale(zoom_, zoom_);
    transform.translate(-box.left(), -box.top());
    return transform;
}

QRect TGraphCanvas::nodeRect(int node) const
{
    if (node < 0 || node >= nodeCount())
        return {};
    return pictureToCanvas().mapRect(nodes_[static_cast<std::size_t>(node)].bounds).toRect();
}

std::uint32_t TGraphCanvas::fileAt(const QPoint& point) const
{
    const QPointF at = pictureToCanvas().inverted().map(QPointF(point));
    for (const TNode& node : nodes_)
        if (node.bounds.contains(at))
            return node.file;
    return kNoId;
}

void TGraphCanvas::paintEvent(QPaintEvent*)
{
    if (!renderer_)
        return;
    QPainter painter(this);
    renderer_->render(&painter, QRectF(QPointF(0, 0), QSizeF(sizeHint())));
}

void TGraphCanvas::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    const std::uint32_t file = fileAt(event->position().toPoint());
    if (file != kNoId)
        emit fileClicked(file);
}

void TGraphCanvas::wheelEvent(QWheelEvent* event)
{
    if (!event->modifiers().testFlag(Qt::ControlModifier) || !renderer_)
        return QWidget::wheelEvent(event);
    const double steps = event->angleDelta().y() / 120.0;
    zoom_ = std::clamp(zoom_ * std::pow(1.15, steps), 0.1, 8.0);
    resize(sizeHint());
    update();
    event->accept();
}

TDependencyView::TDependencyView(QWidget* parent) : QDialog(parent)
{
    setObjectName("F_dependencias");
    setWindowTitle(QStringLiteral("Dependências"));
    resize(760, 560);
    auto* layout = new QVBoxLayout(this);
    PastaDependencias1 = new QComboBox(this);
    PastaDependencias1->setObjectName("PastaDependencias1");
    layout->addWidget(PastaDependencias1);
    AvisoDependencias1 = new QLabel(this);
    AvisoDependencias1->setObjectName("AvisoDependencias1");
    AvisoDependencias1->setWordWrap(true);
    layout->addWidget(AvisoDependencias1);
    scroll_ = new QScrollArea(this);
    scroll_->setBackgroundRole(QPalette::Base);
    GrafoDependencias1 = new TGraphCanvas;
    GrafoDependencias1->setObjectName("GrafoDependencias1");
    scroll_->setWidget(GrafoDependencias1);
    layout->addWidget(scroll_, 1);
    connect(PastaDependencias1, &QComboBox::currentIndexChanged, this, [this] { drawChosen(); });
    connect(GrafoDependencias1, &TGraphCanvas::fileClicked, this, &TDependencyView::unitChosen);
}

void TDependencyView::setProject(std::shared_ptr<const TProjectIndex> project,
                                 const std::string& root)
{
    project_ = std::move(project);
    entries_.clear();
    const QSignalBlocker blocker(PastaDependencias1);
    PastaDependencias1->clear();
    if (project_) {
        std::vector<std::uint32_t> all;
        std::map<QString, std::vector<std::uint32_t>> byFolder;
        for (std::uint32_t id = 0; id < project_->files().size(); ++id) {
            const TProjectFile& file = project_->files()[id];
            if (!file.readable || !is_unit_kind(file.kind))
                continue;
            all.push_back(id);
            QString folder = projectRelativePath(root, file.path);
            const qsizetype slash = folder.lastIndexOf(QLatin1Char('/'));
            folder = slash < 0 ? QStringLiteral(".") : folder.left(slash);
            byFolder[folder].push_back(id);
        }
        if (all.size() <= kGraphUpTo) {
            PastaDependencias1->addItem(QStringLiteral("Todas as unidades (%1)").arg(all.size()));
            entries_.push_back(std::move(all));
        }
        if (byFolder.size() > 1 || entries_.empty())
            for (auto& [folder, units] : byFolder) {
                PastaDependencias1->addItem(
                    QStringLiteral("%1 (%2)").arg(folder).arg(units.size()));
                entries_.push_back(std::move(units));
            }
    }
    PastaDependencias1->setVisible(PastaDependencias1->count() > 1);
    drawChosen();
}

void TDependencyView::drawChosen()
{
    const int entry = PastaDependencias1->currentIndex();
    if (!project_ || entry < 0 || static_cast<std::size_t>(entry) >= entries_.size()) {
        GrafoDependencias1->setGraph({}, {});
        AvisoDependencias1->setText(project_ ? QStringLiteral("O projeto não tem unidades.")
                                             : QStringLiteral("Nenhum projeto aberto."));
        return;
    }
    const std::vector<std::uint32_t>& files = entries_[static_cast<std::size_t>(entry)];
    if (files.size() > kGraphUpTo) {
        GrafoDependencias1->setGraph({}, {});
        AvisoDependencias1->setText(
            QStringLiteral("Esta pasta tem %1 unidades, mais do que um desenho mostra com "
                           "clareza; escolha uma pasta menor.")
                .arg(files.size()));
        return;
    }
    TUnitGraph graph = project_unit_graph(*project_, files, [](std::uint32_t) { return ""; });
    for (std::size_t i = 0; i < graph.nodes.size(); ++i)
        graph.nodes[i].id = nodeId(i).toStdString();
    // The layout of a hundred units takes a while: the window stays painted meanwhile.
    const std::string svg = run_in_background([&graph] { return render_unit_graph_svg(graph); });
    GrafoDependencias1->setGraph(svg, files);
    AvisoDependencias1->setText(
        svg.empty() ? QStringLiteral("Não foi possível desenhar as dependências.")
                    : QStringLiteral("Clique numa unidade para abri-la; Ctrl+roda muda o "
                                     "tamanho. Em vermelho, unidades num ciclo; tracejado, uso "
                                     "na implementação."));
}

}  // namespace tabulex
