// SPDX-License-Identifier: MIT
#include "app/win/win_desktop.h"

#include "app/win/win_text.h"

#include <cstring>
#include <shellapi.h>
#include <string>

namespace marrowtune {

namespace {

// A movable global memory block holding a copy of some bytes, freed unless the clipboard took
// it.
class GlobalBlock {
public:
    GlobalBlock(const void* bytes, std::size_t size) : m_memory(GlobalAlloc(GMEM_MOVEABLE, size))
    {
        if (void* copy = m_memory != nullptr ? GlobalLock(m_memory) : nullptr) {
            std::memcpy(copy, bytes, size);
            GlobalUnlock(m_memory);
        } else if (m_memory != nullptr) {
            GlobalFree(m_memory);
            m_memory = nullptr;
        }
    }
    ~GlobalBlock()
    {
        if (m_memory != nullptr) {
            GlobalFree(m_memory);
        }
    }
    GlobalBlock(const GlobalBlock&) = delete;
    GlobalBlock& operator=(const GlobalBlock&) = delete;

    bool valid() const { return m_memory != nullptr; }
    // Puts the block on the open clipboard in `format`; the clipboard owns it from then on.
    void handTo(UINT format)
    {
        if (SetClipboardData(format, m_memory) != nullptr) {
            m_memory = nullptr;
        }
    }

private:
    HGLOBAL m_memory;
};

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
        // The program's text is GBK. Unicode text goes first, so every program reads the right
        // characters whatever the system's code page for non-Unicode programs; the GBK bytes
        // follow as CF_TEXT for programs that ask for that.
        const std::wstring wide = win::wideFromGbk(text);
        GlobalBlock unicode(wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
        GlobalBlock ansi(text.c_str(), text.size() + 1);
        if (!unicode.valid() || !ansi.valid() || !OpenClipboard(m_clipboardOwner)) {
            return;
        }
        EmptyClipboard();
        unicode.handTo(CF_UNICODETEXT);
        ansi.handTo(CF_TEXT);
        CloseClipboard();
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
