#include "app/DesktopState.h"

#include <QStandardPaths>
#include <algorithm>

namespace tabulex {

namespace {
const QString kRecentArray = QStringLiteral("recentes");
const QString kPathKey = QStringLiteral("caminho");
const QString kGeometryKey = QStringLiteral("Janela/geometria");
const QString kListingColoursKey = QStringLiteral("Listagem/cores");
}  // namespace

TDesktopState::TDesktopState(const QString& path) : settings_(path, QSettings::IniFormat)
{}

QString TDesktopState::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/tabulex/estado.ini");
}

std::vector<std::string> TDesktopState::recentFiles() const
{
    std::vector<std::string> files;
    // Paths are kept as bytes, so a file name in any encoding comes back as it was.
    const int count = settings_.beginReadArray(kRecentArray);
    for (int i = 0; i < count; ++i) {
        settings_.setArrayIndex(i);
        std::string path = settings_.value(kPathKey).toByteArray().toStdString();
        if (!path.empty() && files.size() < kMaxRecentFiles &&
            std::find(files.begin(), files.end(), path) == files.end())
            files.push_back(std::move(path));
    }
    settings_.endArray();
    return files;
}

void TDesktopState::addRecentFile(const std::string& path)
{
    std::vector<std::string> files = recentFiles();
    std::erase(files, path);
    files.insert(files.begin(), path);
    if (files.size() > kMaxRecentFiles)
        files.resize(kMaxRecentFiles);
    writeRecentFiles(files);
}

void TDesktopState::removeRecentFile(const std::string& path)
{
    std::vector<std::string> files = recentFiles();
    std::erase(files, path);
    writeRecentFiles(files);
}

void TDesktopState::writeRecentFiles(const std::vector<std::string>& files)
{
    settings_.remove(kRecentArray);
    settings_.beginWriteArray(kRecentArray, static_cast<int>(files.size()));
    for (std::size_t i = 0; i < files.size(); ++i) {
        settings_.setArrayIndex(static_cast<int>(i));
        settings_.setValue(kPathKey, QByteArray::fromStdString(files[i]));
    }
    settings_.endArray();
    settings_.sync();
}

QByteArray TDesktopState::windowGeometry() const
{
    return settings_.value(kGeometryKey).toByteArray();
}

void TDesktopState::setWindowGeometry(const QByteArray& geometry)
{
    settings_.setValue(kGeometryKey, geometry);
    settings_.sync();
}

bool TDesktopState::listingColours() const
{
    return settings_.value(kListingColoursKey, false).toBool();
}

void TDesktopState::setListingColours(bool on)
{
    settings_.setValue(kListingColoursKey, on);
    settings_.sync();
}

}  // namespace tabulex
