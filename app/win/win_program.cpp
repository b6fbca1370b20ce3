// SPDX-License-Identifier: MIT
#include "app/win/win_program.h"

#include "app/fatal_error.h"
#include "app/win/win_main_window.h"
#include "app/win/win_text.h"
#include "app/window_start.h"
#include "search/script_control_component.h"
#include "search/search_session.h"
#include "search/stamps.h"

#include <string>
#include <windows.h>

namespace marrowtune::win {

std::wstring programPath()
{
    // A path longer than the buffer comes back cut short, with the buffer's size as its length:
    // the buffer grows until the whole path fits.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        if (path.size() >= 32768) { // the longest path Windows has
            return {};
        }
        path.resize(path.size() * 2);
    }
}

int runProgram()
{
    registerSearchClasses();
    const std::wstring path = programPath();
    if (const std::size_t slash = path.find_last_of(L"\\/"); slash != std::wstring::npos) {
        SetCurrentDirectoryW(path.substr(0, slash).c_str());
    }
    registerShutdownCleanup();

    std::unique_ptr<Win32MainWindow> window = Win32MainWindow::create(
        win32MainWindowEvents(), std::make_unique<ScriptControlComponent>());
    if (!window) {
        fatalError(gbkFromWide(L"载入启动窗口失败"));
    }
    window->useSearchContext(programSearchContext());
    window->raiseCreated();
    window->show();
    // Once the window is up, the stamps' script host starts on a thread of its own, so that
    // the first search does not wait for it.
    prepareStampScript();
    return window->runMessageLoop();
}

} // namespace marrowtune::win
