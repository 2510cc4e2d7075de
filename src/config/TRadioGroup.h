#pragma once
#include <QGroupBox>
#include <QStringList>
#include <vector>

class QButtonGroup;
class QRadioButton;

namespace tabulex {

/// A captioned group of radio buttons, one column, with an item index that may also be -1
/// (no button checked). `itemIndexChanged` fires for every change of the index, whether the
/// user clicked a button or the program set it, and never for an index set to itself.
class TRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent = nullptr);

    int itemIndex() const { return index_; }
    /// Selects item `index`, clamped to -1 .. count() - 1; -1 unchecks every button.
    void setItemIndex(int index);
    int count() const { return static_cast<int>(buttons_.size()); }
    QRadioButton* button(int index) const { return buttons_.at(static_cast<std::size_t>(index)); }

signals:
    void itemIndexChanged(int index);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void arrangeButtons();
    void followButtons();

    QButtonGroup* group_;
    std::vector<QRadioButton*> buttons_;
    int index_ = -1;
};

}  // namespace tabulex
