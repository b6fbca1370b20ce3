// SPDX-License-Identifier: MIT
#pragma once
// The window's skin. The program carries the skin library SkinH_EL.dll and its 58 themes
// inside itself, writes the library out beside its executable when it is missing, binds the
// library's two exports by name at run time and hands it a theme.
//
// The library file. It is the program's directory + "/SkinH_EL.dll" ("\SkinH_EL.dll" on
// Windows). A file of that name that already exists is never replaced, whatever it holds. A
// missing one is written whole and atomically: the bytes go to a temporary file in the same
// directory, are flushed to disk, and the temporary file is then renamed to the final name
// without replacing anything, so a crash or a full disk never leaves a truncated library behind
// for every later start to load and fail on. On Windows the file carries the hidden attribute
// (the attribute alone). That attribute has no POSIX equivalent; there the file keeps its name
// (a leading dot would change the name the program looks for) and is simply not hidden.
//
// Binding. On the first call of an export the library is loaded from the program's directory,
// and when that copy is missing or cannot be loaded, by name from the system's search path
// (LD_LIBRARY_PATH, the program's RUNPATH, the system's library directories; on Windows the
// system's DLL search order): an installed program whose directory is not writable finds the
// installed library there. It stays loaded until the program ends. Paths are UTF-8 text on both
// systems. An export that cannot be bound ends the program by the fatal path:
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

/// Makes the library file present beside the program.
void ensureSkinLibrary();
/// Makes the library file present and draws the program's windows with theme n (1 to 58);
/// any other n does nothing.
void applyTheme(int n);
/// The click handler of 按钮3 ("换肤"): applies the next theme of the program's fixed random
/// sequence, the same in every run (42, 24, 13, 53, 30, ...). It may repeat the theme on.
void applyRandomTheme();
/// Makes the library file present and turns the skin's aero look on.
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

/// Writes `image` to `path` unless something of that name exists (which is left untouched),
/// atomically as described above. True when a file of that name is there afterwards.
bool writeLibraryFile(const std::string& path, std::span<const unsigned char> image);

/// The GBK message for an export of the library that cannot be bound.
Text missingExportMessage(std::string_view exportName);

/// How the library is opened and bound, and how an unbindable export ends the program.
struct LibraryLoader {
    /// Opens a library by path (contains a separator) or by name (searched); null when it cannot.
    std::function<void*(const std::string& pathOrName)> open;
    /// Finds an export by name; null when it is not there.
    std::function<void*(void* library, const char* exportName)> symbol;
    /// Ends the program with the message; when it returns anyway, the call is skipped.
    std::function<void(const Text& message)> fatal;
};

/// dlopen / dlsym / fatalError; on Windows LoadLibraryW / GetProcAddress / fatalError.
LibraryLoader systemLoader();

/// The skin library of one program directory: writes it out, binds it and calls it.
class SkinController {
public:
    SkinController(std::string programDirectory, std::span<const unsigned char> image,
                   LibraryLoader loader);

    /// The library file's path: the program's directory, PathSeparator, "SkinH_EL.dll".
    const std::string& libraryPath() const { return m_libraryPath; }
    /// Writes the library file when it is missing.
    void ensureLibrary();
    /// ensureLibrary, then hands a fresh copy of the theme's bytes to SkinH_AttachRes.
    void attachTheme(ThemeBlob theme);
    /// ensureLibrary, then SkinH_SetAero(on).
    void setAero(int on);

private:
    void* bind(const char* exportName);

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
