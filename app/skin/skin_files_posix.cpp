// SPDX-License-Identifier: MIT
#include "app/fatal_error.h"
#include "app/skin/skin_themes.h"
#include "platform/skin/skin_library.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

// The library file and its binding on Linux: POSIX files, memfd and dlopen.
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

// Closes a descriptor when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

bool readAll(int fd, std::vector<unsigned char>& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Loads the library at `path` if it is ours: a plain file of this user's or the system's that
// nobody else may write (so its bytes cannot change after the check), holding the image. The
// loader opens it again through the checked descriptor, so a file swapped in under the same
// name meanwhile is not what gets loaded.
void* openVerified(const std::string& path, std::span<const unsigned char> image)
{
    const Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat status {};
    if (fd.get() < 0 || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
        (status.st_uid != ::geteuid() && status.st_uid != 0) || (status.st_mode & 022) != 0 ||
        static_cast<std::size_t>(status.st_size) != image.size()) {
        return nullptr;
    }
    std::vector<unsigned char> bytes(image.size());
    if (!readAll(fd.get(), bytes) || !isCarriedImage(bytes, image)) {
        return nullptr;
    }
    // The loader may hand back a library it loaded earlier under the same name (a descriptor
    // number used again): every library loaded under such a name is the carried image.
    const std::string checked = "/proc/self/fd/" + std::to_string(fd.get());
    return ::dlopen(checked.c_str(), RTLD_NOW | RTLD_LOCAL);
}

// An anonymous memory file holding the image, sealed against any change; its path through
// /proc, which stays valid as long as the program runs (the descriptor is kept open).
std::string memoryCopy(std::span<const unsigned char> image)
{
    Descriptor fd(::memfd_create(LibraryFileName, MFD_CLOEXEC | MFD_ALLOW_SEALING));
    if (fd.get() < 0 || !writeAll(fd.get(), image) || ::fchmod(fd.get(), 0400) != 0 ||
        ::fcntl(fd.get(), F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) !=
            0) {
        return {};
    }
    std::string path = "/proc/self/fd/" + std::to_string(fd.get());
    if (::access(path.c_str(), R_OK) != 0) {
        return {};
    }
    fd.release();
    return path;
}

// The image in a folder only this user can enter, under $XDG_RUNTIME_DIR.
std::string runtimeDirectoryCopy(std::span<const unsigned char> image)
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime == nullptr || *runtime != '/') {
        return {};
    }
    const std::string directory = std::string(runtime) + "/marrowtune";
    ::mkdir(directory.c_str(), 0700);
    struct stat status {};
    if (::lstat(directory.c_str(), &status) != 0 || !S_ISDIR(status.st_mode) ||
        status.st_uid != ::geteuid() || (status.st_mode & 077) != 0) {
        return {};
    }
    const std::string path = directory + "/" + LibraryFileName;
    return writeLibraryFile(path, image) ? path : std::string();
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
    const auto slash = path.rfind('/');
    const std::string directory = slash == std::string::npos ? "." : path.substr(0, slash);
    std::string temporary = directory + "/.SkinH_EL.dll.XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        return false;
    }
    const bool written = writeAll(fd, image) && ::fchmod(fd, 0644) == 0 && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    // rename() puts it in place of whatever had the name, as one step.
    const bool published = written && closed && ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!published) {
        ::unlink(temporary.c_str());
        return false;
    }
    // The rename itself reaches the disk only with the directory.
    const int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

std::string installedLibraryDirectory()
{
    return MARROWTUNE_INSTALLED_SKIN_DIR;
}

LibraryLoader systemLoader()
{
    return {
        openVerified,
        [](std::span<const unsigned char> image, int attempt) {
            return attempt == 0   ? memoryCopy(image)
                   : attempt == 1 ? runtimeDirectoryCopy(image)
                                  : std::string();
        },
        [](void* library, const char* exportName) { return ::dlsym(library, exportName); },
        [](const Text& message) { fatalError(message); },
    };
}

} // namespace marrowtune::skin
