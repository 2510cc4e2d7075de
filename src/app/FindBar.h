#pragma once
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace tabulex {

class TStringListModel;

/// The row of the next item (or, going backward, the previous one) whose shown text contains
/// `text`, starting after (before) `from` and wrapping around the list; `from` itself is
/// tried last. -1 when no item contains it or `text` is empty.
int find_item(const TStringListModel& items, const QString& text, int from, bool backward,
              Qt::CaseSensitivity sensitivity);

/// The find bar under the main window's tabs: the text to find, "Anterior" and "Próxima",
/// a case switch and a line telling when nothing was found. Enter finds the next match,
/// Shift+Enter the previous one, Esc closes the bar.
///
/// Each control carries its name as object name ("E_texto", "B_proxima", "CB_maiusculas",
/// "L_resultado", ...).
class TFindBar : public QWidget {
    Q_OBJECT
public:
    explicit TFindBar(QWidget* parent = nullptr);

    /// Shows the bar with its text selected and the focus in it.
    void open();
    QString text() const;
    Qt::CaseSensitivity sensitivity() const;
    /// Shows or clears the "not found" note.
    void setNotFound(bool notFound);

signals:
    void findNext();
    void findPrevious();
    /// Emitted when the bar closes, so the list can take the focus back.
    void closed();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The controls the bar reads and writes; its buttons are made and left to it.
    QLineEdit* E_texto = nullptr;
    QCheckBox* CB_maiusculas = nullptr;
    QLabel* L_resultado = nullptr;
};

}  // namespace tabulex
