#pragma once
#include <QAction>
#include <QByteArray>
#include <QLabel>
#include <QString>

#include "FindChild.h"
#include "widgets/TWideListBox.h"

namespace tabulex::test {

/// Triggers the main window's command `name` ("Carregar1", "Gravar1", ...) as its menu entry
/// or shortcut does: a disabled command does nothing, as for the user.
inline void trigger(const QObject& window, const char* name)
{
    child<QAction>(window, name)->trigger();
}

/// The list of a tab: "listbox3" (Variáveis), "ListBox4" (Proc/Func) or "ListBox5" (Uses).
inline TListBox* list(const QObject& window, const char* name)
{
    return child<TListBox>(window, name);
}

/// The listing, "ListBox1".
inline TWideListBox* listing(const QObject& window)
{
    return child<TWideListBox>(window, "ListBox1");
}

/// The text of status bar panel 0 (notes), 1 (line count) or 2 (path).
inline QString status(const QObject& window, int panel)
{
    const QByteArray name = "StatusPanel" + QByteArray::number(panel);
    return child<QLabel>(window, name.constData())->text();
}

}  // namespace tabulex::test
