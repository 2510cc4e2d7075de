#pragma once
#include <QByteArray>
#include <QString>
#include <memory>
#include <mutex>
#include <optional>

#include "report/output/TRpStream.h"

namespace tabulex {

class TOutputFile;

/// What the header and the entry chain of a saved report file say.
struct TRpReportFileInfo {
    int pageCount = 0;
    bool compressed = false;
    double dateTime = 0;  ///< days since 30 December 1899, time as fraction
};

/// Checks a whole saved report file: header, every entry (number, both offsets inside the
/// stream and advancing, the trailing start offset), every page's data (expanded when
/// compressed, a readable recording), the page count against the entries, and that the last
/// entry ends the stream. Nothing is read outside the stream. No GUI needed.
std::optional<TRpReportFileInfo> rpValidateReportStream(TRpStream& stream);
/// The same over the bytes of a file.
std::optional<TRpReportFileInfo> rpValidateReportFile(const QByteArray& bytes);
/// Whether the saved report file at `path` holds pages recorded by earlier versions of the
/// program, as the toolkit's pictures: they are not read any more, since the toolkit's picture
/// player is not made for files from anywhere.
bool rpHoldsPicturePages(const QString& path);

/// Store of a job's recorded pages in the saved-report layout: a 128-byte little-endian
/// header and one entry per page (number, next-entry offset, page data, own start offset).
/// Every read, write and seek of its stream happens under the store's lock, so a page can
/// be fetched for display between pages of a run.
class TRpPageList {
public:
    static constexpr qint64 kHeaderSize = 128;
    static constexpr qint64 kCopyBlock = 10240;

    /// A new, empty store (in memory, then in a temporary file).
    explicit TRpPageList(bool compressed = false);
    ~TRpPageList();
    TRpPageList(const TRpPageList&) = delete;
    TRpPageList& operator=(const TRpPageList&) = delete;

    /// A store reading the saved file at `path` in place, or null when the file cannot be
    /// opened or is not a valid report file.
    static std::unique_ptr<TRpPageList> OpenFile(const QString& path);
    /// A read-only store over the bytes of a saved file, or null when they are not valid.
    static std::unique_ptr<TRpPageList> FromBytes(QByteArray bytes);

    int PageCount() const;
    bool Compressed() const { return compressed_; }

    /// Appends the next page's recording (compressed when the store is); the header is
    /// written with the first page. False when the stream cannot be written.
    bool AppendPage(const QByteArray& page);
    /// Rewrites the header with the final page count.
    bool Finish();
    /// Why appending or finishing failed (the system's words), else empty.
    QString ErrorString() const;
    /// Page n (1-based) as recorded, or nothing when n is out of range or unreadable.
    std::optional<QByteArray> ReadPage(int n);
    /// Copies the whole stream into `out` in kCopyBlock-byte blocks; the caller closes it.
    bool WriteTo(TOutputFile& out);
    /// Copies the whole stream to a new file at `path`, which replaces the old one only when
    /// complete.
    bool SaveTo(const QString& path);
    /// The whole stream.
    QByteArray Bytes();

    qint64 Size() const;
    bool InTemporaryFile() const;
    /// Backing file of the stream, empty while in memory.
    QString FileName() const;

private:
    TRpPageList(std::unique_ptr<TRpStream> stream, const TRpReportFileInfo& info);
    bool writeHeader();
    std::optional<qint64> findEntry(int n);
    std::optional<QByteArray> readEntry(qint64 start, int n);

    mutable std::mutex mutex_;
    std::unique_ptr<TRpStream> stream_;
    int pageCount_ = 0;
    bool compressed_ = false;
    double dateTime_ = 0;
    // Entry last found: the walk to another page starts here.
    int currentPage_ = 0;
    qint64 currentStart_ = 0;
};

/// Current local date and time as days since 30 December 1899.
double rpNowAsDays();

}  // namespace tabulex
