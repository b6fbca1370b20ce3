// SPDX-License-Identifier: MIT
#include "app/fatal_error.h"
#include "app/skin/skin_themes.h"
#include "platform/codepage/codepage.h"
#include "platform/skin/skin_library.h"

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <iterator>
#include <random>
#include <vector>
#include <windows.h>

// The library file and its binding on Windows: the file functions and LoadLibraryExW.
namespace marrowtune::skin {
namespace {

// File names go to the wide calls as UTF-16; wchar_t is a UTF-16 unit on Windows.
std::wstring wide(const std::string& utf8)
{
    const std::u16string units = codepage::toWide(utf8, CodePage::Utf8);
    return {units.begin(), units.end()};
}

std::string utf8(const std::wstring& text)
{
    return codepage::fromWide(std::u16string(text.begin(), text.end()), CodePage::Utf8);
}

bool writeAll(HANDLE file, std::span<const unsigned char> bytes)
{
    while (!bytes.empty()) {
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) {
            return false;
        }
        bytes = bytes.subspan(written);
    }
    return true;
}

// A new, hidden temporary file of an unpredictable name beside the library's place, made with
// CREATE_NEW so that nothing already there is opened; INVALID_HANDLE_VALUE when none can be made.
HANDLE createTemporary(const std::wstring& directory, std::wstring& name)
{
    std::random_device random;
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        wchar_t suffix[32] = {};
        std::swprintf(suffix, std::size(suffix), L"%08x%08x", random(), random());
        name = directory + L"\\SkinH_EL.dll." + suffix + L".tmp";
        HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) {
            return file;
        }
    }
    return INVALID_HANDLE_VALUE;
}

// Closes a handle when it goes out of scope.
class Handle {
public:
    explicit Handle(HANDLE handle) : m_handle(handle) {}
    ~Handle()
    {
        if (m_handle != INVALID_HANDLE_VALUE) {
            CloseHandle(m_handle);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return m_handle; }

private:
    HANDLE m_handle;
};

// Loads the library at `path` if it holds the image. The file stays open, shared for reading
// only, from the check until it is loaded: nobody can change, replace or delete the checked
// bytes meanwhile. It is loaded by its full path, and what it imports only from the system
// folder, never through the search order (the current folder, PATH).
void* openVerified(const std::string& path, std::span<const unsigned char> image)
{
    std::wstring name = wide(path);
    std::replace(name.begin(), name.end(), L'/', L'\\');
    const Handle file(CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (file.get() == INVALID_HANDLE_VALUE || !GetFileSizeEx(file.get(), &size) ||
        static_cast<unsigned long long>(size.QuadPart) != image.size()) {
        return nullptr;
    }
    std::vector<unsigned char> bytes(image.size());
    std::size_t done = 0;
    while (done < bytes.size()) {
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        DWORD n = 0;
        if (!ReadFile(file.get(), bytes.data() + done, chunk, &n, nullptr) || n == 0) {
            return nullptr;
        }
        done += n;
    }
    if (!isCarriedImage(bytes, image)) {
        return nullptr;
    }
    // A library that fails to load must fail the call, not ask the user about it.
    DWORD oldMode = 0;
    SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &oldMode);
    HMODULE library = LoadLibraryExW(name.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    SetThreadErrorMode(oldMode, nullptr);
    return reinterpret_cast<void*>(library);
}

// The image in a folder of the user's own, %LOCALAPPDATA%\Marrowtune.
std::string localAppDataCopy(std::span<const unsigned char> image)
{
    wchar_t base[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableW(L"LOCALAPPDATA", base, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        return {};
    }
    const std::wstring directory = std::wstring(base) + L"\\Marrowtune";
    CreateDirectoryW(directory.c_str(), nullptr);
    const DWORD attributes = GetFileAttributesW(directory.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return {};
    }
    const std::string path = utf8(directory) + "\\" + LibraryFileName;
    return writeLibraryFile(path, image) ? path : std::string();
}

} // namespace

std::string programDirectory()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) {
            return ".";
        }
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    const auto separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? "." : utf8(path.substr(0, separator));
}

bool writeLibraryFile(const std::string& path, std::span<const unsigned char> image)
{
    const std::wstring target = wide(path);
    const auto separator = target.find_last_of(L"\\/");
    const std::wstring directory =
        separator == std::wstring::npos ? L"." : target.substr(0, separator);
    std::wstring temporary;
    HANDLE file = createTemporary(directory, temporary);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool written = writeAll(file, image) && FlushFileBuffers(file);
    const bool closed = CloseHandle(file) != 0;
    // The hidden attribute alone (a new file also gets the archive attribute).
    const bool hidden = SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_HIDDEN) != 0;
    // In place of whatever had the name, as one step. A file with the read-only attribute
    // refuses it; that attribute is taken off first.
    const DWORD existing = GetFileAttributesW(target.c_str());
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_READONLY) != 0 &&
        (existing & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        SetFileAttributesW(target.c_str(), existing & ~DWORD{FILE_ATTRIBUTE_READONLY});
    }
    const bool published = written && closed && hidden &&
                           MoveFileExW(temporary.c_str(), target.c_str(),
                                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!published) {
        DeleteFileW(temporary.c_str());
    }
    return published;
}

std::string installedLibraryDirectory()
{
    return {}; // the installation folder ships it beside the program
}

LibraryLoader systemLoader()
{
    return {
        openVerified,
        [](std::span<const unsigned char> image, int attempt) {
            return attempt == 0 ? localAppDataCopy(image) : std::string();
        },
        [](void* library, const char* exportName) {
            return reinterpret_cast<void*>(
                GetProcAddress(static_cast<HMODULE>(library), exportName));
        },
        [](const Text& message) { fatalError(message); },
    };
}

} // namespace marrowtune::skin
