// SPDX-License-Identifier: MIT
#include "cli/cli.h"

#include "base/ascii.h"
#include "base/escape.h"
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
#include <atomic>
#include <climits>
#include <cstdio>
#include <mutex>
#include <nlohmann/json.hpp>
#include <ostream>
#include <thread>

namespace marrowtune::cli {

namespace {

constexpr std::string_view Prefix = "marrowtune-cli: ";
// --all asks for at most this many pages.
constexpr int MaxPages = 50;
// --check probes this many links at a time.
constexpr std::size_t ParallelProbes = 4;

const char* const FooterText =
    "Options may stand anywhere on the line; put -- before a KEYWORD that starts with '-'.\n"
    "search also takes --page N and --all (marrowtune-cli search --help).\n"
    "\n"
    "Output (stdout carries only data; messages go to stderr):\n"
    "  tsv   one song a line: song, singer, album, link, tab-separated, UTF-8; with --check a\n"
    "        fifth column: playable, dead (STATUS), dead (network) or dead (no link). In a\n"
    "        cell a backslash, tab, CR and LF are written \\\\, \\t, \\r, \\n and every other\n"
    "        control character as \\xHH, so no cell reaches a terminal raw.\n"
    "  json  one object: {\"songs\": [{\"song\", \"singer\", \"album\", \"link\"}...],\n"
    "        \"message\": text or null, \"status\": \"listed|no-results|no-music|network|\n"
    "        wrong-qq\", \"page\": n, \"pages\": m, \"pageLabel\": \"n/m\",\n"
    "        \"previousEnabled\": bool, \"nextEnabled\": bool}; --all adds \"pagesFetched\": n,\n"
    "        --check gives each song \"playable\": bool and \"checkStatus\": HTTP status or null\n"
    "  m3u   an extended M3U playlist (#EXTM3U, #EXTINF:-1,singer - song, link); with --check\n"
    "        only the playable songs\n"
    "\n"
    "--all lists every page (at most 50), each asked once; a page that fails ends the list\n"
    "with its exit status, the songs before it written. --check asks each link for its first\n"
    "two bytes (4 at a time, 10 s each): playable is a 200 or 206 answer that is not HTML.\n"
    "While either runs, a terminal on stderr shows how far it got.\n"
    "\n"
    "Exit status: 0 songs listed, 1 nothing found (no results or no background music),\n"
    "2 usage error, 3 network or service failure, 4 QQ number refused by the service,\n"
    "5 the output could not be written, 6 songs listed but none plays (--check).\n"
    "\n"
    "Environment: MARROWTUNE_ZONE_PLAYLIST_HOST, MARROWTUNE_SONG_SEARCH_HOST,\n"
    "MARROWTUNE_STREAM_REDIRECT_HOST, MARROWTUNE_MUSIC_CDN_HOST_SUFFIX, MARROWTUNE_MIRROR_HOST,\n"
    "MARROWTUNE_LISTEN_PAGE_HOST and MARROWTUNE_AUTHOR_PAGE_URL replace the built-in hosts.\n"
    "Set to the empty text, MARROWTUNE_MIRROR_HOST, MARROWTUNE_LISTEN_PAGE_HOST and\n"
    "MARROWTUNE_AUTHOR_PAGE_URL mean none: links stay as the service gives them, 在线试听\n"
    "opens the link itself, nothing opens when the window closes.\n"
    "MARROWTUNE_PROXY sets the proxy as --proxy does (--proxy wins): ";

const char* const PageRule = "--page: a whole number from 1";

struct Command {
    std::string format = "tsv";
    bool json = false;
    bool header = false;
    std::string pageText; // empty: no --page
    int page = 0;         // 0: no --page
    bool all = false;
    bool check = false;
    std::optional<std::string> proxy;
    bool zone = false;
    std::string argument; // QQ number or keyword, UTF-8
    std::vector<std::string> steps;
};

struct Song {
    std::string song;
    std::string singer;
    std::string album;
    std::string link;
    // With --check:
    bool playable = false;
    std::optional<int> checkStatus;
    std::string verdict; // the TSV column
};

// What a run found, in UTF-8, ready for any of the formats.
struct Result {
    Outcome outcome = Outcome::Listed;
    std::vector<Song> songs;
    std::optional<std::string> messageRow;
    std::string pageLabel;
    bool previousEnabled = false;
    bool nextEnabled = false;
    std::string stderrText;          // what to tell on stderr when no message row says it
    std::optional<int> pagesFetched; // --all
    bool checked = false;            // --check
    int currentPage = 0;
    int pageCount = 0;
};

// One line on stderr that rewrites itself, when stderr is a terminal; nothing otherwise.
class Progress {
public:
    explicit Progress(std::ostream* terminal) : m_terminal(terminal) {}
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    ~Progress() { clear(); }

