// SPDX-License-Identifier: MIT
#include "app/fatal_error.h"
#include "platform/codepage/codepage.h"

#include <cstdio>
#include <cstdlib>
#include <utility>
#include <windows.h>

namespace marrowtune {

namespace {

std::function<void(const std::wstring&)>& fatalErrorHandler()
{
    static std::function<void(const std::wstring&)> handler;
    return handler;
}

std::wstring wide(const std::u16string& text)
{
    return {text.begin(), text.end()};
}

} // namespace

std::wstring fatalErrorText(const Text& message)
{
    return L"运行时出错!\n\n错误信息：" + wide(codepage::toWide(message, CodePage::Gbk)) + L"\n";
}

void setFatalErrorHandler(std::function<void(const std::wstring&)> handler)
{
    fatalErrorHandler() = std::move(handler);
}

void fatalError(const Text& message)
{
    // The failure may come in the middle of a handler, under its busy cursor: the box is
    // shown with the ordinary pointer.
    SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32512))); // IDC_ARROW
    const std::wstring text = fatalErrorText(message);
    // Also on stderr, in the console's code page: a box nobody sees must not be all there is.
    std::string line = "marrowtune: ";
    std::wstring flat;
    for (wchar_t c : text) {
        if (c != L'\n' || (!flat.empty() && flat.back() != L' ')) {
            flat += c == L'\n' ? L' ' : c;
        }
    }
    while (!flat.empty() && flat.back() == L' ') {
        flat.pop_back();
    }
    line += codepage::fromWide(std::u16string(flat.begin(), flat.end()), CodePage::Ansi) + "\n";
    std::fputs(line.c_str(), stderr);
    if (fatalErrorHandler()) {
        fatalErrorHandler()(text);
    } else {
        MessageBoxW(nullptr, text.c_str(), L"Marrowtune", MB_OK | MB_ICONERROR);
    }
    // _Exit, not exit: the end-of-run handlers (shutdownCleanup among them) must not run.
    std::_Exit(-1);
}

} // namespace marrowtune
