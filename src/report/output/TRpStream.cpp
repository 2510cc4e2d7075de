#include "report/output/TRpStream.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace tabulex {

TRpStream::TRpStream() = default;
TRpStream::~TRpStream() = default;

std::unique_ptr<TRpStream> TRpStream::OpenFile(const QString& path)
{
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly))
        return nullptr;
    auto stream = std::make_unique<TRpStream>();
    stream->opened_ = std::move(file);
    stream->readOnly_ = true;
    return stream;
}

std::unique_ptr<TRpStream> TRpStream::FromBytes(QByteArray bytes)
{
    auto stream = std::make_unique<TRpStream>();
    stream->memory_ = std::move(bytes);
    stream->readOnly_ = true;
    return stream;
}

QFile* TRpStream::file() const
{
    if (temporary_)
        return temporary_.get();
    return opened_.get();
}

qint64 TRpStream::Size() const
{
    if (QFile* f = file())
        return f->size();
    return memory_.size();
}

QString TRpStream::FileName() const
{
    if (QFile* f = file())
        return f->fileName();
    return {};
}

bool TRpStream::Seek(qint64 position)
{
    if (position < 0 || position > Size())
        return false;
    position_ = position;
    return true;
}

qint64 TRpStream::Read(char* data, qint64 count)
{
    if (count <= 0)
        return 0;
    if (QFile* f = file()) {
        if (!f->seek(position_))
            return 0;
        const qint64 read = f->read(data, count);
        if (read <= 0)
            return 0;
        position_ += read;
        return read;
    }
    const qint64 available = memory_.size() - position_;
    const qint64 read = std::min(count, std::max<qint64>(available, 0));
    if (read > 0)
        std::memcpy(data, memory_.constData() + position_, static_cast<std::size_t>(read));
    position_ += read;
    return read;
}

bool TRpStream::ReadExact(char* data, qint64 count)
{
    const qint64 start = position_;
    if (count < 0 || count > Size() - start)
        return false;
    qint64 done = 0;
    while (done < count) {
        const qint64 read = Read(data + done, count - done);
        if (read <= 0) {
            position_ = start;
            return false;
        }
        done += read;
    }
    return true;
}

namespace {

// The system's reason for the failure that just happened, else the file's own account of it.
QString failureReason(const QFile& file)
{
    if (errno != 0)
        return QString::fromStdString(std::generic_category().message(errno));
    return file.errorString();
}

}  // namespace

bool TRpStream::moveToTemporaryFile()
{
    auto temporary =
        std::make_unique<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/RPFXXXXXX"));
    temporary->setAutoRemove(true);
    errno = 0;
    if (!temporary->open() || temporary->write(memory_) != memory_.size()) {
        error_ = failureReason(*temporary);
        return false;
    }
    temporary_ = std::move(temporary);
    memory_ = QByteArray();
    return true;
}

bool TRpStream::Write(const char* data, qint64 count)
{
    if (readOnly_)
        return false;
    if (count <= 0)
        return true;
    if (!temporary_ && position_ + count > kMemoryLimit && !moveToTemporaryFile())
        return false;
    if (temporary_) {
        errno = 0;
        if (!temporary_->seek(position_) || temporary_->write(data, count) != count) {
            error_ = failureReason(*temporary_);
            return false;
        }
        position_ += count;
        return true;
    }
    const qint64 end = position_ + count;
    if (end > memory_.size())
        memory_.resize(static_cast<qsizetype>(end));
    std::memcpy(memory_.data() + position_, data, static_cast<std::size_t>(count));
    position_ = end;
    return true;
}

}  // namespace tabulex
