#include "cli/SourceCollection.h"

#include <algorithm>
#include <dirent.h>
#include <memory>
#include <set>
#include <sys/stat.h>

namespace tabulex {

namespace {

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isFolder(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string joined(std::string_view folder, std::string_view name)
{
    std::string result(folder);
    if (!result.empty() && result.back() != '/')
        result += '/';
    result += name;
    return result;
}

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

// Walks one folder argument, gathering the relative paths of the sources below it. Each folder
// is read once, however many links lead to it: folders wait in byte order of their paths, so a
// folder is read under the first of its paths in that order, and met again (through a link, a
// loop, or a fan of links) it is passed over.
class FolderWalk {
public:
    FolderWalk(const std::string& root, const TSourceExtensions& extensions,
               const std::function<void(const std::string&)>& onError)
        : root_(root), extensions_(extensions), onError_(onError)
    {}

    bool failed() const { return failed_; }

    std::vector<std::string> run()
    {
        waiting_.insert("");
        while (!waiting_.empty()) {
            const std::string relative = std::move(waiting_.extract(waiting_.begin()).value());
            visit(relative);
        }
        // Byte order of the whole path, not folder by folder: "a-b/x" comes before "a/y".
        std::sort(found_.begin(), found_.end());
        return std::move(found_);
    }

private:
    using FolderId = std::pair<dev_t, ino_t>;

    void visit(const std::string& relative)
    {
        const std::string path = relative.empty() ? root_ : joined(root_, relative);
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0) {
            fail("Cannot read folder " + path);
            return;
        }
        if (!seen_.insert({info.st_dev, info.st_ino}).second)
            return;
        std::unique_ptr<DIR, DirCloser> dir(::opendir(path.c_str()));
        if (!dir) {
            fail("Cannot read folder " + path);
            return;
        }
        while (const dirent* entry = ::readdir(dir.get())) {
            const std::string_view name = entry->d_name;
            if (name == "." || name == "..")
                continue;
            takeEntry(relative.empty() ? std::string(name) : joined(relative, name), entry->d_type);
        }
    }

    void fail(const std::string& message)
    {
        failed_ = true;
        onError_(message);
    }

    void takeEntry(const std::string& relative, unsigned char type)
    {
        if (type == DT_DIR) {
            waiting_.insert(relative);
            return;
        }
        if (type == DT_REG) {
            if (has_source_extension(relative, extensions_))
                found_.push_back(relative);
            return;
        }
        if (type != DT_LNK && type != DT_UNKNOWN)
            return;  // devices, sockets, pipes
        // A link (or a file system that gives no type): look at what it names.
        struct stat info {};
        const std::string path = joined(root_, relative);
        if (::stat(path.c_str(), &info) != 0) {
            // A broken link with a source's name is kept, so that reading it reports it.
            if (has_source_extension(relative, extensions_))
                found_.push_back(relative);
        } else if (S_ISDIR(info.st_mode)) {
            if (seen_.count({info.st_dev, info.st_ino}) == 0)
                waiting_.insert(relative);
        } else if (S_ISREG(info.st_mode) && has_source_extension(relative, extensions_)) {
            found_.push_back(relative);
        }
    }

    const std::string& root_;
    const TSourceExtensions& extensions_;
    const std::function<void(const std::string&)>& onError_;
    std::set<std::string> waiting_;  // folders still to read, in byte order
    std::set<FolderId> seen_;        // folders read
    std::vector<std::string> found_;
    bool failed_ = false;
};

}  // namespace

TSourceExtensions default_source_extensions()
{
    return {".pas", ".pp", ".p", ".dpr", ".lpr", ".dfm", ".lfm"};
}

std::optional<TSourceExtensions> parse_source_extensions(std::string_view list, std::string& error)
{
    TSourceExtensions extensions;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = list.find(',', start);
        std::string_view name =
            list.substr(start, comma == std::string_view::npos ? list.npos : comma - start);
        if (!name.empty() && name.front() == '.')
            name.remove_prefix(1);
        if (name.empty() ||
            name.find_first_of(std::string_view("/\0", 2)) != std::string_view::npos) {
            error = "--ext needs names such as pas,inc";
            return std::nullopt;
        }
        std::string extension = ".";
        for (char c : name)
            extension += lowerAscii(c);
        if (std::find(extensions.begin(), extensions.end(), extension) == extensions.end())
            extensions.push_back(std::move(extension));
        if (comma == std::string_view::npos)
            return extensions;
        start = comma + 1;
    }
}

bool has_source_extension(std::string_view path, const TSourceExtensions& extensions)
{
    const std::size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    for (const std::string& extension : extensions) {
        // The name must be longer than its extension: ".pas" alone is a hidden file, no unit.
        if (name.size() <= extension.size())
            continue;
        const std::string_view tail = name.substr(name.size() - extension.size());
        if (std::equal(tail.begin(), tail.end(), extension.begin(),
                       [](char a, char b) { return lowerAscii(a) == b; }))
            return true;
    }
    return false;
}

bool named_as_source(std::string_view path)
{
    static const TSourceExtensions extensions = default_source_extensions();
    return has_source_extension(path, extensions);
}

std::vector<TSourceFile>
collect_sources(const std::vector<std::string>& arguments, const TSourceExtensions& extensions,
                const std::function<void(const std::string& message)>& onError)
{
    std::vector<TSourceFile> sources;
    for (const std::string& argument : arguments) {
        if (!isFolder(argument)) {
            sources.push_back({argument, {}});
            continue;
        }
        FolderWalk walk(argument, extensions, onError);
        std::vector<std::string> found = walk.run();
        if (found.empty() && !walk.failed())
            onError("No source file in folder " + argument);
        for (std::string& relative : found)
            sources.push_back({joined(argument, relative), std::move(relative)});
    }
    return sources;
}

}  // namespace tabulex
