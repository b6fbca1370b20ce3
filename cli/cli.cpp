// SPDX-License-Identifier: MIT
#include "cli/cli.h"

#include "marrowtune/config.h"
#include "net/http.h"
#include "net/text.h"
#include "search/keyword_search.h"
#include "search/messages.h"
#include "search/rewrite.h"
#include "search/script_control_component.h"
#include "search/search_context.h"
#include "search/service_hosts.h"
#include "search/stamps.h"
#include "search/zone_lookup.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <ostream>

namespace marrowtune::cli {

namespace {

constexpr std::string_view Prefix = "marrowtune-cli: ";

const char* const FooterText =
    "Options may stand anywhere on the line; put -- before a KEYWORD that starts with '-'.\n"
    "\n"
    "Output (stdout carries only data; messages go to stderr):\n"
    "  tsv   one song a line: song, singer, album, link, tab-separated, UTF-8. In a cell a\n"
    "        backslash, tab, CR and LF are written \\\\, \\t, \\r, \\n and every other\n"
    "        control character (0x00-0x1F, 0x7F) as \\xHH, so no cell reaches a terminal raw.\n"
    "  json  one object: {\"songs\": [{\"song\", \"singer\", \"album\", \"link\"}...],\n"
    "        \"message\": text or null, \"status\": \"listed|no-results|no-music|network|\n"
    "        wrong-qq\", \"page\": n, \"pages\": m, \"pageLabel\": \"n/m\",\n"
    "        \"previousEnabled\": bool, \"nextEnabled\": bool}\n"
    "  m3u   an extended M3U playlist (#EXTM3U, #EXTINF:-1,singer - song, link)\n"
    "\n"
    "Exit status: 0 songs listed, 1 nothing found (no results or no background music),\n"
    "2 usage error, 3 network or service failure, 4 QQ number refused by the service,\n"
    "5 the output could not be written.\n"
    "\n"
    "Environment: MARROWTUNE_ZONE_PLAYLIST_HOST, MARROWTUNE_SONG_SEARCH_HOST,\n"
    "MARROWTUNE_STREAM_REDIRECT_HOST, MARROWTUNE_MUSIC_CDN_HOST_SUFFIX, MARROWTUNE_MIRROR_HOST,\n"
    "MARROWTUNE_LISTEN_PAGE_HOST and MARROWTUNE_AUTHOR_PAGE_URL replace the built-in hosts.\n"
    "Set to the empty text, MARROWTUNE_MIRROR_HOST, MARROWTUNE_LISTEN_PAGE_HOST and\n"
    "MARROWTUNE_AUTHOR_PAGE_URL mean none: links stay as the service gives them, 在线试听\n"
    "opens the link itself, nothing opens when the window closes.";

struct Command {
    std::string format = "tsv";
    bool json = false;
    bool header = false;
    int page = 0; // 0: no --page
    bool zone = false;
    std::string argument; // QQ number or keyword, UTF-8
    std::vector<std::string> steps;
};

struct Song {
    std::string song;
    std::string singer;
    std::string album;
    std::string link;
};

// What a run found, in UTF-8, ready for any of the formats.
struct Result {
    Outcome outcome = Outcome::Listed;
    std::vector<Song> songs;
    std::optional<std::string> messageRow;
    std::string pageLabel;
    bool previousEnabled = false;
    bool nextEnabled = false;
    std::string stderrText; // what to tell on stderr when no message row says it
};

std::string oneLine(std::string text)
{
    std::replace(text.begin(), text.end(), '\n', ' ');
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

Text utf8ToGbk(std::string_view utf8)
{
    return wideToMultiByte(multiByteToWide(utf8, CodePage::Utf8), CodePage::Gbk);
}

std::string hex(unsigned value, int digits)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*X", digits, value);
    return buffer;
}

// The message rows the searches write: a known text in the first cell, the others empty.
std::optional<Outcome> messageOutcome(const ResultRow& row)
{
    if (!row[1].empty() || !row[2].empty() || !row[3].empty()) {
        return std::nullopt;
    }
    const std::pair<std::string_view, Outcome> messages[] = {
        {NetworkProblemMessage, Outcome::Network},
        {NoResultMessage, Outcome::NoResults},
        {NoBackgroundMusicMessage, Outcome::NoMusic},
        {WrongQqNumberMessage, Outcome::WrongQq},
    };
    for (const auto& [text, outcome] : messages) {
        if (row[0] == text) {
            return outcome;
        }
    }
    return std::nullopt;
}

Outcome outcomeOfStatus(SearchStatus status)
{
    switch (status) {
    case SearchStatus::EmptyAnswer:
        return Outcome::Network;
    case SearchStatus::NoSongs:
        return Outcome::NoResults;
    case SearchStatus::Listed:
        break;
    }
    return Outcome::Listed;
}

Result collect(const PlainSearchView& view, std::optional<Outcome> pageOutcome)
{
    Result result;
    const std::vector<ResultRow>& rows = view.rows();
    const std::optional<Outcome> message =
        rows.size() == 1 ? messageOutcome(rows[0]) : std::nullopt;
    if (message) {
        result.outcome = *message;
        result.messageRow = gbkToUtf8(rows[0][0]);
    } else {
        // A page request that fails writes no message row: its status tells.
        result.outcome = pageOutcome.value_or(rows.empty() ? Outcome::NoResults : Outcome::Listed);
        for (const ResultRow& row : rows) {
            result.songs.push_back(
                {gbkToUtf8(row[0]), gbkToUtf8(row[1]), gbkToUtf8(row[2]), gbkToUtf8(row[3])});
        }
    }
    result.pageLabel = gbkToUtf8(view.pageLabel());
    result.previousEnabled = view.previousPageEnabled();
    result.nextEnabled = view.nextPageEnabled();
    return result;
}

const char* statusName(Outcome outcome)
{
    // In the order of the enumeration; WrongQq is its last value.
    static constexpr std::array<const char*, 5> Names = {"listed", "no-results", "no-music",
                                                         "network", "wrong-qq"};
    static_assert(Names.size() == static_cast<std::size_t>(Outcome::WrongQq) + 1);
    const auto index = static_cast<std::size_t>(outcome);
    return index < Names.size() ? Names[index] : "";
}

int exitStatus(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Listed:
        return ExitListed;
    case Outcome::NoResults:
    case Outcome::NoMusic:
        return ExitNothingFound;
    case Outcome::Network:
        return ExitNetwork;
    case Outcome::WrongQq:
        return ExitWrongQq;
    }
    return ExitNetwork;
}

// The text the window would show for an outcome, for stderr when no message row carried it.
std::string outcomeMessage(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Listed:
        return {};
    case Outcome::NoResults:
        return gbkToUtf8(NoResultMessage);
    case Outcome::NoMusic:
        return gbkToUtf8(NoBackgroundMusicMessage);
    case Outcome::Network:
        return gbkToUtf8(NetworkProblemMessage);
    case Outcome::WrongQq:
        return gbkToUtf8(WrongQqNumberMessage);
    }
    return {};
}

