#include "platform/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <fstream>
#include <string>

#include "platform/failure.h"

namespace quorvel {

namespace {

constexpr std::int32_t kFileAccessError = 75;

// The process's file-creation mask, read without setting it: umask(2) can
// only be read by changing it, which would race with the application's
// other threads creating files. 022 where /proc does not tell.
mode_t processUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
    }
    return 022;
}

}  // namespace

void replaceFile(const std::filesystem::path& file, std::string_view text, std::string_view what) {
    const std::string target = file.string();
    auto cannotWrite = [&]() { fail(kFileAccessError, std::string(what) + " " + target); };
    if (file.filename().empty()) cannotWrite();
    // A fresh name that nobody can have planted: mkstemp creates the file
    // itself, exclusively, and never through a link.
    std::string temporary = (file.parent_path() / (file.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) cannotWrite();
    auto abandon = [&]() {
        ::close(fd);
        ::unlink(temporary.c_str());
        cannotWrite();
    };
    // The permissions a plain create would give, or those of the file replaced.
    struct stat existing {};
    mode_t mode = 0;
    if (::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        mode = existing.st_mode & 07777;
    } else {
        mode = 0666 & ~processUmask();
    }
    if (::fchmod(fd, mode) != 0) abandon();
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) abandon();
        written += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) abandon();
    if (::close(fd) != 0) {
        ::unlink(temporary.c_str());
        cannotWrite();
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        ::unlink(temporary.c_str());
        cannotWrite();
    }
}

}  // namespace quorvel