    void show(const std::string& text)
    {
        std::lock_guard lock(m_mutex);
        if (m_terminal == nullptr) {
            return;
        }
        const std::size_t width = std::max(text.size(), m_shown);
        *m_terminal << '\r' << text << std::string(width - text.size(), ' ') << std::flush;
        m_shown = text.size();
    }

    void clear()
    {
        std::lock_guard lock(m_mutex);
        if (m_terminal != nullptr && m_shown > 0) {
            *m_terminal << '\r' << std::string(m_shown, ' ') << '\r' << std::flush;
            m_shown = 0;
        }
    }

private:
    std::mutex m_mutex;
    std::ostream* m_terminal;
    std::size_t m_shown = 0;
};

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

std::vector<Song> songsOf(const PlainSearchView& view)
{
    std::vector<Song> songs;
    for (const ResultRow& row : view.rows()) {
        Song& song = songs.emplace_back();
        song.song = gbkToUtf8(row[0]);
        song.singer = gbkToUtf8(row[1]);
        song.album = gbkToUtf8(row[2]);
        song.link = gbkToUtf8(row[3]);
    }
    return songs;
}

Result collect(const PlainSearchView& view, const PagingState& paging,
               std::optional<Outcome> pageOutcome)
{
    Result result;
    const std::vector<ResultRow>& rows = view.rows();
    const std::optional<Outcome> message =
        rows.size() == 1 ? messageOutcome(rows[0]) : std::nullopt;
    if (message) {
        result.outcome = *message;
        result.messageRow = gbkToUtf8(rows[0][0]);
    } else {
        // A page answer without songs writes no message row: its status tells.
        result.outcome = pageOutcome.value_or(rows.empty() ? Outcome::NoResults : Outcome::Listed);
        result.songs = songsOf(view);
    }
    result.pageLabel = gbkToUtf8(view.pageLabel());
    result.previousEnabled = view.previousPageEnabled();
    result.nextEnabled = view.nextPageEnabled();
    result.currentPage = paging.currentPage;
    result.pageCount = paging.pageCount;
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
    std::string out;
    if (header) {
        out = result.checked ? "song\tsinger\talbum\tlink\tcheck\n" : "song\tsinger\talbum\tlink\n";
    }
    for (const Song& song : result.songs) {
        out += controlsEscaped(song.song) + '\t' + controlsEscaped(song.singer) + '\t' +
               controlsEscaped(song.album) + '\t' + controlsEscaped(song.link);
        if (result.checked) {
            out += '\t' + song.verdict;
        }
        out += '\n';
    }
    return out;
}

std::string asJson(const Result& result)
{
    nlohmann::ordered_json songs = nlohmann::ordered_json::array();
    for (const Song& song : result.songs) {
        nlohmann::ordered_json entry = {{"song", song.song},
                                        {"singer", song.singer},
                                        {"album", song.album},
                                        {"link", song.link}};
        if (result.checked) {
            entry["playable"] = song.playable;
            entry["checkStatus"] =
                song.checkStatus ? nlohmann::ordered_json(*song.checkStatus) : nullptr;
        }
        songs.push_back(std::move(entry));
    }
    nlohmann::ordered_json object = {
        {"songs", songs},
        {"message", result.messageRow ? nlohmann::ordered_json(*result.messageRow) : nullptr},
        {"status", statusName(result.outcome)},
        {"page", labelNumber(result.pageLabel, false)},
        {"pages", labelNumber(result.pageLabel, true)},
        {"pageLabel", result.pageLabel},
        {"previousEnabled", result.previousEnabled},
        {"nextEnabled", result.nextEnabled},
    };
    if (result.pagesFetched) {
        object["pagesFetched"] = *result.pagesFetched;
    }
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
        if (result.checked && !song.playable) {
            continue;
        }
        const std::string title = song.singer.empty() ? song.song : song.singer + " - " + song.song;
        out += "#EXTINF:-1," + playlistText(title) + '\n' + playlistText(song.link) + '\n';
    }
    return out;
}

// One message line on stderr; whatever it echoes cannot drive the terminal.
void say(std::ostream& err, std::string_view text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.remove_suffix(1);
    }
    err << Prefix << controlsEscaped(text) << '\n';
}

