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

int runProgram()
{
    registerSearchClasses();
    std::wstring path(MAX_PATH, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), MAX_PATH);
    path.resize(length);
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
