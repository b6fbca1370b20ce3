// SPDX-License-Identifier: MIT
#include "app/skin/skin_themes.h"
#include "platform/skin/skin_library.h"
#include "tests/support/files.h"
#include "tests/support/wine.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <windows.h>

namespace marrowtune::skin {
namespace {

using Bytes = std::vector<unsigned char>;

using test::readFile;

// A fresh directory under the temporary folder, with a Chinese name, removed afterwards.
class TemporaryDirectory {
public:
    TemporaryDirectory()
    {
        wchar_t base[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, base);
        // A loaded library cannot be deleted, so an earlier run may have left its directory.
        do {
            m_path = std::wstring(base) + L"皮肤" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                     std::to_wstring(GetTickCount()) + L"_" + std::to_wstring(++s_count);
        } while (!CreateDirectoryW(m_path.c_str(), nullptr) && s_count < 1000);
    }
    ~TemporaryDirectory()
    {
        WIN32_FIND_DATAW entry{};
        HANDLE find = FindFirstFileW((m_path + L"\\*").c_str(), &entry);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring file = m_path + L"\\" + entry.cFileName;
                SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(file.c_str());
            } while (FindNextFileW(find, &entry));
            FindClose(find);
        }
        RemoveDirectoryW(m_path.c_str());
    }
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    std::wstring wide() const { return m_path; }
    std::string utf8() const
    {
        char bytes[4 * MAX_PATH] = {};
        WideCharToMultiByte(CP_UTF8, 0, m_path.c_str(), -1, bytes, sizeof bytes, nullptr, nullptr);
        return bytes;
    }
    int entries() const
    {
        int count = 0;
        WIN32_FIND_DATAW entry{};
        HANDLE find = FindFirstFileW((m_path + L"\\*").c_str(), &entry);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                count +=
                    std::wstring(entry.cFileName) != L"." && std::wstring(entry.cFileName) != L"..";
            } while (FindNextFileW(find, &entry));
            FindClose(find);
        }
        return count;
    }

private:
    static inline int s_count = 0;
    std::wstring m_path;
};

void writeWide(const std::wstring& path, const std::string& content)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
}

