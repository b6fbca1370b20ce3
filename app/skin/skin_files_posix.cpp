// SPDX-License-Identifier: MIT
#include "app/fatal_error.h"
#include "app/skin/skin_themes.h"
#include "platform/skin/skin_library.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The library file and its binding on Linux: POSIX files and dlopen.
namespace marrowtune::skin {
namespace {

bool writeAll(int fd, std::span<const unsigned char> bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

// Puts the finished temporary file in place without ever replacing an existing file.
bool publishNoReplace(const std::string& temporary, const std::string& path)
{
    if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno == EEXIST) {
        return true; // written meanwhile by someone else: theirs stays
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    // A file system without RENAME_NOREPLACE: a hard link refuses an existing name as well.
    return ::link(temporary.c_str(), path.c_str()) == 0 || errno == EEXIST;
}

} // namespace

std::string programDirectory()
{
    if (QCoreApplication::instance()) {
        return QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString();
    }
    char buffer[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) {
        return ".";
    }
    std::string exe(buffer, static_cast<std::size_t>(n));
    const auto slash = exe.rfind('/');
    return slash == 0 ? "/" : exe.substr(0, slash);
}

bool writeLibraryFile(const std::string& path, std::span<const unsigned char> image)
{
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) == 0) {
        return true; // whatever it is, it stays
    }
    const auto slash = path.rfind('/');
    const std::string directory = slash == std::string::npos ? "." : path.substr(0, slash);
    std::string temporary = directory + "/.SkinH_EL.dll.XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        return false;
    }
    const bool written = writeAll(fd, image) && ::fchmod(fd, 0644) == 0 && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    const bool published = written && closed && publishNoReplace(temporary, path);
    ::unlink(temporary.c_str());
    if (published) {
        // The rename itself reaches the disk only with the directory.
        const int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dirFd >= 0) {
            ::fsync(dirFd);
            ::close(dirFd);
        }
    }
    return published;
}

LibraryLoader systemLoader()
{
    return {
        [](const std::string& pathOrName) {
            return ::dlopen(pathOrName.c_str(), RTLD_NOW | RTLD_LOCAL);
        },
        [](void* library, const char* exportName) { return ::dlsym(library, exportName); },
        [](const Text& message) { fatalError(message); },
    };
}

} // namespace marrowtune::skin
