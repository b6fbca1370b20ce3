// SPDX-License-Identifier: MIT
#pragma once
// The rules every window keeps for its event handlers: a handler may start another (through a
// message handled while a request waits), and the user may cancel the work (Esc) or close the
// window while one runs.

#include "search/search_session.h"

#include <utility>

namespace marrowtune {

/// Counts the window's running event handlers and keeps a cancel or a close that came while
/// one ran.
class HandlerRuns {
public:
    /// True while a handler runs.
    bool running() const { return m_running > 0; }
    /// True from a close that came while a handler ran until that close is carried out.
    bool closeRequested() const { return m_closeRequested; }
    /// True from a cancel that came while a handler ran until the last handler has ended.
    bool cancelRequested() const { return m_cancelRequested; }

    /// Runs `handler`: `first` before it when no other handler runs, `last` after it when it
    /// was the last one running, also when it ends by an exception.
    template <typename First, typename Handler, typename Last>
    void run(First first, Handler handler, Last last)
    {
        if (m_running++ == 0) {
            first();
        }
        struct End {
            HandlerRuns& runs;
            Last& last;
            ~End()
            {
                if (--runs.m_running == 0) {
                    runs.m_cancelRequested = false;
                    last();
                }
            }
        } const end{*this, last};
        handler();
    }

    /// The user closes the window. While a handler runs the close waits until it has unwound
    /// and the request waited on ends as a failed one (true); otherwise the window goes now.
    bool deferClose()
    {
        if (!running()) {
            return false;
        }
        m_closeRequested = true;
        cancelSearchRequests();
        return true;
    }

    /// The user cancels the work under way (Esc). The request waited on ends as a failed one,
    /// and so does every request the work makes until its last handler has ended: an Esc that
    /// comes before the request has opened (while the stamp is drawn, say) is not lost.
    void cancel()
    {
        if (!running()) {
            return;
        }
        m_cancelRequested = true;
        cancelSearchRequests();
    }

    /// Called by the window's wait hook each time a request waits: once the work has been
    /// cancelled or the window closed, the request ends at once.
    void requestWaits()
    {
        if (m_cancelRequested || m_closeRequested) {
            cancelSearchRequests();
        }
    }

    /// True only the first time the window ends: closing is final and its about-to-be-destroyed
    /// event comes once.
    bool ending() { return !std::exchange(m_closed, true); }

    /// True when a close deferred while handlers ran is to be carried out now that the last
    /// one has unwound.
    bool deferredCloseDue()
    {
        return m_running == 0 && std::exchange(m_closeRequested, false) && ending();
    }

private:
    int m_running = 0;
    bool m_closeRequested = false;
    bool m_cancelRequested = false;
    bool m_closed = false;
};

} // namespace marrowtune
