// SPDX-License-Identifier: MIT
#include "app/skin/skin_themes.h"

#include "app/skin/sha256.h"
#include "embedded/skin_library_image.h"
#include "embedded/skin_themes_pack.h"
#include "platform/skin/skin_library.h"

#include <vector>

namespace marrowtune {
namespace skin {
namespace {

std::uint32_t readU32(std::span<const unsigned char> bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

// The pack the build writes: "SKPK", a count, the sizes, then the themes back to back. A pack
// that does not add up leaves every theme empty, which the library refuses.
std::array<ThemeBlob, SkinThemeCount> splitPack(std::span<const unsigned char> pack)
{
    std::array<ThemeBlob, SkinThemeCount> themes{};
    const std::size_t headerSize = 8 + 4 * SkinThemeCount;
    if (pack.size() < headerSize || pack[0] != 'S' || pack[1] != 'K' || pack[2] != 'P' ||
        pack[3] != 'K' || readU32(pack, 4) != SkinThemeCount) {
        return themes;
    }
    std::size_t offset = headerSize;
    for (std::size_t i = 0; i < themes.size(); ++i) {
        const std::size_t size = readU32(pack, 8 + 4 * i);
        if (size > pack.size() - offset) {
            return {};
        }
        themes[i] = pack.subspan(offset, size);
        offset += size;
    }
    return themes;
}

} // namespace

int ThemeSequence::nextRaw()
{
    m_state = m_state * 214013u + 2531011u;
    return static_cast<int>((m_state >> 16) & 0x7FFFu);
}

int ThemeSequence::nextTheme()
{
    return 1 + nextRaw() % SkinThemeCount;
}

Text missingExportMessage(std::string_view exportName)
{
    // 无法找到指定DLL库文件“%s”中的输出命令“%s”
    Text message = "\xCE\xDE\xB7\xA8\xD5\xD2\xB5\xBD\xD6\xB8\xB6\xA8"
                   "DLL"
                   "\xBF\xE2\xCE\xC4\xBC\xFE\xA1\xB0";
    message += LibraryFileName;
    message += "\xA1\xB1\xD6\xD0\xB5\xC4\xCA\xE4\xB3\xF6\xC3\xFC\xC1\xEE\xA1\xB0";
    message += exportName;
    message += "\xA1\xB1";
    return message;
}

bool isCarriedImage(std::span<const unsigned char> bytes, std::span<const unsigned char> image)
{
    return bytes.size() == image.size() && sha256(bytes) == sha256(image);
}

SkinController::SkinController(std::string programDirectory, std::span<const unsigned char> image,
                               LibraryLoader loader, const std::string& installedDirectory)
    : m_installedPath(installedDirectory.empty()
                          ? std::string()
                          : programDirectory + PathSeparator + installedDirectory + PathSeparator +
                                LibraryFileName),
      m_libraryPath(std::move(programDirectory) + PathSeparator + LibraryFileName), m_image(image),
      m_loader(std::move(loader))
{
}

void* SkinController::locate()
{
    if (!m_installedPath.empty()) {
        if (void* library = m_loader.open(m_installedPath, m_image)) {
            return library;
        }
    }
    if (void* library = m_loader.open(m_libraryPath, m_image)) {
        return library;
    }
    // Missing, foreign or damaged: ours goes in its place.
    if (writeLibraryFile(m_libraryPath, m_image)) {
        if (void* library = m_loader.open(m_libraryPath, m_image)) {
            return library;
        }
    }
    for (int attempt = 0;; ++attempt) {
        const std::string copy = m_loader.privateCopy(m_image, attempt);
        if (copy.empty()) {
            return nullptr;
        }
        if (void* library = m_loader.open(copy, m_image)) {
            return library;
        }
    }
}

void SkinController::ensureLibrary()
{
    if (!m_library) {
        m_library = locate(); // the outcome shows when an export is bound
    }
}

void* SkinController::bind(const char* exportName)
{
    ensureLibrary();
    void* function = m_library ? m_loader.symbol(m_library, exportName) : nullptr;
    if (!function) {
        m_loader.fatal(missingExportMessage(exportName));
    }
    return function;
}

void SkinController::attachTheme(ThemeBlob theme)
{
    ensureLibrary();
    if (!m_attachRes) {
        m_attachRes = bind("SkinH_AttachRes");
    }
    if (!m_attachRes) {
        return;
    }
    // The library gets its own copy of the bytes, released once it has read them.
    const std::vector<unsigned char> buffer(theme.begin(), theme.end());
    reinterpret_cast<AttachResFunction>(m_attachRes)(buffer.data(), static_cast<int>(buffer.size()),
                                                     "", 0, 0, 0);
}

void SkinController::setAero(int on)
{
    ensureLibrary();
    if (!m_setAero) {
        m_setAero = bind("SkinH_SetAero");
    }
    if (m_setAero) {
        reinterpret_cast<SetAeroFunction>(m_setAero)(on);
    }
}

SkinController& programSkin()
{
    static SkinController controller(programDirectory(), SkinLibraryImage(), systemLoader(),
                                     installedLibraryDirectory());
    return controller;
}

ThemeSequence& programThemeSequence()
{
    static ThemeSequence sequence;
    return sequence;
}

} // namespace skin

std::span<const unsigned char> SkinLibraryImage()
{
    return embedded::skin_library_image();
}

const std::array<ThemeBlob, SkinThemeCount>& SkinThemes()
{
    static const std::array<ThemeBlob, SkinThemeCount> themes =
        skin::splitPack(embedded::skin_themes_pack());
    return themes;
}

void ensureSkinLibrary()
{
    skin::programSkin().ensureLibrary();
}

void applyTheme(int n)
{
    if (n < 1 || n > SkinThemeCount) {
        return;
    }
    skin::programSkin().attachTheme(SkinThemes()[static_cast<std::size_t>(n - 1)]);
}

void applyRandomTheme()
{
    applyTheme(skin::programThemeSequence().nextTheme());
}

void enableSkinAero()
{
    skin::programSkin().setAero(1);
}

} // namespace marrowtune
