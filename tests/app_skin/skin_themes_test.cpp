// SPDX-License-Identifier: MIT
#include "app/fatal_error.h"
#include "app/skin/sha256.h"
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

// The bytes of a plain file; empty for anything else.
Bytes fileBytes(const std::string& path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) ? readFile(path) : Bytes();
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

// Catches a digest that is not SHA-256's, at the padding's edges (55, 56 and 64 bytes) too.
TEST(Sha256Test, KnownDigests)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        {std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
        {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    };
    for (const auto& [message, hex] : cases) {
        const auto digest = sha256(
            std::span(reinterpret_cast<const unsigned char*>(message.data()), message.size()));
        std::string text;
        for (const std::uint8_t byte : digest) {
            char two[3];
            std::snprintf(two, sizeof two, "%02x", byte);
            text += two;
        }
        EXPECT_EQ(text, hex) << message.size();
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

// Catches a foreign file, a damaged copy or a link left in place (a link's target must not be
// written through), a directory of the name that is not left alone, or debris left behind.
TEST(LibraryFileTest, AnythingElseOfTheNameIsReplacedWhole)
{
    const Bytes image(1000, 0xAB);
    struct Case {
        const char* what;
        std::function<void(const std::string&)> make;
        bool replaced;
    } const cases[] = {
        {"other content", [](const std::string& p) { writeFile(p, "old library"); }, true},
        {"empty file", [](const std::string& p) { writeFile(p, ""); }, true},
        {"dangling link", [](const std::string& p) { ::symlink("/nonexistent/x", p.c_str()); },
         true},
        {"directory", [](const std::string& p) { ::mkdir(p.c_str(), 0755); }, false},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        const std::string file = path(dir) + "/SkinH_EL.dll";
        c.make(file);
        EXPECT_EQ(writeLibraryFile(file, image), c.replaced) << c.what;
        struct stat after {};
        ::lstat(file.c_str(), &after);
        EXPECT_EQ(S_ISREG(after.st_mode), c.replaced) << c.what;
        if (c.replaced) {
            EXPECT_EQ(readFile(file), image) << c.what;
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
    std::set<std::string> loadable;         // paths that load when they hold the image
    std::vector<std::string> privateCopies; // what each attempt at a private copy gives
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

// Loads a path of `loadable` whose file holds the image, as the system loader's check would;
// a private copy is written when it is asked for.
LibraryLoader fakeLoader(FakeLibrary& fake)
{
    g_fake = &fake;
    return {
        [&fake](const std::string& path, std::span<const unsigned char> image) -> void* {
            fake.opened.push_back(path);
            const Bytes bytes = fileBytes(path);
            return fake.loadable.count(path) && !bytes.empty() && bytes == toBytes(image) ? &fake
                                                                                          : nullptr;
        },
        [&fake](std::span<const unsigned char> image, int attempt) {
            if (static_cast<std::size_t>(attempt) >= fake.privateCopies.size()) {
                return std::string();
            }
            const std::string& copy = fake.privateCopies[static_cast<std::size_t>(attempt)];
            std::ofstream(copy, std::ios::binary)
                .write(reinterpret_cast<const char*>(image.data()),
                       static_cast<std::streamsize>(image.size()));
            return copy;
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
    EXPECT_EQ(fake.opened, std::vector<std::string>(2, path(dir) + "/SkinH_EL.dll"));
    EXPECT_EQ(g_attached, toBytes(theme));
    EXPECT_EQ(g_attachArgs, (std::vector<int>{static_cast<int>(theme.size()), 0, 0, 0, 0}));
    skin.setAero(1);
    EXPECT_EQ(g_attachArgs, std::vector<int>{1});
    EXPECT_EQ(fake.opened.size(), 2u); // loaded once, kept
    EXPECT_TRUE(fake.fatalMessages.empty());
}

// Catches an installed program that writes beside itself although its installed library is
// good, a good copy beside the program written again, a foreign file beside the program that
// is bound or kept, and a folder that cannot take the library that stops the program although
// a private copy can be made.
TEST(SkinControllerTest, TakesTheFirstPlaceThatHoldsTheLibrary)
{
    const Bytes image(64, 0x22);
    struct Case {
        const char* what;
        std::function<void(const std::string& dir)> prepare;
        std::vector<std::string> opened; // relative to the program's directory
        Bytes beside;                    // the file beside the program afterwards
        bool written;                    // the file beside the program was (re)written
    } const cases[] = {
        {"installed copy good",
         [&](const std::string& d) {
             ::mkdir((d + "/lib").c_str(), 0755);
             std::ofstream(d + "/lib/SkinH_EL.dll", std::ios::binary)
                 .write(reinterpret_cast<const char*>(image.data()), 64);
         },
         {"/lib/SkinH_EL.dll"},
         {},
         false},
        {"own copy beside",
         [&](const std::string& d) {
             std::ofstream(d + "/SkinH_EL.dll", std::ios::binary)
                 .write(reinterpret_cast<const char*>(image.data()), 64);
         },
         {"/lib/SkinH_EL.dll", "/SkinH_EL.dll"},
         image,
         false},
        {"foreign file beside",
         [](const std::string& d) { writeFile(d + "/SkinH_EL.dll", "planted"); },
         {"/lib/SkinH_EL.dll", "/SkinH_EL.dll", "/SkinH_EL.dll"},
         image,
         true},
        {"folder cannot take it",
         [](const std::string& d) { ::mkdir((d + "/SkinH_EL.dll").c_str(), 0755); },
         {"/lib/SkinH_EL.dll", "/SkinH_EL.dll", "/private-0", "/private-1"},
         {},
         false},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        c.prepare(path(dir));
        FakeLibrary fake;
        fake.privateCopies = {path(dir) + "/private-0", path(dir) + "/private-1"};
        fake.loadable = {path(dir) + "/lib/SkinH_EL.dll", path(dir) + "/SkinH_EL.dll",
                         path(dir) + "/private-1"};
        struct stat before {};
        ::lstat((path(dir) + "/SkinH_EL.dll").c_str(), &before);
        SkinController skin(path(dir), image, fakeLoader(fake), "lib");
        skin.attachTheme(SkinThemes()[0]);
        struct stat after {};
        ::lstat((path(dir) + "/SkinH_EL.dll").c_str(), &after);
        EXPECT_EQ(after.st_ino != before.st_ino, c.written) << c.what;
        std::vector<std::string> expected;
        for (const std::string& relative : c.opened) {
            expected.push_back(path(dir) + relative);
        }
        EXPECT_EQ(fake.opened, expected) << c.what;
        EXPECT_EQ(fileBytes(path(dir) + "/SkinH_EL.dll"), c.beside) << c.what;
        EXPECT_TRUE(fake.fatalMessages.empty()) << c.what;
    }
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
        QTemporaryDir dir;
        FakeLibrary fake;
        for (const std::string& name : c.loadable) {
            fake.loadable.insert(path(dir) + "/" + name);
        }
        fake.exports = c.exports;
        g_attachArgs.clear();
        const Bytes image(8, 1); // the controller keeps a view of it
        SkinController skin(path(dir), image, fakeLoader(fake));
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
            loader.open = [](const std::string&, std::span<const unsigned char>) -> void* {
                return nullptr;
            };
            loader.privateCopy = [](std::span<const unsigned char>, int) { return std::string(); };
            SkinController skin("/nonexistent-marrowtune-dir", SkinLibraryImage(), loader);
            skin.attachTheme(SkinThemes()[8]);
        },
        testing::ExitedWithCode(255),
        "错误信息：无法找到指定DLL库文件“SkinH_EL.dll”中的输出命令“SkinH_AttachRes”\n$");
}

// Catches a shared object planted as SkinH_EL.dll whose code runs (it would end the test with
// 97), or a window that is then left without its skin: the foreign file beside the program is
// replaced where the folder can take it, and otherwise a private copy is bound.
TEST(SkinControllerTest, PlantedLibraryNeverRunsAndTheSkinStillDraws)
{
    test::ensureApplication();
    const Bytes planted = readFile(MARROWTUNE_PLANTED_LIBRARY);
    ASSERT_FALSE(planted.empty());
    for (const bool folderWritable : {true, false}) {
        if (!folderWritable && ::geteuid() == 0) {
            continue; // root writes into a read-only folder anyway
        }
        QTemporaryDir dir;
        const std::string file = path(dir) + "/SkinH_EL.dll";
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(planted.data()),
                   static_cast<std::streamsize>(planted.size()));
        ::chmod(dir.path().toLocal8Bit().constData(), folderWritable ? 0755 : 0555);
        qApp->setStyleSheet({});
        SkinController skin(path(dir), SkinLibraryImage(), systemLoader());
        skin.attachTheme(SkinThemes()[StartThemeNumber - 1]);
        QCoreApplication::sendPostedEvents();
        EXPECT_FALSE(qApp->styleSheet().isEmpty()) << folderWritable;
        EXPECT_EQ(readFile(file), folderWritable ? toBytes(SkinLibraryImage()) : planted);
        ::chmod(dir.path().toLocal8Bit().constData(), 0755);
    }
}

// Catches a private copy that cannot be loaded, or is not the image: an anonymous memory
// file, and where there is none, the 0700 folder under $XDG_RUNTIME_DIR.
TEST(SkinControllerTest, PrivateCopiesHoldTheImageAndLoad)
{
    QTemporaryDir runtime;
    ::setenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit().constData(), 1);
    const LibraryLoader loader = systemLoader();
    const std::string memory = loader.privateCopy(SkinLibraryImage(), 0);
    const std::string folder = loader.privateCopy(SkinLibraryImage(), 1);
    EXPECT_EQ(memory.rfind("/proc/self/fd/", 0), 0u) << memory;
    EXPECT_EQ(folder, path(runtime) + "/marrowtune/SkinH_EL.dll");
    struct stat status {};
    ::stat((path(runtime) + "/marrowtune").c_str(), &status);
    EXPECT_EQ(status.st_mode & 0777, 0700u);
    for (const std::string& copy : {memory, folder}) {
        EXPECT_EQ(readFile(copy), toBytes(SkinLibraryImage())) << copy;
        EXPECT_NE(loader.open(copy, SkinLibraryImage()), nullptr) << copy;
    }
    EXPECT_EQ(loader.privateCopy(SkinLibraryImage(), 2), "");
    // A file that is not the image, or that someone else may write, is not loaded.
    const Bytes image = toBytes(SkinLibraryImage());
    std::ofstream(path(runtime) + "/other", std::ios::binary) << "not the image";
    EXPECT_EQ(loader.open(path(runtime) + "/other", SkinLibraryImage()), nullptr);
    ::chmod(folder.c_str(), 0666);
    EXPECT_EQ(loader.open(folder, SkinLibraryImage()), nullptr);
    EXPECT_TRUE(isCarriedImage(image, SkinLibraryImage()));
    Bytes damaged = image;
    damaged[damaged.size() / 2] ^= 1;
    EXPECT_FALSE(isCarriedImage(damaged, SkinLibraryImage()));
    ::unsetenv("XDG_RUNTIME_DIR");
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
