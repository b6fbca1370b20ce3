// SPDX-License-Identifier: MIT
#include "search/stamps.h"

#include "automation/script_object.h"
#include "search/stamps_testing.h"

#include <optional>
#include <random>
#include <utility>

namespace marrowtune {

namespace {

constexpr std::size_t RandomStampLength = 17;

// The stamps' own script object, kept for the thread's life once it has a host: starting a host
// (its thread, heap and prelude) costs far more than the evaluation, and the two expressions
// keep no state between calls. It is never the window's script component. An object made
// before the host class was available is made again.
ScriptObject& stampScript()
{
    thread_local std::optional<ScriptObject> script;
    if (!script || script->language().empty()) {
        script.reset();
        script.emplace();
    }
    return *script;
}

std::function<Text()>& randomStampDraw()
{
    static std::function<Text()> draw;
    return draw;
}

} // namespace

void stamps::testing::setRandomStampDraw(std::function<Text()> draw)
{
    randomStampDraw() = std::move(draw);
}

void prepareStampScript()
{
    stampScript().prepare();
}

Text makeTimeStamp()
{
    return stampScript().eval("new Date().getTime()");
}

Text makeRandomStamp(const std::function<void()>& processPendingEvents)
{
    if (randomStampDraw()) {
        return makeRandomStampFrom(randomStampDraw(), processPendingEvents);
    }
    ScriptObject& script = stampScript();
    return makeRandomStampFrom([&] { return script.eval("Math.random()"); }, processPendingEvents);
}

Text makeRandomStampFrom(const std::function<Text()>& drawFraction,
                         const std::function<void()>& processPendingEvents)
{
    Text stamp;
    // A host that can never evaluate would keep the caller here for ever; the bound hands the
    // job to our own random source instead.
    for (int draws = 0; stamp.size() != RandomStampLength; ++draws) {
        if (draws == RandomStampDraws) {
            return ownRandomStamp();
        }
        stamp = drawFraction ? drawFraction() : Text();
        // The host may print a fraction without its leading zero (".5").
        if (stamp.empty() || stamp.front() != '0') {
            stamp.insert(0, 1, '0');
        }
        if (processPendingEvents) {
            processPendingEvents();
        }
    }
    return stamp;
}

Text ownRandomStamp()
{
    thread_local std::mt19937_64 generator = [] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device()};
        return std::mt19937_64(seed);
    }();
    std::uniform_int_distribution<int> digit(0, 9);
    std::uniform_int_distribution<int> nonZero(1, 9);
    Text stamp = "0.";
    stamp += static_cast<char>('0' + nonZero(generator));
    for (int i = 0; i < 13; ++i) {
        stamp += static_cast<char>('0' + digit(generator));
    }
    stamp += static_cast<char>('0' + nonZero(generator));
    return stamp;
}

} // namespace marrowtune
