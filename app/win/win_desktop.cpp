// SPDX-License-Identifier: MIT
#include "app/win/win_desktop.h"

#include "app/win/win_text.h"

#include <cstring>
#include <shellapi.h>

namespace marrowtune {

namespace {

class SystemWin32Desktop final : public Win32Desktop {
public:
    explicit SystemWin32Desktop(HWND clipboardOwner) : m_clipboardOwner(clipboardOwner) {}

    ScreenPoint cursorPosition() const override
    {
        POINT at{};
        GetCursorPos(&at);
        return {at.x, at.y};
    }

    void setClipboardText(const Text& text) override
    {
        // The program's text is GBK: it goes on the clipboard as CF_TEXT bytes, and the system
        // offers it as Unicode text through the ANSI code page.
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
        if (memory == nullptr) {
            return;
        }
        if (void* bytes = GlobalLock(memory)) {
            std::memcpy(bytes, text.c_str(), text.size() + 1);
            GlobalUnlock(memory);
        }
        if (OpenClipboard(m_clipboardOwner)) {
            EmptyClipboard();
            if (SetClipboardData(CF_TEXT, memory) != nullptr) {
                memory = nullptr; // the clipboard owns it now
            }
            CloseClipboard();
        }
        if (memory != nullptr) {
            GlobalFree(memory);
        }
    }

    void openUrl(const Text& url) override
    {
        // The URL goes to the shell's "open" verb as the file to open, never through a
        // command interpreter.
        ShellExecuteW(nullptr, L"open", win::wideFromGbk(url).c_str(), nullptr, nullptr,
                      SW_SHOWNORMAL);
    }

    void popUpMenu(HMENU menu, HWND owner, ScreenPoint at) override
    {
        // The owner must be in the foreground, or the menu does not close when the user clicks
        // elsewhere; the empty message afterwards lets it close at once.
        SetForegroundWindow(owner);
        TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, owner,
                       nullptr);
        PostMessageW(owner, WM_NULL, 0, 0);
    }

private:
    HWND m_clipboardOwner;
};

} // namespace

std::unique_ptr<Win32Desktop> makeSystemWin32Desktop(HWND clipboardOwner)
{
    return std::make_unique<SystemWin32Desktop>(clipboardOwner);
}

} // namespace marrowtune
