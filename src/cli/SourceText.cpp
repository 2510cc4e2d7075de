#include "cli/SourceText.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "analysis/FileBytes.h"
#include "analysis/LargePages.h"

namespace tabulex {

namespace {

// Below this, the plain read costs less than setting up a mapping.
constexpr std::size_t kMappedFrom = 256 * 1024;

struct FdCloser {
    int fd;
    ~FdCloser()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

}  // namespace

TSourceText::TSourceText(const std::string& path)
{
    if (!readDirectly(path)) {
        string_ = read_file_bytes(path);
        view_ = string_;
    } else if (has_utf16_mark(view_)) {
        // Read as read_file_bytes reads it: as UTF-8.
        std::string text = utf16_as_utf8(view_);
        if (map_ != nullptr)
            ::munmap(map_, mapSize_);
        map_ = nullptr;
        view_ = {};
        if (text.size() > kMaxSourceBytes)
            throw EFOpenError(path);
        string_ = std::move(text);
        view_ = string_;
    }
}

TSourceText::~TSourceText()
{
    if (map_ != nullptr)
        ::munmap(map_, mapSize_);
}

// Maps at least `bytes` of anonymous memory in whole large pages, from a large-page boundary:
// only whole, aligned large pages can be backed as one, and a mapping as the system places it
// leaves a fifth of a 20 MB text in small pages, which then takes most of the read's time.
bool TSourceText::mapAligned(std::size_t bytes)
{
    constexpr std::size_t kLarge = kLargePageBytes;
    mapSize_ = (bytes + kLarge - 1) & ~(kLarge - 1);
    const std::size_t reserved = mapSize_ + kLarge;
    void* const mapped =
        ::mmap(nullptr, reserved, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        return false;
    // The slack before the first boundary and after the last page goes back at once.
    const auto start = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = (start + kLarge - 1) & ~(kLarge - 1);
    if (aligned > start)
        ::munmap(mapped, aligned - start);
    if (const std::size_t tail = start + reserved - (aligned + mapSize_); tail > 0)
        ::munmap(reinterpret_cast<void*>(aligned + mapSize_), tail);
    map_ = reinterpret_cast<void*>(aligned);
    ::madvise(map_, mapSize_, MADV_HUGEPAGE);
    return true;
}

// Reads a regular file through one descriptor: a large one into anonymous memory in large
// pages where the system gives them, faulted in by the read itself. False leaves the reading to
// read_file_bytes (special or changing files, and every failure, which it reports in its words).
bool TSourceText::readDirectly(const std::string& path)
{
    const FdCloser file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    struct stat info {};
    if (file.fd < 0 || ::fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    const auto size = static_cast<std::size_t>(info.st_size);
    if (size > kMaxSourceBytes)
        return false;
    // Room for one byte more than the file, so that a file that grew shows as a full buffer,
    // and one for the NUL.
    char* data = nullptr;
    if (size >= kMappedFrom) {
        if (!mapAligned(size + 2))
            return false;
        data = static_cast<char*>(map_);
    } else {
        string_.resize(size + 1);
        data = string_.data();
    }
    std::size_t got = 0;
    while (got < size + 1) {
        const ssize_t n = ::read(file.fd, data + got, size + 1 - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    if (got != size) {
        // Shrunk, grown or failed while being read: the careful reader takes it from here.
        if (map_ != nullptr)
            ::munmap(map_, mapSize_);
        map_ = nullptr;
        string_.clear();
        return false;
    }
    data[size] = '\0';
    if (map_ == nullptr)
        string_.resize(size);
    view_ = std::string_view(data, size);
    return true;
}

}  // namespace tabulex
