// SPDX-License-Identifier: MIT
#include "app/win/win_program.h"
#include "app/window_start.h"
#include "base/command_line.h"

#include <cstdio>
#include <string>
#include <windows.h>

namespace {

bool usable(DWORD which)
{
    HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

// Where the answers to the command line go. A window program started from a console has no
// output of its own: it writes to the console it was started from. Started from the desktop
// (no console, nothing redirected), its text goes to a file and is shown in a message box.
class CommandLineOutput {
public:
    CommandLineOutput()
    {
        if (usable(STD_OUTPUT_HANDLE) || usable(STD_ERROR_HANDLE)) {
            return; // redirected: the text goes where it was sent
        }
        if (AttachConsole(ATTACH_PARENT_PROCESS)) {
            m_attached = true;
            std::freopen("CONOUT$", "w", stdout);
            std::freopen("CONOUT$", "w", stderr);
            return;
        }
        wchar_t folder[MAX_PATH + 1] = {};
        wchar_t file[MAX_PATH + 1] = {};
        if (GetTempPathW(MAX_PATH + 1, folder) != 0 &&
            GetTempFileNameW(folder, L"mtn", 0, file) != 0) {
            m_file = file;
            _wfreopen(file, L"w", stdout);
            _wfreopen(file, L"a", stderr);
        }
    }
    ~CommandLineOutput()
    {
        if (m_file.empty()) {
            return;
        }
        std::fclose(stdout);
        std::fclose(stderr);
        std::string text;
        if (std::FILE* in = _wfopen(m_file.c_str(), L"rb")) {
            char buffer[4096];
            for (std::size_t n; (n = std::fread(buffer, 1, sizeof(buffer), in)) > 0;) {
                text.append(buffer, n);
            }
            std::fclose(in);
        }
        DeleteFileW(m_file.c_str());
        if (!text.empty()) {
            std::wstring wide(
                static_cast<std::size_t>(MultiByteToWideChar(
                    CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0)),
                L'\0');
            MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                                static_cast<int>(wide.size()));
            MessageBoxW(nullptr, wide.c_str(), L"Marrowtune", MB_OK | MB_ICONINFORMATION);
        }
    }
    /// The window starts: it keeps no console (closing the console would end it) and shows
    /// nothing.
    void windowStarts()
    {
        std::fflush(stdout);
        std::fflush(stderr);
        if (m_attached) {
            FreeConsole();
        }
    }

    CommandLineOutput(const CommandLineOutput&) = delete;
    CommandLineOutput& operator=(const CommandLineOutput&) = delete;

private:
    std::wstring m_file;
    bool m_attached = false;
};

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    // Libraries loaded by name come from the system folder only, never from the current
    // folder or PATH; the skin library is loaded by its full path.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // --help and --version are answered before any window is made, as is a bad host variable.
    std::optional<int> status;
    {
        CommandLineOutput output;
        status = marrowtune::handleCommandLine(marrowtune::commandLineArguments());
        if (!status) {
            output.windowStarts();
        }
    }
    if (status) {
        return *status;
    }
    return marrowtune::win::runProgram();
}