int labelNumber(const std::string& label, bool second)
{
    const auto slash = label.find('/');
    const std::string part = slash == std::string::npos
                                 ? label
                                 : (second ? label.substr(slash + 1) : label.substr(0, slash));
    return static_cast<int>(std::strtol(part.c_str(), nullptr, 10));
}

std::string asTsv(const Result& result, bool header)
{
    std::string out = header ? "song\tsinger\talbum\tlink\n" : "";
    for (const Song& song : result.songs) {
        out += escapeCell(song.song) + '\t' + escapeCell(song.singer) + '\t' +
               escapeCell(song.album) + '\t' + escapeCell(song.link) + '\n';
    }
    return out;
}

std::string asJson(const Result& result)
{
    nlohmann::ordered_json songs = nlohmann::ordered_json::array();
    for (const Song& song : result.songs) {
        songs.push_back({{"song", song.song},
                         {"singer", song.singer},
                         {"album", song.album},
                         {"link", song.link}});
    }
    const nlohmann::ordered_json object = {
        {"songs", songs},
        {"message", result.messageRow ? nlohmann::ordered_json(*result.messageRow) : nullptr},
        {"status", statusName(result.outcome)},
        {"page", labelNumber(result.pageLabel, false)},
        {"pages", labelNumber(result.pageLabel, true)},
        {"pageLabel", result.pageLabel},
        {"previousEnabled", result.previousEnabled},
        {"nextEnabled", result.nextEnabled},
    };
    // Cells come from GBK, so they are valid UTF-8; replace guards the writer all the same.
    return object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + '\n';
}

