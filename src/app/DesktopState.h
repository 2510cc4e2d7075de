#pragma once
#include <QByteArray>
#include <QSettings>
#include <QString>
#include <string>
#include <vector>

namespace tabulex {

/// What the desktop program keeps for its user from one run to the next: the main window's
/// size and place, the files loaded last and whether the listing is coloured. It lives in a file of
/// its own in the user's configuration folder, apart from the settings file of the listing
/// settings, and is written at once on every change.
class TDesktopState {
public:
    /// The state kept in the INI file at `path`.
    explicit TDesktopState(const QString& path);

    /// $XDG_CONFIG_HOME/tabulex/estado.ini (normally ~/.config/tabulex/estado.ini).
    static QString defaultPath();

    /// Paths (local file name bytes) of the files loaded last, the latest first.
    std::vector<std::string> recentFiles() const;
    /// Puts `path` first in the recent files, dropping an older entry of the same path and
    /// any beyond kMaxRecentFiles.
    void addRecentFile(const std::string& path);
    void removeRecentFile(const std::string& path);

    /// The main window's geometry as the toolkit saves it; empty before the first save.
    QByteArray windowGeometry() const;
    void setWindowGeometry(const QByteArray& geometry);

    /// Whether "Listagem" shows its colours; off until the user turns them on.
    bool listingColours() const;
    void setListingColours(bool on);

    static constexpr std::size_t kMaxRecentFiles = 8;

private:
    void writeRecentFiles(const std::vector<std::string>& files);

    mutable QSettings settings_;
};

}  // namespace tabulex
