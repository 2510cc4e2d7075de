#include "TDialogs.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>

namespace tabulex {

namespace {
TDialogs* installed = nullptr;
}

TDialogs::~TDialogs() = default;

QString TDialogs::openFileName(QWidget* parent, const QString& caption, const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, caption, QString(), filter);
}

QString TDialogs::saveFileName(QWidget* parent, const QString& caption, const QString& proposed,
                               const QString& filter, const QString& defaultSuffix)
{
    QFileDialog dialog(parent, caption, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.selectFile(proposed);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
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

void TDialogs::showMessage(QWidget* parent, const QString& text)
{
    QMessageBox::information(parent, QApplication::applicationName(), text);
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
