// SPDX-License-Identifier: MIT
#include "app/fatal_error.h"
#include "app/skin/skin_themes.h"
#include "platform/codepage/codepage.h"
#include "platform/skin/skin_library.h"

#include <algorithm>
#include <cstdint>
#include <windows.h>

// The library file and its binding on Windows: the file functions and LoadLibraryW.
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

// A new, hidden temporary file beside the library's place; INVALID_HANDLE_VALUE when none can
// be made.
HANDLE createTemporary(const std::wstring& directory, std::wstring& name)
{
    const DWORD process = GetCurrentProcessId();
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        name = directory + L"\\SkinH_EL.dll." + std::to_wstring(process) + L"." +
               std::to_wstring(GetTickCount() + attempt) + L".tmp";
        HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) {
            return file;
        }
    }
    return INVALID_HANDLE_VALUE;
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
    if (GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return true; // whatever it is, it stays
    }
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
    bool published = false;
    if (written && closed && hidden) {
        // Without MOVEFILE_REPLACE_EXISTING the move refuses an existing name.
        published = MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
        if (!published) {
            const DWORD error = GetLastError();
            // Written meanwhile by someone else: theirs stays.
            published = error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS;
        }
    }
    DeleteFileW(temporary.c_str());
    return published;
}

LibraryLoader systemLoader()
{
    return {
        [](const std::string& pathOrName) -> void* {
            std::wstring name = wide(pathOrName);
            std::replace(name.begin(), name.end(), L'/', L'\\');
            // A damaged file must fail the load, not ask the user about it.
            DWORD oldMode = 0;
            SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &oldMode);
            HMODULE library = LoadLibraryW(name.c_str());
            SetThreadErrorMode(oldMode, nullptr);
            return reinterpret_cast<void*>(library);
        },
        [](void* library, const char* exportName) {
            return reinterpret_cast<void*>(
                GetProcAddress(static_cast<HMODULE>(library), exportName));
        },
        [](const Text& message) { fatalError(message); },
    };
}

} // namespace marrowtune::skin
