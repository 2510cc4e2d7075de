#pragma once
#include <QByteArray>
#include <QString>
#include <memory>

class QFile;
class QTemporaryFile;

namespace tabulex {

/// Byte stream under a page store. A new stream lives in memory until it grows past
/// kMemoryLimit bytes, then moves to a temporary file ("RPF" prefix, system temporary folder)
/// that is deleted with the stream. A stream opened on a saved file reads it in place and
/// never deletes it. Not synchronised: its owner holds the lock.
class TRpStream {
public:
    static constexpr qint64 kMemoryLimit = 100000;

    /// An empty stream in memory.
    TRpStream();
    ~TRpStream();
    TRpStream(const TRpStream&) = delete;
    TRpStream& operator=(const TRpStream&) = delete;

    /// A read-only stream on an existing file, or null when it cannot be opened.
    static std::unique_ptr<TRpStream> OpenFile(const QString& path);
    /// A read-only stream over `bytes` in memory.
    static std::unique_ptr<TRpStream> FromBytes(QByteArray bytes);

    qint64 Size() const;
    /// False outside 0..Size().
    bool Seek(qint64 position);
    /// Reads up to `count` bytes at the position; returns the number read.
    qint64 Read(char* data, qint64 count);
    /// Exactly `count` bytes, or false (and the position unchanged) when fewer remain.
    bool ReadExact(char* data, qint64 count);
    /// Writes at the position, growing the stream; false when read-only or on a write error.
    bool Write(const char* data, qint64 count);
    /// Why the last write to the temporary file failed (the system's words), else empty.
    const QString& ErrorString() const { return error_; }

    bool ReadOnly() const { return readOnly_; }
    /// Whether the data has moved to a temporary file.
    bool InTemporaryFile() const { return temporary_ != nullptr; }
    /// Path of the backing file (temporary or opened), empty while in memory.
    QString FileName() const;

private:
    bool moveToTemporaryFile();
    QFile* file() const;

    QByteArray memory_;
    std::unique_ptr<QTemporaryFile> temporary_;
    std::unique_ptr<QFile> opened_;
    qint64 position_ = 0;
    bool readOnly_ = false;
    QString error_;
};

}  // namespace tabulex