Bytes readWide(const std::wstring& path)
{
    Bytes bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    unsigned char chunk[65536];
    DWORD n = 0;
    while (ReadFile(file, chunk, sizeof chunk, &n, nullptr) && n > 0) {
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    CloseHandle(file);
    return bytes;
}

// Catches the program carrying something other than the built DLL.
TEST(SkinFilesWinTest, ProgramCarriesTheBuiltLibrary)
{
    const Bytes image(SkinLibraryImage().begin(), SkinLibraryImage().end());
    EXPECT_EQ(image, readFile(MARROWTUNE_SKIN_LIBRARY_FILE));
    ASSERT_GE(image.size(), 2u);
    EXPECT_EQ(image[0], 'M'); // a Windows image
    EXPECT_EQ(image[1], 'Z');
    EXPECT_EQ(SkinThemes()[8].size(),
              readFile(std::string(MARROWTUNE_SKIN_THEMES_DIR) + "/theme_09.she").size());
}

// Catches a damaged file or a stranger's DLL planted as SkinH_EL.dll that is loaded (the
// planted one would end the program with 97 from its DllMain) or kept, and a window left
// without its skin: the file is replaced by the program's own and that is bound.
TEST(SkinFilesWinTest, ForeignLibraryFileIsReplacedAndNeverLoaded)
{
    const Bytes planted = readFile(MARROWTUNE_PLANTED_LIBRARY);
    ASSERT_FALSE(planted.empty());
    const Bytes image(SkinLibraryImage().begin(), SkinLibraryImage().end());
    for (const std::string& foreign :
         {std::string("not a library"), std::string(planted.begin(), planted.end())}) {
        TemporaryDirectory dir;
        writeWide(dir.wide() + L"\\SkinH_EL.dll", foreign);
        LibraryLoader loader = systemLoader();
        bool fatal = false;
        loader.fatal = [&](const Text&) { fatal = true; };
        SkinController controller(dir.utf8(), SkinLibraryImage(), loader);
        controller.attachTheme(SkinThemes()[8]);
        EXPECT_FALSE(fatal) << foreign.size();
        EXPECT_EQ(readWide(dir.wide() + L"\\SkinH_EL.dll"), image) << foreign.size();
        EXPECT_EQ(dir.entries(), 1);
    }
}

// Catches a folder that cannot take the library stopping the program, or a private copy
// that is not the image: the copy goes to Marrowtune under %LOCALAPPDATA%.
TEST(SkinFilesWinTest, FolderThatCannotTakeItGivesAPrivateCopy)
{
    TemporaryDirectory dir;
    TemporaryDirectory localAppData;
    ASSERT_TRUE(CreateDirectoryW((dir.wide() + L"\\SkinH_EL.dll").c_str(), nullptr));
    wchar_t saved[MAX_PATH] = {};
    GetEnvironmentVariableW(L"LOCALAPPDATA", saved, MAX_PATH);
    SetEnvironmentVariableW(L"LOCALAPPDATA", localAppData.wide().c_str());
    LibraryLoader loader = systemLoader();
    bool fatal = false;
    loader.fatal = [&](const Text&) { fatal = true; };
    SkinController controller(dir.utf8(), SkinLibraryImage(), loader);
    controller.attachTheme(SkinThemes()[8]);
    SetEnvironmentVariableW(L"LOCALAPPDATA", saved);
    EXPECT_FALSE(fatal);
    const Bytes image(SkinLibraryImage().begin(), SkinLibraryImage().end());
    EXPECT_EQ(readWide(localAppData.wide() + L"\\Marrowtune\\SkinH_EL.dll"), image);
    RemoveDirectoryW((dir.wide() + L"\\SkinH_EL.dll").c_str());
}

// Catches the file not written whole, not hidden (or more than hidden), an existing file of
// the name (also a read-only one) not replaced, or a temporary file left behind; and the
// library not bound from there.
TEST(SkinFilesWinTest, WritesAHiddenLibraryOnceAndBindsIt)
{
    TemporaryDirectory dir;
    LibraryLoader loader = systemLoader();
    bool fatal = false;
    loader.fatal = [&](const Text&) { fatal = true; };
    SkinController controller(dir.utf8(), SkinLibraryImage(), loader);
    EXPECT_EQ(controller.libraryPath(), dir.utf8() + "\\SkinH_EL.dll");
    const std::wstring path = dir.wide() + L"\\SkinH_EL.dll";

    controller.attachTheme(SkinThemes()[8]);
    controller.setAero(1);
    EXPECT_FALSE(fatal);
    const Bytes image(SkinLibraryImage().begin(), SkinLibraryImage().end());
    EXPECT_EQ(readWide(path), image);
    // Wine reports the archive attribute on every plain file, whatever was set.
    const DWORD wineArchive = test::underWine() ? FILE_ATTRIBUTE_ARCHIVE : 0;
    EXPECT_EQ(GetFileAttributesW(path.c_str()), FILE_ATTRIBUTE_HIDDEN | wineArchive);
    EXPECT_EQ(dir.entries(), 1);
    EXPECT_NE(GetModuleHandleW(L"SkinH_EL.dll"), nullptr);

    TemporaryDirectory other;
    const std::wstring existing = other.wide() + L"\\SkinH_EL.dll";
    writeWide(existing, "theirs");
    SetFileAttributesW(existing.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(writeLibraryFile(other.utf8() + "\\SkinH_EL.dll", SkinLibraryImage()));
    EXPECT_EQ(readWide(existing), image);
    EXPECT_EQ(GetFileAttributesW(existing.c_str()), FILE_ATTRIBUTE_HIDDEN | wineArchive);
    EXPECT_EQ(other.entries(), 1);
}

// Catches a program directory that is not the executable's own.
TEST(SkinFilesWinTest, ProgramDirectoryHoldsTheProgram)
{
    const std::string exe = programDirectory() + "\\app_skin_win_tests.exe";
    EXPECT_NE(GetFileAttributesA(exe.c_str()), INVALID_FILE_ATTRIBUTES) << exe;
}

} // namespace
} // namespace marrowtune::skin
