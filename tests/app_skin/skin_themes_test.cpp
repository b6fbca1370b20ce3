// SPDX-License-Identifier: MIT
#include "app/fatal_error.h"
#include "app/skin/skin_themes.h"
#include "tests/support/files.h"
#include "tests/support/gbk.h"
#include "tests/support/qt_application.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace marrowtune::skin {
namespace {

using Bytes = std::vector<unsigned char>;

using test::readFile;

void writeFile(const std::string& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

Bytes toBytes(std::span<const unsigned char> span)
{
    return {span.begin(), span.end()};
}

std::string path(const QTemporaryDir& dir)
{
    return dir.path().toStdString();
}

QStringList entries(const QTemporaryDir& dir)
{
    return QDir(dir.path())
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// Catches a generator that is seeded, steps differently or takes other bits: every run's
// first five presses of "换肤" give these themes.
TEST(ThemeSequenceTest, FirstFivePressesGiveTheFixedThemes)
{
    ThemeSequence sequence;
    std::vector<int> themes;
    for (int i = 0; i < 5; ++i) {
        themes.push_back(sequence.nextTheme());
    }
    EXPECT_EQ(themes, (std::vector<int>{42, 24, 13, 53, 30}));
    ThemeSequence raw;
    EXPECT_EQ(raw.nextRaw(), 41);
    EXPECT_EQ(raw.nextRaw(), 18467);
}

// Catches an embedded image or theme table that is not the build's output.
TEST(EmbeddedSkinTest, ProgramCarriesTheBuiltLibraryAndThemes)
{
    EXPECT_EQ(toBytes(SkinLibraryImage()), readFile(MARROWTUNE_SKIN_LIBRARY_FILE));
    ASSERT_GE(SkinLibraryImage().size(), 4u);
    EXPECT_EQ(SkinLibraryImage()[1], 'E'); // an ELF shared object
    const unsigned char magic[] = {'.', 'S', 'H', 'E', 0};
    for (int n = 1; n <= SkinThemeCount; ++n) {
        const ThemeBlob theme = SkinThemes()[static_cast<std::size_t>(n - 1)];
        ASSERT_GE(theme.size(), 5u) << n;
        EXPECT_TRUE(std::equal(std::begin(magic), std::end(magic), theme.begin())) << n;
        char name[32];
        std::snprintf(name, sizeof name, "/theme_%02d.she", n);
        EXPECT_EQ(toBytes(theme), readFile(std::string(MARROWTUNE_SKIN_THEMES_DIR) + name)) << n;
    }
}

// Catches a first start that writes something other than the whole image, or leaves its
// temporary file behind.
TEST(LibraryFileTest, MissingFileIsWrittenWhole)
{
    QTemporaryDir dir;
    const Bytes image = {0x7F, 'E', 'L', 'F', 0, 1, 2, 3, 0xFF};
    const std::string file = path(dir) + "/SkinH_EL.dll";
    EXPECT_TRUE(writeLibraryFile(file, image));
    EXPECT_EQ(readFile(file), image);
    EXPECT_EQ(entries(dir), QStringList{QStringLiteral("SkinH_EL.dll")});
}

// Catches an existing file of any content or kind being replaced or touched.
TEST(LibraryFileTest, ExistingFileIsNeverReplaced)
{
    const Bytes image(1000, 0xAB);
    struct Case {
        const char* what;
        std::function<void(const std::string&)> make;
        std::string content; // expected afterwards ("" for a non-file)
    } const cases[] = {
        {"other content", [](const std::string& p) { writeFile(p, "old library"); }, "old library"},
        {"empty file", [](const std::string& p) { writeFile(p, ""); }, ""},
        {"directory", [](const std::string& p) { ::mkdir(p.c_str(), 0755); }, ""},
        {"dangling link", [](const std::string& p) { ::symlink("/nonexistent/x", p.c_str()); }, ""},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        const std::string file = path(dir) + "/SkinH_EL.dll";
        c.make(file);
        struct stat before {};
        ::lstat(file.c_str(), &before);
        EXPECT_TRUE(writeLibraryFile(file, image)) << c.what;
        struct stat after {};
        ::lstat(file.c_str(), &after);
        EXPECT_EQ(after.st_ino, before.st_ino) << c.what;
        EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec) << c.what;
        if (S_ISREG(after.st_mode)) {
            EXPECT_EQ(readFile(file), Bytes(c.content.begin(), c.content.end())) << c.what;
        }
        EXPECT_EQ(entries(dir).size(), 1) << c.what;
    }
}

// Catches a write into a directory that cannot take it reporting success or leaving debris.
TEST(LibraryFileTest, UnwritableDirectoryFailsCleanly)
{
    EXPECT_FALSE(writeLibraryFile("/nonexistent-marrowtune-dir/SkinH_EL.dll", Bytes(10, 1)));
    if (::geteuid() != 0) { // root writes into a read-only directory anyway
        QTemporaryDir dir;
        ::chmod(dir.path().toLocal8Bit().constData(), 0555);
        EXPECT_FALSE(writeLibraryFile(path(dir) + "/SkinH_EL.dll", Bytes(10, 1)));
        ::chmod(dir.path().toLocal8Bit().constData(), 0755);
        EXPECT_TRUE(entries(dir).isEmpty());
    }
}

// What the fake loader saw and did.
struct FakeLibrary {
    std::vector<std::string> opened;
    std::set<std::string> loadable; // paths or names that open
    std::set<std::string> exports{"SkinH_AttachRes", "SkinH_SetAero"};
    std::vector<Text> fatalMessages;
};

FakeLibrary* g_fake = nullptr;
Bytes g_attached;
std::vector<int> g_attachArgs;

int fakeAttach(const unsigned char* theme, int size, const char* text, int a, int b, int c)
{
    g_attached.assign(theme, theme + size);
    g_attachArgs = {size, text && *text == 0 ? 0 : -1, a, b, c};
    return 1;
}

int fakeSetAero(int on)
{
    g_attachArgs = {on};
    return 1;
}

LibraryLoader fakeLoader(FakeLibrary& fake)
{
    g_fake = &fake;
    return {
        [&fake](const std::string& pathOrName) -> void* {
            fake.opened.push_back(pathOrName);
            return fake.loadable.count(pathOrName) ? &fake : nullptr;
        },
        [&fake](void*, const char* name) -> void* {
            if (!fake.exports.count(name)) {
                return nullptr;
            }
            return std::string_view(name) == "SkinH_AttachRes"
                       ? reinterpret_cast<void*>(&fakeAttach)
                       : reinterpret_cast<void*>(&fakeSetAero);
        },
        [&fake](const Text& message) { fake.fatalMessages.push_back(message); },
    };
}

// Catches binding that skips the program's own copy, passes other bytes or arguments, or
// does not write the library first.
TEST(SkinControllerTest, WritesThenBindsTheProgramsCopyAndPassesTheTheme)
{
    QTemporaryDir dir;
    FakeLibrary fake;
    const Bytes image(64, 0x11);
    SkinController skin(path(dir), image, fakeLoader(fake));
    fake.loadable = {skin.libraryPath()};
    const ThemeBlob theme = SkinThemes()[8];
    skin.attachTheme(theme);
    EXPECT_EQ(readFile(skin.libraryPath()), image);
    EXPECT_EQ(fake.opened, std::vector<std::string>{path(dir) + "/SkinH_EL.dll"});
    EXPECT_EQ(g_attached, toBytes(theme));
    EXPECT_EQ(g_attachArgs, (std::vector<int>{static_cast<int>(theme.size()), 0, 0, 0, 0}));
    skin.setAero(1);
    EXPECT_EQ(g_attachArgs, std::vector<int>{1});
    EXPECT_EQ(fake.opened.size(), 1u); // loaded once, kept
    EXPECT_TRUE(fake.fatalMessages.empty());
}

// Catches an unwritable program directory that stops the program although the library is on
// the system's search path (the installed program).
TEST(SkinControllerTest, FallsBackToTheSearchPath)
{
    FakeLibrary fake;
    fake.loadable = {"SkinH_EL.dll"};
    SkinController skin("/nonexistent-marrowtune-dir", Bytes(8, 1), fakeLoader(fake));
    skin.attachTheme(SkinThemes()[0]);
    EXPECT_EQ(fake.opened, (std::vector<std::string>{"/nonexistent-marrowtune-dir/SkinH_EL.dll",
                                                     "SkinH_EL.dll"}));
    EXPECT_EQ(g_attached, toBytes(SkinThemes()[0]));
    EXPECT_TRUE(fake.fatalMessages.empty());
}

// Catches a wrong fatal message (it is compared byte for byte in GBK) or a call through an
// unbound export.
TEST(SkinControllerTest, UnboundExportEndsWithTheExactMessage)
{
    struct Case {
        const char* what;
        std::set<std::string> loadable;
        std::set<std::string> exports;
        bool aero;
        std::u16string message;
    } const cases[] = {
        {"no library anywhere",
         {},
         {"SkinH_AttachRes"},
         false,
         u"无法找到指定DLL库文件“SkinH_EL.dll”中的输出命令“SkinH_AttachRes”"},
        {"export missing",
         {"SkinH_EL.dll"},
         {"SkinH_AttachRes"},
         true,
         u"无法找到指定DLL库文件“SkinH_EL.dll”中的输出命令“SkinH_SetAero”"},
    };
    for (const auto& c : cases) {
        FakeLibrary fake;
        fake.loadable = c.loadable;
        fake.exports = c.exports;
        g_attachArgs.clear();
        SkinController skin("/nonexistent-marrowtune-dir", Bytes(8, 1), fakeLoader(fake));
        c.aero ? skin.setAero(1) : skin.attachTheme(SkinThemes()[0]);
        EXPECT_EQ(fake.fatalMessages, std::vector<Text>{test::gbk(c.message)}) << c.what;
        EXPECT_TRUE(g_attachArgs.empty()) << c.what;
    }
}

// Catches the fatal path not ending the program with -1 when the library cannot be written
// and is found nowhere.
TEST(SkinControllerDeathTest, NoLibraryAnywhereEndsTheProgramWithMinusOne)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            setFatalErrorHandler(
                [](const QString& text) { std::fputs(text.toUtf8().constData(), stderr); });
            LibraryLoader loader = systemLoader();
            loader.open = [](const std::string&) -> void* { return nullptr; };
            SkinController skin("/nonexistent-marrowtune-dir", SkinLibraryImage(), loader);
            skin.attachTheme(SkinThemes()[8]);
        },
        testing::ExitedWithCode(255),
        "错误信息：无法找到指定DLL库文件“SkinH_EL.dll”中的输出命令“SkinH_AttachRes”\n$");
}

// Catches a written-out library that the real loader cannot bind or that does not draw the
// application: the whole road of a first start, with the embedded image.
TEST(SkinControllerTest, FirstStartWritesBindsAndDrawsTheStartTheme)
{
    test::ensureApplication();
    QTemporaryDir dir;
    SkinController skin(path(dir), SkinLibraryImage(), systemLoader());
    skin.attachTheme(SkinThemes()[StartThemeNumber - 1]);
    EXPECT_EQ(readFile(skin.libraryPath()), toBytes(SkinLibraryImage()));
    // With no window on screen the look is applied at the next turn of the event loop.
    QCoreApplication::sendPostedEvents();
    const QString plain = qApp->styleSheet();
    EXPECT_FALSE(plain.isEmpty());
    skin.setAero(1);
    QCoreApplication::sendPostedEvents();
    EXPECT_NE(qApp->styleSheet(), plain);
}

} // namespace
} // namespace marrowtune::skin
