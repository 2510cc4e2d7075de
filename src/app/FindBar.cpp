#include "app/FindBar.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "widgets/TStringListModel.h"

namespace tabulex {

int find_item(const TStringListModel& items, const QString& text, int from, bool backward,
              Qt::CaseSensitivity sensitivity)
{
    const int count = items.count();
    if (text.isEmpty() || count == 0)
        return -1;
    if (from < 0 || from >= count)
        from = backward ? 0 : count - 1;  // so that the search starts at one end
    const int step = backward ? count - 1 : 1;
    for (int tried = 1, row = from; tried <= count; ++tried) {
        row = (row + step) % count;
        if (items.displayText(row).contains(text, sensitivity))
            return row;
    }
    return -1;
}

TFindBar::TFindBar(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(new QLabel(QStringLiteral("Localizar:"), this));
    E_texto = new QLineEdit(this);
    E_texto->setObjectName("E_texto");
    E_texto->setClearButtonEnabled(true);
    E_texto->setMinimumWidth(120);
    layout->addWidget(E_texto, 1);
    const auto makeButton = [this](const char* name, const QString& caption, const QString& tip) {
        auto* button = new QPushButton(caption, this);
        button->setObjectName(name);
        button->setToolTip(tip);
        return button;
    };
    auto* B_anterior = makeButton("B_anterior", QStringLiteral("&Anterior"),
                                  QStringLiteral("Ocorrência anterior (Shift+F3)"));
    auto* B_proxima = makeButton("B_proxima", QStringLiteral("&Próxima"),
                                 QStringLiteral("Próxima ocorrência (F3)"));
    CB_maiusculas = new QCheckBox(QStringLiteral("&Diferenciar maiúsculas"), this);
    CB_maiusculas->setObjectName("CB_maiusculas");
    L_resultado = new QLabel(this);
    L_resultado->setObjectName("L_resultado");
    auto* B_fechar =
        makeButton("B_fechar", QStringLiteral("Fechar"), QStringLiteral("Fechar a busca (Esc)"));
    for (QWidget* widget : std::initializer_list<QWidget*>{B_anterior, B_proxima, CB_maiusculas,
                                                           L_resultado, B_fechar})
        layout->addWidget(widget);

    connect(B_proxima, &QPushButton::clicked, this, &TFindBar::findNext);
    connect(B_anterior, &QPushButton::clicked, this, &TFindBar::findPrevious);
    connect(B_fechar, &QPushButton::clicked, this, [this] {
        hide();
        emit closed();
    });
    connect(E_texto, &QLineEdit::textChanged, this, [this] { setNotFound(false); });
    connect(CB_maiusculas, &QCheckBox::toggled, this, [this] { setNotFound(false); });
    hide();
}

void TFindBar::open()
{
    show();
    E_texto->setFocus(Qt::ShortcutFocusReason);
    E_texto->selectAll();
}

QString TFindBar::text() const
{
    return E_texto->text();
}

Qt::CaseSensitivity TFindBar::sensitivity() const
{
    return CB_maiusculas->isChecked() ? Qt::CaseSensitive : Qt::CaseInsensitive;
}

void TFindBar::setNotFound(bool notFound)
{
    L_resultado->setText(notFound ? QStringLiteral("Não encontrado") : QString());
}

void TFindBar::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (event->modifiers() & Qt::ShiftModifier)
            emit findPrevious();
        else
            emit findNext();
        return;
    case Qt::Key_Escape:
        hide();
        emit closed();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

}  // namespace tabulex
