#include "cli/OutputFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tabulex {

namespace {

constexpr std::size_t kBufferSize = 1 << 18;

std::pair<std::uint64_t, std::uint64_t> idOf(const struct stat& info)
{
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

}  // namespace

void TSourceIds::add(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0)
        ids_.insert(idOf(info));
}

bool TSourceIds::holds(int fd) const
{
    struct stat info {};
    return ::fstat(fd, &info) == 0 && holds(info);
}

bool TSourceIds::holds(const struct stat& info) const
{
    return ids_.count(idOf(info)) != 0;
}

TOutputFile::~TOutputFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

TOutputFile::TOpen TOutputFile::open(const std::string& path, const TSourceIds& sources)
{
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0)
        return TOpen::Failed;
    struct stat info {};
    if (::fstat(fd_, &info) != 0)
        return TOpen::Failed;
    if (sources.holds(info)) {
        ::close(fd_);
        fd_ = -1;
        return TOpen::IsASource;
    }
    // Devices and pipes (/dev/null, a named pipe) are written as they are.
    if (S_ISREG(info.st_mode) && ::ftruncate(fd_, 0) != 0)
        return TOpen::Failed;
    buffer_.reserve(kBufferSize);
    return TOpen::Ok;
}

void TOutputFile::write(std::string_view bytes)
{
    if (buffer_.size() + bytes.size() > kBufferSize) {
        flush();
        if (bytes.size() >= kBufferSize) {
            buffer_.assign(bytes);
            flush();
            return;
        }
    }
    buffer_.append(bytes);
}

void TOutputFile::flush()
{
    const char* p = buffer_.data();
    std::size_t left = buffer_.size();
    while (left > 0 && !failed_) {
        const ssize_t n = ::write(fd_, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            failed_ = true;
            break;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    buffer_.clear();
}

bool TOutputFile::close()
{
    if (fd_ < 0)
        return false;
    flush();
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    return closed && !failed_;
}

}  // namespace tabulex