int usageError(std::ostream& err, const std::string& what)
{
    say(err, what);
    err << "Try 'marrowtune-cli --help'.\n";
    return ExitUsage;
}

// A full disk or a closed pipe must not pass for a listed result.
int finishOutput(std::ostream& out, std::ostream& err, int status)
{
    if (!out.flush()) {
        say(err, "the output could not be written");
        return ExitOutputFailed;
    }
    return status;
}

// The page of --page: digits only, from 1 up to what an int holds.
std::optional<int> pageNumber(const std::string& text)
{
    if (text.empty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    const int page = std::stoi(text);
    return page >= 1 ? std::optional<int>(page) : std::nullopt;
}

bool isHttpLink(std::string_view link)
{
    const auto startsWith = [link](std::string_view scheme) {
        return link.size() > scheme.size() &&
               equalsIgnoringAsciiCase(link.substr(0, scheme.size()), scheme);
    };
    return startsWith("http://") || startsWith("https://");
}

// Probes every song's link, ParallelProbes at a time, and marks it.
void checkLinks(std::vector<Song>& songs, const std::optional<Text>& proxy, Progress& progress)
{
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> done{0};
    const std::string total = std::to_string(songs.size());
    auto probeAll = [&] {
        for (std::size_t at = next++; at < songs.size(); at = next++) {
            Song& song = songs[at];
            if (isHttpLink(song.link)) {
                const ProbeAnswer answer = probeUrl(utf8ToGbk(song.link), proxy);
                std::string type = answer.contentType;
                std::transform(type.begin(), type.end(), type.begin(),
                               [](char c) { return asciiLower(c); });
                song.checkStatus = answer.status;
                song.playable = (answer.status == 200 || answer.status == 206) &&
                                type.find("html") == std::string::npos;
                song.verdict = song.playable   ? "playable"
                               : answer.status ? "dead (" + std::to_string(*answer.status) + ")"
                                               : "dead (network)";
            } else {
                song.verdict = "dead (no link)";
            }
            progress.show("checked " + std::to_string(++done) + " of " + total + " links");
        }
    };
    std::vector<std::thread> workers;
    const std::size_t count = std::min(ParallelProbes, songs.size());
    for (std::size_t k = 1; k < count; ++k) {
        workers.emplace_back(probeAll);
    }
    probeAll();
    for (std::thread& worker : workers) {
        worker.join();
    }
    progress.clear();
}

// `script` receives the rewrite script's host, which outlives the run.
Result runCommand(const Command& command, const ServiceHosts& hosts,
                  std::unique_ptr<ScriptControlComponent>& script, Progress& progress)
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
    const PagingState& paging = context.paging;
    if (command.zone) {
        view.setQqNumberText(utf8ToGbk(command.argument));
        lookupZoneMusic(view, context);
        return collect(view, paging, std::nullopt);
    }
    view.setKeywordText(utf8ToGbk(command.argument));
    startKeywordSearch(view, context);
    if (command.all) {
        Result first = collect(view, paging, std::nullopt);
        if (first.outcome != Outcome::Listed) {
            first.pagesFetched = 0;
            return first;
        }
        std::vector<Song> songs = std::move(first.songs);
        int fetched = 1;
        std::optional<Outcome> failed;
        // To the last page as the paging state knows it after each answer.
        while (fetched < MaxPages && paging.currentPage < paging.pageCount) {
            progress.show("page " + std::to_string(paging.currentPage + 1) + " of " +
                          std::to_string(paging.pageCount));
            const Outcome outcome = outcomeOfStatus(showNextPage(view, context));
            if (outcome != Outcome::Listed) {
                failed = outcome;
                break;
            }
            std::vector<Song> page = songsOf(view);
            songs.insert(songs.end(), std::make_move_iterator(page.begin()),
                         std::make_move_iterator(page.end()));
            ++fetched;
        }
        progress.clear();
        Result result = collect(view, paging, failed);
        result.songs = std::move(songs);
        result.pagesFetched = fetched;
        if (!failed && paging.currentPage < paging.pageCount) {
            result.stderrText = "stopped after " + std::to_string(MaxPages) + " of " +
                                std::to_string(paging.pageCount) + " pages";
        }
        return result;
    }
    std::optional<Outcome> pageOutcome;
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
    Result result = collect(view, paging, pageOutcome);
    if (command.page > 1 && paging.pageCount >= 1 && command.page > paging.pageCount &&
        result.outcome == Outcome::Listed) {
        result.outcome = Outcome::NoResults;
        result.songs.clear();
        result.stderrText = "there is no page " + std::to_string(command.page) +
                            " (the search has " + std::to_string(paging.pageCount) + ")";
    }
    return result;
}

