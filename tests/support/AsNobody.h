#pragma once
#include <sys/fsuid.h>

namespace tabulex::testing {

/// While alive, file permissions are checked as user nobody: the tests run as root, whom
/// permission bits do not stop.
class AsNobodyForFiles {
public:
    static constexpr int kNobody = 65534;
    AsNobodyForFiles() : uid_(::setfsuid(kNobody)), gid_(::setfsgid(kNobody)) {}
    ~AsNobodyForFiles()
    {
        ::setfsgid(gid_);
        ::setfsuid(uid_);
    }
    AsNobodyForFiles(const AsNobodyForFiles&) = delete;
    AsNobodyForFiles& operator=(const AsNobodyForFiles&) = delete;

private:
    int uid_;
    int gid_;
};

}  // namespace tabulex::testing
