#pragma once
#include <QFont>
#include <QString>
#include <optional>

class QDialog;
class QWidget;

namespace tabulex {

/// The program's access to modal dialogs and message boxes. Windows ask this layer instead of
/// calling the toolkit's dialogs directly, so tests can install a scripted replacement.
class TDialogs {
public:
    virtual ~TDialogs();

    /// Open-file dialog; returns the chosen path or an empty string when cancelled.
    virtual QString openFileName(QWidget* parent, const QString& caption, const QString& filter);
    /// Save-file dialog with a proposed name; returns the chosen path or an empty string.
    virtual QString saveFileName(QWidget* parent, const QString& caption, const QString& proposed,
                                 const QString& filter, const QString& defaultSuffix);
    /// Save-file dialog that also tells which of the `filter` entries (";;"-separated) was
    /// chosen, in `selectedFilter`; the default suffix follows the chosen entry's extension
    /// (`defaultSuffix` for the first). Returns the path or an empty string when cancelled.
    virtual QString saveFileNameFiltered(QWidget* parent, const QString& caption,
                                         const QString& proposed, const QString& filter,
                                         const QString& defaultSuffix, QString& selectedFilter);
    /// Font dialog preloaded with `initial`; no value when cancelled.
    virtual std::optional<QFont> chooseFont(QWidget* parent, const QFont& initial);
    /// Whole-number input between `minimum` and `maximum`, preset to `value`; no value when
    /// cancelled.
    virtual std::optional<int> askNumber(QWidget* parent, const QString& caption,
                                         const QString& label, int value, int minimum, int maximum);
    /// Message box with an OK button and the warning icon (every message the program shows
    /// reports something that went wrong).
    virtual void showMessage(QWidget* parent, const QString& text);
    /// Runs a dialog window modally and returns its result code.
    virtual int execModal(QDialog* dialog);
    /// Folder dialog starting in `start`; returns the chosen folder or an empty string.
    virtual QString existingFolder(QWidget* parent, const QString& caption, const QString& start);

    /// The dialog layer in use (the toolkit's own unless a test installed another).
    static TDialogs& current();
    /// Installs `dialogs` (not owned) as the layer in use; nullptr restores the toolkit's.
    static void install(TDialogs* dialogs);

    /// Folder in which the open and save dialogs start; empty: the working folder.
    const QString& startFolder() const { return startFolder_; }
    void setStartFolder(const QString& folder) { startFolder_ = folder; }

private:
    QString startFolder_;
};

/// Installs a dialog layer for the lifetime of the guard (used by tests).
class TScopedDialogs {
public:
    explicit TScopedDialogs(TDialogs& dialogs) { TDialogs::install(&dialogs); }
    ~TScopedDialogs() { TDialogs::install(nullptr); }
    TScopedDialogs(const TScopedDialogs&) = delete;
    TScopedDialogs& operator=(const TScopedDialogs&) = delete;
};

}  // namespace tabulex