// A playlist entry is one line: line breaks and other control characters become spaces.
std::string playlistText(std::string text)
{
    std::replace_if(
        text.begin(), text.end(),
        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == '\x7F'; }, ' ');
    return text;
}

std::string asM3u(const Result& result)
{
    std::string out = "#EXTM3U\n";
    for (const Song& song : result.songs) {
        const std::string title = song.singer.empty() ? song.song : song.singer + " - " + song.song;
        out += "#EXTINF:-1," + playlistText(title) + '\n' + playlistText(song.link) + '\n';
    }
    return out;
}

int usageError(std::ostream& err, const std::string& what)
{
    err << Prefix << oneLine(what) << "\nTry 'marrowtune-cli --help'.\n";
    return ExitUsage;
}

// A full disk or a closed pipe must not pass for a listed result.
int finishOutput(std::ostream& out, std::ostream& err, int status)
{
    if (!out.flush()) {
        err << Prefix << "the output could not be written\n";
        return ExitOutputFailed;
    }
    return status;
}

// `script` receives the rewrite script's host, which outlives the run.
Result runCommand(const Command& command, const ServiceHosts& hosts,
                  std::unique_ptr<ScriptControlComponent>& script)
{
    SearchContext context{hosts, {}};
    // Both hosts start on threads of their own: the stamps' host is needed before the first
    // request, the rewrite script's only when the answer is in, so its start and its code run
    // while the request is on the wire. The network library sets itself up meanwhile, while
    // the stamps' host has the other core to itself.
    prepareStampScript();
    prepareRequests();
    script = std::make_unique<ScriptControlComponent>();
    loadRewriteScriptOnFirstUse(*script, hosts);
    script->prepare();
    PlainSearchView view(*script);
    std::optional<Outcome> pageOutcome;
    if (command.zone) {
        view.setQqNumberText(utf8ToGbk(command.argument));
        lookupZoneMusic(view, context);
        return collect(view, std::nullopt);
    }
    const PagingState& paging = context.paging;
    view.setKeywordText(utf8ToGbk(command.argument));
    startKeywordSearch(view, context);
    if (command.page > 1 && paging.currentPage == 1 && command.page <= paging.pageCount) {
        // Straight to the page: the next-page step from the page before it.
        context.paging.currentPage = command.page - 1;
        pageOutcome = outcomeOfStatus(showNextPage(view, context));
    }
    // A press on a disabled page button does nothing, as in the window.
    for (const std::string& step : command.steps) {
        if (step == "next" && view.nextPageEnabled()) {
            pageOutcome = outcomeOfStatus(showNextPage(view, context));
        } else if (step == "prev" && view.previousPageEnabled()) {
            pageOutcome = outcomeOfStatus(showPreviousPage(view, context));
        }
    }
    Result result = collect(view, pageOutcome);
    if (command.page > 1 && paging.pageCount >= 1 && command.page > paging.pageCount &&
        result.outcome == Outcome::Listed) {
        result.outcome = Outcome::NoResults;
        result.songs.clear();
        result.stderrText = "there is no page " + std::to_string(command.page) +
                            " (the search has " + std::to_string(paging.pageCount) + ")";
    }
    return result;
}

} // namespace

std::string escapeCell(std::string_view utf8)
{
    std::string escaped;
    escaped.reserve(utf8.size());
    for (char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '\\':
            escaped += "\\\\";
            break;
        case '\t':
            escaped += "\\t";
            break;
        case '\r':
            escaped += "\\r";
            break;
        case '\n':
            escaped += "\\n";
            break;
        default:
            // C1 controls cannot occur: no GBK character converts to U+0080..U+009F.
            if (byte < 0x20 || byte == 0x7F) {
                escaped += "\\x" + hex(byte, 2);
            } else {
                escaped += c;
            }
        }
    }
    return escaped;
}