// Options that are no option of this program, in the words after "search": most likely a
// KEYWORD that starts with '-'.
std::optional<std::string> strayOption(const std::vector<std::string>& arguments)
{
    static const std::array<std::string_view, 11> Known = {
        "--format", "--json", "--header", "--page",    "--all", "--check",
        "--proxy",  "--help", "-h",       "--version", "--"};
    const auto searchAt = std::find(arguments.begin(), arguments.end(), "search");
    for (auto word = searchAt; word != arguments.end(); ++word) {
        if (*word == "--") {
            break;
        }
        if ((*word == "--format" || *word == "--page" || *word == "--proxy") &&
            word + 1 != arguments.end()) {
            ++word; // its value
            continue;
        }
        const std::string_view name = std::string_view(*word).substr(0, word->find('='));
        if (word->size() > 1 && word->front() == '-' &&
            std::find(Known.begin(), Known.end(), name) == Known.end()) {
            return *word;
        }
    }
    return std::nullopt;
}

} // namespace

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

void CommandLine::setStderrIsTerminal(bool terminal)
{
    m_stderrIsTerminal = terminal;
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
    app.footer(FooterText + std::string(ProxyUrlForm) + ".\n");
    // Options stand anywhere on the line, so each is known to the program and to every
    // subcommand it applies to, whose --help lists it.
    const auto addOutputOptions = [&command](CLI::App& to) {
        to.add_option("--format", command.format, "output format: tsv (the default), json or m3u")
            ->check(CLI::IsMember({"tsv", "json", "m3u"}));
        to.add_flag("--json", command.json, "short for --format json");
        to.add_flag("--header", command.header, "tsv: a first line naming the columns");
        to.add_flag("--check", command.check, "probes each link, marks it playable or dead");
        to.add_option("--proxy", command.proxy, "sends every request through proxy URL")
            ->option_text("URL");
    };
    const auto addPageOptions = [&command](CLI::App& to, const std::string& group) {
        to.add_option("--page", command.pageText, "goes straight to page N of the results")
            ->option_text("N")
            ->group(group);
        to.add_flag("--all", command.all, "lists every page of the results (at most 50)")
            ->group(group);
    };
    addOutputOptions(app);
    addPageOptions(app, ""); // hidden here: they apply to search only
    CLI::App* zone = app.add_subcommand("zone", "lists the Zone background music of QQ");
    zone->add_option("QQ", command.argument, "the QQ number (an empty QQ box when omitted)");
    addOutputOptions(*zone);
    zone->fallthrough();
    CLI::App* search = app.add_subcommand(
        "search", "searches songs for KEYWORD (song, singer or album), twenty to a page");
    search->add_option("KEYWORD", command.argument, "what to search for")->required();
    search
        ->add_option("STEP", command.steps,
                     "next or prev: presses the next/previous page button, in order")
        ->check(CLI::IsMember({"next", "prev"}));
    addOutputOptions(*search);
    addPageOptions(*search, "Options");
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
                if (word == "--format" || word == "--page" || word == "--proxy") {
                    ++at;
                } else if (!word.starts_with("-")) {
                    return usageError(err, "unknown command '" + word + "' (zone or search)");
                }
            }
        }
        if (const std::optional<std::string> stray = strayOption(arguments)) {
            return usageError(err, "unknown option '" + *stray +
                                       "'; to search for a KEYWORD that starts with '-', put -- "
                                       "before it: marrowtune-cli search -- " +
                                       *stray);
        }
        return usageError(err, error.what());
    }
    command.zone = zone->parsed();
    if (command.json) {
        command.format = "json";
    }
    if (!command.pageText.empty() || search->count("--page") + app.count("--page") > 0) {
        const std::optional<int> page = pageNumber(command.pageText);
        if (!page) {
            return usageError(err, PageRule);
        }
        command.page = *page;
    }
    if (command.zone && (command.page != 0 || command.all)) {
        return usageError(err, std::string(command.all ? "--all" : "--page") +
                                   " applies to search only");
    }
    if (command.all && (command.page != 0 || !command.steps.empty())) {
        return usageError(err, "--all lists every page; it takes no --page, next or prev");
    }
    if (const std::string problem = gbkProblem(command.argument); !problem.empty()) {
        return usageError(err, (command.zone ? "QQ: " : "KEYWORD: ") + problem);
    }
    ServiceHosts used = hosts;
    if (command.proxy) {
        if (!command.proxy->empty() && !isProxyUrl(*command.proxy)) {
            return usageError(err, "--proxy must be " + std::string(ProxyUrlForm) + ": '" +
                                       *command.proxy + "'");
        }
        used.proxy = *command.proxy;
    }

    // The rewrite script's host outlives the run: stopping its thread and freeing its heap
    // (a few tenths of a millisecond) waits until the object ends, after the output is out.
    m_rewriteScript.reset();
    Progress progress(m_stderrIsTerminal ? &err : nullptr);
    Result result = runCommand(command, used, m_rewriteScript, progress);
    int status = exitStatus(result.outcome);
    if (command.check && !result.songs.empty()) {
        checkLinks(result.songs, used.proxy, progress);
        result.checked = true;
        const bool anyPlays = std::any_of(result.songs.begin(), result.songs.end(),
                                          [](const Song& song) { return song.playable; });
        if (!anyPlays && status == ExitListed) {
            status = ExitNothingPlays;
            result.stderrText =
                "none of the " + std::to_string(result.songs.size()) + " links plays";
        }
    }
    if (!result.stderrText.empty() || result.outcome != Outcome::Listed) {
        say(err, !result.stderrText.empty() ? result.stderrText
                 : result.messageRow        ? *result.messageRow
                                            : outcomeMessage(result.outcome));
    }
    out << (command.format == "json"  ? asJson(result)
            : command.format == "m3u" ? asM3u(result)
                                      : asTsv(result, command.header));
    status = finishOutput(out, err, status);
    if (m_stderrIsTerminal && !command.zone && !command.all && status == ExitListed &&
        result.currentPage >= 1 && result.currentPage < result.pageCount) {
        err << Prefix << "page " << result.currentPage << " of " << result.pageCount << "; --page "
            << result.currentPage + 1 << " for more\n";
    }
    return status;
}

} // namespace marrowtune::cli
