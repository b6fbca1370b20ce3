// SPDX-License-Identifier: MIT
#include "tests/app/recording_skin.h"

#include "app/main_window.h"

#include <QApplication>

#include <algorithm>

namespace marrowtune::test {

namespace {

std::vector<std::string> g_calls;

void record(std::string call)
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    const bool shown = std::any_of(windows.begin(), windows.end(), [](const QWidget* window) {
        return qobject_cast<const MainWindow*>(window) != nullptr && window->isVisible();
    });
    g_calls.push_back(std::move(call) + (shown ? "/shown" : "/hidden"));
}

int attachRes(const unsigned char* bytes, int size, const char*, int, int, int)
{
    const auto& themes = SkinThemes();
    const auto same = [&](ThemeBlob theme) {
        return std::equal(theme.begin(), theme.end(), bytes, bytes + size);
    };
    const auto found = std::find_if(themes.begin(), themes.end(), same);
    record(found == themes.end() ? "theme ?"
                                 : "theme " + std::to_string(found - themes.begin() + 1));
    return 1;
}

int setAero(int on)
{
    record("aero " + std::to_string(on));
    return 1;
}

skin::LibraryLoader recordingLoader()
{
    return {
        [](const std::string&, std::span<const unsigned char>) -> void* { return &g_calls; },
        [](std::span<const unsigned char>, int) { return std::string(); },
        [](void*, const char* name) -> void* {
            return std::string_view(name) == "SkinH_AttachRes" ? reinterpret_cast<void*>(&attachRes)
                   : std::string_view(name) == "SkinH_SetAero" ? reinterpret_cast<void*>(&setAero)
                                                               : nullptr;
        },
        [](const Text&) { record("fatal"); },
    };
}

} // namespace

RecordingSkin::RecordingSkin()
    : m_savedSkin(skin::programSkin()), m_savedSequence(skin::programThemeSequence())
{
    g_calls.clear();
    skin::programSkin() =
        skin::SkinController(m_directory.path().toStdString(), {}, recordingLoader());
    skin::programThemeSequence() = skin::ThemeSequence{};
}

RecordingSkin::~RecordingSkin()
{
    skin::programSkin() = m_savedSkin;
    skin::programThemeSequence() = m_savedSequence;
}

const std::vector<std::string>& RecordingSkin::calls() const
{
    return g_calls;
}

} // namespace marrowtune::test
