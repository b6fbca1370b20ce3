// SPDX-License-Identifier: MIT
#pragma once
// The window's skin. The program carries the skin library SkinH_EL.dll and its 58 themes
// inside itself, binds the library's two exports by name at run time and hands it a theme.
//
// Our library only. A SkinH_EL.dll is bound only when its bytes are the image the program
// carries (the same size and SHA-256), and what is loaded is exactly what was checked: on
// Linux the checked file is loaded through its open descriptor, and only a plain file owned by
// the user or the system and writable by no one else counts; on Windows the file stays open,
// shared for reading only, from the check until it is loaded by its full path (no search).
// The library is taken from the first of these that holds it:
//  1. the installed library (Linux: lib/marrowtune/ of the program's prefix): an installed
//     program writes nothing;
//  2. the file beside the program, the program's directory + "/SkinH_EL.dll" ("\SkinH_EL.dll"
//     on Windows, where the installation folder ships it), written there when it is missing
//     and replaced when it holds anything else (another library, a damaged copy, a link);
//  3. where that directory cannot take it, a private copy the program writes itself: Linux an
//     anonymous memory file, else a 0700 folder under $XDG_RUNTIME_DIR; Windows a folder of the
//     user's under %LOCALAPPDATA%.
// A file is written whole and atomically: the bytes go to a new temporary file of an
// unpredictable name in the same directory, are flushed to disk, and the temporary file is
// then renamed over the final name, so a crash or a full disk never leaves a truncated
// library behind. On Windows the file carries the hidden attribute (the attribute alone). That
// attribute has no POSIX equivalent; there the file keeps its name (a leading dot would change
// the name the program looks for) and is simply not hidden.
//
// Binding. The library is found and loaded on the first call of an export and stays loaded
// until the program ends. Paths are UTF-8 text on both systems. An export that cannot be bound
// (no copy of the library could be loaded) ends the program by the fatal path:
// "无法找到指定DLL库文件“SkinH_EL.dll”中的输出命令“<export>”".

#include "base/text.h"

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace marrowtune {

/// The bytes of one theme, in the skin library's own format (beginning ".SHE" and a zero byte).
using ThemeBlob = std::span<const unsigned char>;
/// The separator between the program's directory and the library file's name.
#ifdef _WIN32
inline constexpr char PathSeparator = '\\';
#else
inline constexpr char PathSeparator = '/';
#endif
/// Themes are numbered 1 to SkinThemeCount.
inline constexpr int SkinThemeCount = 58;
/// The theme the window wears at every start.
inline constexpr int StartThemeNumber = 9;

/// The complete skin library file, as built with this program.
std::span<const unsigned char> SkinLibraryImage();
/// The 58 themes: entry n - 1 is theme n.
const std::array<ThemeBlob, SkinThemeCount>& SkinThemes();

/// Makes the library present and loaded (see above).
void ensureSkinLibrary();
/// Makes the library present and draws the program's windows with theme n (1 to 58);
/// any other n does nothing.
void applyTheme(int n);
/// The click handler of 按钮3 ("换肤"): applies the next theme of the program's fixed random
/// sequence, the same in every run (42, 24, 13, 53, 30, ...). It may repeat the theme on.
void applyRandomTheme();
/// Makes the library present and turns the skin's aero look on.
void enableSkinAero();

namespace skin {

/// The linear congruential generator behind applyRandomTheme: state 1, never seeded, each
/// step state = state * 214013 + 2531011 (mod 2^32), r = bits 16 to 30 of the new state.
class ThemeSequence {
public:
    /// The next raw value r, 0 to 32767.
    int nextRaw();
    /// The next theme number, 1 + r mod 58.
    int nextTheme();

private:
    std::uint32_t m_state = 1;
};

/// The directory of the running program's executable file (UTF-8), without a final separator.
std::string programDirectory();

/// Writes `image` to `path`, atomically as described above, in place of whatever has that name
/// (a directory stays). True when the image is there afterwards.
bool writeLibraryFile(const std::string& path, std::span<const unsigned char> image);

/// Whether `bytes` are the carried `image`: the same size and the same SHA-256.
bool isCarriedImage(std::span<const unsigned char> bytes, std::span<const unsigned char> image);

/// The folder of the installed library relative to the program's directory ("" where the
/// installation keeps it beside the program).
std::string installedLibraryDirectory();

/// The GBK message for an export of the library that cannot be bound.
Text missingExportMessage(std::string_view exportName);

/// How the library is opened and bound, and how an unbindable export ends the program.
struct LibraryLoader {
    /// Loads the library file at `path` when it is `image` (as described above), binding exactly
    /// the bytes it checked; null when it is missing, foreign or cannot be loaded.
    std::function<void*(const std::string& path, std::span<const unsigned char> image)> open;
    /// Writes private copy number `attempt` (0, 1, ...) of `image` and gives its path; empty
    /// when there is no such copy to make.
    std::function<std::string(std::span<const unsigned char> image, int attempt)> privateCopy;
    /// Finds an export by name; null when it is not there.
    std::function<void*(void* library, const char* exportName)> symbol;
    /// Ends the program with the message; when it returns anyway, the call is skipped.
    std::function<void(const Text& message)> fatal;
};

/// dlopen / dlsym / fatalError; on Windows LoadLibraryExW / GetProcAddress / fatalError.
LibraryLoader systemLoader();

/// The skin library of one program directory: finds or writes it, binds it and calls it.
class SkinController {
public:
    /// `image` is viewed, not copied: it must outlive the controller (the program's is
    /// embedded). `installedDirectory`: where the installed library is, relative to
    /// `programDirectory` ("": none apart from the file beside the program).
    SkinController(std::string programDirectory, std::span<const unsigned char> image,
                   LibraryLoader loader, const std::string& installedDirectory = {});

    /// The library file's path: the program's directory, PathSeparator, "SkinH_EL.dll".
    const std::string& libraryPath() const { return m_libraryPath; }
    /// Loads the library from the first place above that holds it, writing the file beside
    /// the program or a private copy where needed.
    void ensureLibrary();
    /// ensureLibrary, then hands a fresh copy of the theme's bytes to SkinH_AttachRes.
    void attachTheme(ThemeBlob theme);
    /// ensureLibrary, then SkinH_SetAero(on).
    void setAero(int on);

private:
    void* locate();
    void* bind(const char* exportName);

    std::string m_installedPath;
    std::string m_libraryPath;
    std::span<const unsigned char> m_image;
    LibraryLoader m_loader;
    void* m_library = nullptr;
    void* m_attachRes = nullptr;
    void* m_setAero = nullptr;
};

/// The program's own controller (its directory, the embedded image, systemLoader) and
/// sequence, used by the operations above.
SkinController& programSkin();
ThemeSequence& programThemeSequence();

} // namespace skin
} // namespace marrowtune