std::string gbkProblem(std::string_view utf8)
{
    for (std::size_t at = 0; at < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[at]);
        const std::size_t length = lead < 0x80             ? 1
                                   : (lead & 0xE0) == 0xC0 ? 2
                                   : (lead & 0xF0) == 0xE0 ? 3
                                   : (lead & 0xF8) == 0xF0 ? 4
                                                           : 0;
        // Made only when needed: building it for every character would cost an allocation each.
        auto invalid = [&] {
            return "byte 0x" + hex(lead, 2) + " at offset " + std::to_string(at) +
                   " is not valid UTF-8";
        };
        if (length == 0 || at + length > utf8.size()) {
            return invalid();
        }
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(utf8[at + k]);
            if ((next & 0xC0) != 0x80) {
                return invalid();
            }
            code = (code << 6) | (next & 0x3F);
        }
        constexpr char32_t Shortest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < Shortest[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
            return invalid();
        }
        const std::string_view character = utf8.substr(at, length);
        // GBK holds the character when it survives the way there and back.
        if (length > 1 && gbkToUtf8(utf8ToGbk(character)) != character) {
            return "U+" + hex(static_cast<unsigned>(code), 4) + " \"" + std::string(character) +
                   "\" cannot be written in GBK";
        }
        at += length;
    }
    return {};
}

CommandLine::CommandLine() = default;
CommandLine::~CommandLine() = default;

int runCli(const std::vector<std::string>& arguments, const ServiceHosts& hosts, std::ostream& out,
           std::ostream& err)
{
    return CommandLine().run(arguments, hosts, out, err);
}

int CommandLine::run(const std::vector<std::string>& arguments, const ServiceHosts& hosts,
                     std::ostream& out, std::ostream& err)
{
    Command command;
    CLI::App app{"Runs the Marrowtune searches without a window: songs matching a keyword, or "
                 "the background music of a QQ Zone.",
                 "marrowtune-cli"};
    app.set_version_flag("--version", "marrowtune-cli " + std::string(config::Version));
    app.require_subcommand(1);
    app.footer(FooterText);
    app.add_option("--format", command.format, "output format: tsv (the default), json or m3u")
        ->check(CLI::IsMember({"tsv", "json", "m3u"}));
    app.add_flag("--json", command.json, "short for --format json");
    app.add_flag("--header", command.header, "tsv: a first line naming the columns");
    app.add_option("--page", command.page, "search: go straight to page N of the results")
        ->check(CLI::PositiveNumber);
    CLI::App* zone = app.add_subcommand("zone", "lists the Zone background music of QQ");
    zone->add_option("QQ", command.argument, "the QQ number (an empty QQ box when omitted)");
    zone->fallthrough();
    CLI::App* search = app.add_subcommand(
        "search", "searches songs for KEYWORD (song, singer or album), twenty to a page");
    search->add_option("KEYWORD", command.argument, "what to search for")->required();
    search
        ->add_option("STEP", command.steps,
                     "next or prev: presses the next/previous page button, in order")
        ->check(CLI::IsMember({"next", "prev"}));
    search->fallthrough();

    // CLI11 takes its arguments last first.
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return finishOutput(out, err, ExitListed);
    } catch (const CLI::CallForVersion& version) {
        out << version.what() << '\n';
        return finishOutput(out, err, ExitListed);
    } catch (const CLI::ParseError& error) {
        if (!zone->parsed() && !search->parsed()) {
            // CLI11 only says that a subcommand is missing; name the word that stood there.
            for (std::size_t at = 0; at < arguments.size(); ++at) {
                const std::string& word = arguments[at];
                if (word == "--format" || word == "--page") {
                    ++at;
                } else if (!word.starts_with("-")) {
                    return usageError(err, "unknown command '" + word + "' (zone or search)");
                }
            }
        }
        return usageError(err, error.what());
    }
    command.zone = zone->parsed();
    if (command.json) {
        command.format = "json";
    }
    if (command.zone && command.page != 0) {
        return usageError(err, "--page applies to search only");
    }
    if (const std::string problem = gbkProblem(command.argument); !problem.empty()) {
        return usageError(err, (command.zone ? "QQ: " : "KEYWORD: ") + problem);
    }

    // The rewrite script's host outlives the run: stopping its thread and freeing its heap
    // (a few tenths of a millisecond) waits until the object ends, after the output is out.
    m_rewriteScript.reset();
    const Result result = runCommand(command, hosts, m_rewriteScript);
    if (result.outcome != Outcome::Listed) {
        const std::string text = !result.stderrText.empty() ? result.stderrText
                                 : result.messageRow        ? *result.messageRow
                                                            : outcomeMessage(result.outcome);
        err << Prefix << text << '\n';
    }
    out << (command.format == "json"  ? asJson(result)
            : command.format == "m3u" ? asM3u(result)
                                      : asTsv(result, command.header));
    return finishOutput(out, err, exitStatus(result.outcome));
}

} // namespace marrowtune::cli
