#include "cli/cli.h"

#include "search/keyword_search.h"
#include "search/rewrite.h"
#include "search/script_control_component.h"
#include "search/zone_lookup.h"

#include <cstdio>
#include <ostream>

namespace marrowtune::cli {

const char* const UsageText =
    "usage: marrowtune-cli [--json] zone [QQ]\n"
    "       marrowtune-cli [--json] search KEYWORD [next|prev]...\n"
    "\n"
    "zone     lists the Zone background music of QQ (an empty QQ box when omitted)\n"
    "search   searches songs for KEYWORD, then presses the next/previous page button\n"
    "         once for each next or prev, in order\n"
    "--json   prints one JSON object instead of tab-separated rows\n";

namespace {

enum class PageStep { Next, Previous };

struct Command {
    bool json = false;
    bool zone = false;
    std::string argument; // QQ number or keyword, UTF-8
    std::vector<PageStep> steps;
};

bool parse(const std::vector<std::string>& arguments, Command& command)
{
    std::size_t at = 0;
    if (at < arguments.size() && arguments[at] == "--json") {
        command.json = true;
        ++at;
    }
    if (at >= arguments.size()) {
        return false;
    }
    const std::string& word = arguments[at++];
    if (word == "zone") {
        command.zone = true;
        if (at < arguments.size()) {
            command.argument = arguments[at++];
        }
        return at == arguments.size();
    }
    if (word != "search" || at >= arguments.size()) {
        return false;
    }
    command.argument = arguments[at++];
    for (; at < arguments.size(); ++at) {
        if (arguments[at] == "next") {
            command.steps.push_back(PageStep::Next);
        } else if (arguments[at] == "prev") {
            command.steps.push_back(PageStep::Previous);
        } else {
            return false;
        }
    }
    return true;
}

Text utf8ToText(std::string_view utf8)
{
    return wideToMultiByte(multiByteToWide(utf8, CodePageUtf8), CodePageGbk);
}

void appendJsonString(std::string& out, std::string_view utf8)
{
    out += '"';
    for (char c : utf8) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(c));
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

} // namespace

std::string escapeCell(std::string_view utf8)
{
    std::string escaped;
    for (char c : utf8) {
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
            escaped += c;
        }
    }
    return escaped;
}

std::string rowsAsText(const PlainSearchView& view)
{
    std::string out;
    for (const ResultRow& row : view.rows()) {
        for (std::size_t column = 0; column < row.size(); ++column) {
            out += (column == 0 ? "" : "\t") + escapeCell(gbkToUtf8(row[column]));
        }
        out += '\n';
    }
    return out;
}

std::string rowsAsJson(const PlainSearchView& view)
{
    std::string out = "{\"rows\": [";
    bool firstRow = true;
    for (const ResultRow& row : view.rows()) {
        out += firstRow ? "[" : ", [";
        firstRow = false;
        for (std::size_t column = 0; column < row.size(); ++column) {
            if (column > 0) {
                out += ", ";
            }
            appendJsonString(out, gbkToUtf8(row[column]));
        }
        out += ']';
    }
    out += "], \"pageLabel\": ";
    appendJsonString(out, gbkToUtf8(view.pageLabel()));
    out += ", \"previousEnabled\": ";
    out += view.previousPageEnabled() ? "true" : "false";
    out += ", \"nextEnabled\": ";
    out += view.nextPageEnabled() ? "true" : "false";
    out += "}\n";
    return out;
}

int runCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err)
{
    Command command;
    if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
        out << UsageText;
        return ExitActionsRan;
    }
    if (!parse(arguments, command)) {
        err << UsageText;
        return ExitUsage;
    }

    ScriptControlComponent script;
    loadRewriteScript(script);
    PlainSearchView view(script);
    if (command.zone) {
        view.setQqNumberText(utf8ToText(command.argument));
        lookupZoneMusic(view);
    } else {
        view.setKeywordText(utf8ToText(command.argument));
        startKeywordSearch(view);
        // A press on a disabled page button does nothing, as in the window.
        for (PageStep step : command.steps) {
            if (step == PageStep::Next && view.nextPageEnabled()) {
                showNextPage(view);
            } else if (step == PageStep::Previous && view.previousPageEnabled()) {
                showPreviousPage(view);
            }
        }
    }
    out << (command.json ? rowsAsJson(view) : rowsAsText(view));
    return ExitActionsRan;
}

} // namespace marrowtune::cli
