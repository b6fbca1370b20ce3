// SPDX-License-Identifier: MIT
#pragma once
// marrowtune-cli: the window's searches without a window. Its actions run the same search code
// through a PlainSearchView and print the songs; what the window shows as a message row goes
// to stderr and into the exit status, so a script can tell a failure from a song.

#include "search/plain_search_view.h"
#include "search/service_hosts.h"

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace marrowtune {
class ScriptControlComponent;
} // namespace marrowtune

namespace marrowtune::cli {

/// Exit status: at least one song listed.
inline constexpr int ExitListed = 0;
/// Exit status: nothing found (no results, or no background music).
inline constexpr int ExitNothingFound = 1;
/// Exit status: a usage error.
inline constexpr int ExitUsage = 2;
/// Exit status: the network or the service failed.
inline constexpr int ExitNetwork = 3;
/// Exit status: the service refused the QQ number.
inline constexpr int ExitWrongQq = 4;
/// Exit status: the output could not be written.
inline constexpr int ExitOutputFailed = 5;
/// Exit status: songs were listed and checked (--check), and none of their links plays.
inline constexpr int ExitNothingPlays = 6;

/// What the last action gave, as the JSON "status" names it.
enum class Outcome { Listed, NoResults, NoMusic, Network, WrongQq };

/// Checks that `utf8` is valid UTF-8 whose every character GBK can hold; returns an empty
/// text when it is, otherwise one line naming the first offending byte or character.
std::string gbkProblem(std::string_view utf8);

/// Runs command lines. What a run needs after its output is written (the rewrite script's host,
/// its thread and heap) is kept until the next run or the object's end, so a program that ends
/// the process right after the output does not wait for it to be taken down.
class CommandLine {
public:
    CommandLine();
    ~CommandLine();
    CommandLine(const CommandLine&) = delete;
    CommandLine& operator=(const CommandLine&) = delete;

    /// Runs the command line `arguments` (without the program name; UTF-8) against `hosts`.
    /// Writes the data to `out`, messages (each prefixed "marrowtune-cli: ") to `err`, and
    /// returns the exit status.
    int run(const std::vector<std::string>& arguments, const ServiceHosts& hosts, std::ostream& out,
            std::ostream& err);
    /// Whether `err` is a terminal: only then do runs show their progress there, and a listed
    /// page that is not the last one says how to get the next.
    void setStderrIsTerminal(bool terminal);

private:
    std::unique_ptr<ScriptControlComponent> m_rewriteScript;
    bool m_stderrIsTerminal = false;
};

/// Runs the command line `arguments` as CommandLine::run does, with a CommandLine of its own.
int runCli(const std::vector<std::string>& arguments, const ServiceHosts& hosts, std::ostream& out,
           std::ostream& err);

} // namespace marrowtune::cli
