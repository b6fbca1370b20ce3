// SPDX-License-Identifier: MIT
#pragma once
// The stamps the service requests carry in their "t" query key, each evaluated by a script
// object of its own.

#include "base/text.h"

#include <functional>

namespace marrowtune {

/// Draws makeRandomStamp makes before it stops asking the script host.
inline constexpr int RandomStampDraws = 1000;

/// Makes this thread's stamp script object and starts its host in the background: the first
/// stamp then does not pay for a whole host start. Optional; the stamps work without it.
void prepareStampScript();
/// Milliseconds since 1970-01-01 UTC as the script host prints them (thirteen digits today);
/// empty text when no script host can evaluate.
Text makeTimeStamp();

/// A random fraction of exactly 17 characters, "0." and fifteen digits, from the script host's
/// Math.random. Draws until a text of that length comes, letting the caller's pending events
/// run after each draw; after RandomStampDraws draws without one (no script host, say) the
/// stamp comes from the program's own random source instead.
Text makeRandomStamp(const std::function<void()>& processPendingEvents);

/// The loop of makeRandomStamp over a given source of fraction texts.
Text makeRandomStampFrom(const std::function<Text()>& drawFraction,
                         const std::function<void()>& processPendingEvents);

/// "0." and fifteen digits from the program's own random source, shaped like a host's text:
/// neither the first nor the last digit is 0.
Text ownRandomStamp();

} // namespace marrowtune
