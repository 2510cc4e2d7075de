#include "dialogs/TDialogs.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QRegularExpression>

namespace tabulex {

namespace {
TDialogs* installed = nullptr;
}

TDialogs::~TDialogs() = default;

QString TDialogs::openFileName(QWidget* parent, const QString& caption, const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, caption, startFolder_, filter);
}

QString TDialogs::existingFolder(QWidget* parent, const QString& caption, const QString& start)
{
    return QFileDialog::getExistingDirectory(parent, caption, start);
}

QString TDialogs::saveFileName(QWidget* parent, const QString& caption, const QString& proposed,
                               const QString& filter, const QString& defaultSuffix)
{
    QFileDialog dialog(parent, caption, startFolder_, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.selectFile(proposed);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

QString TDialogs::saveFileNameFiltered(QWidget* parent, const QString& caption,
                                       const QString& proposed, const QString& filter,
                                       const QString& defaultSuffix, QString& selectedFilter)
{
    QFileDialog dialog(parent, caption, startFolder_, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.selectFile(proposed);
    const QStringList filters = filter.split(QStringLiteral(";;"));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog, &filters, &defaultSuffix](const QString& chosen) {
                         if (!filters.isEmpty() && chosen == filters.first()) {
                             dialog.setDefaultSuffix(defaultSuffix);
                             return;
                         }
                         // The extension of the entry's first pattern, as in "(*.pdf)".
                         const qsizetype star = chosen.indexOf(QStringLiteral("*."));
                         if (star < 0)
                             return;
                         QString suffix = chosen.mid(star + 2);
                         const qsizetype end =
                             suffix.indexOf(QRegularExpression(QStringLiteral("[ );]")));
                         dialog.setDefaultSuffix(end < 0 ? suffix : suffix.left(end));
                     });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    selectedFilter = dialog.selectedNameFilter();
    return dialog.selectedFiles().first();
}

std::optional<QFont> TDialogs::chooseFont(QWidget* parent, const QFont& initial)
{
    bool ok = false;
    QFont font = QFontDialog::getFont(&ok, initial, parent);
    if (!ok)
        return std::nullopt;
    return font;
}

std::optional<int> TDialogs::askNumber(QWidget* parent, const QString& caption,
                                       const QString& label, int value, int minimum, int maximum)
{
    bool ok = false;
    const int number =
        QInputDialog::getInt(parent, caption, label, value, minimum, maximum, 1, &ok);
    if (!ok)
        return std::nullopt;
    return number;
}

void TDialogs::showMessage(QWidget* parent, const QString& text)
{
    QMessageBox::warning(parent, QApplication::applicationName(), text);
}

int TDialogs::execModal(QDialog* dialog)
{
    return dialog->exec();
}

TDialogs& TDialogs::current()
{
    static TDialogs toolkit;
    return installed ? *installed : toolkit;
}

void TDialogs::install(TDialogs* dialogs)
{
    installed = dialogs;
}

}  // namespace tabulex
