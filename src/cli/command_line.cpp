#include "cli/command_line.h"

#include <array>
#include <utility>

#include "texts/tray_texts.h"
#include "common/text_rules.h"

namespace qm {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

struct Named {
    const char* name;
    CliCommand command;
};

// Commands that take a drive.
constexpr std::array<Named, 6> kDriveCommands{{
    {"/eject", CliCommand::Eject},
    {"/who-locks", CliCommand::WhoLocks},
    {"/immunise", CliCommand::Immunise},
    {"/unimmunise", CliCommand::Unimmunise},
    {"/cd-open", CliCommand::CdOpen},
    {"/cd-close", CliCommand::CdClose},
}};

CliRequest refused(std::string problem) {
    CliRequest request;
    request.problem = std::move(problem);
    return request;
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
    std::vector<std::string> out;
    std::size_t i = 0;
    while (true) {
        while (i < line.size() && isBlank(line[i])) ++i;
        if (i >= line.size()) break;
        std::string arg;
        bool quoted = false;
        while (i < line.size() && (quoted || !isBlank(line[i]))) {
            if (line[i] == '\\') {
                std::size_t slashes = 0;
                while (i < line.size() && line[i] == '\\') {
                    ++slashes;
                    ++i;
                }
                if (i < line.size() && line[i] == '"') {
                    // 2n backslashes and a quote: n backslashes, the quote
                    // toggles; 2n+1: n backslashes and a literal quote.
                    arg.append(slashes / 2, '\\');
                    if (slashes % 2 == 1) {
                        arg += '"';
                        ++i;
                    }
                } else {
                    arg.append(slashes, '\\');
                }
            } else if (line[i] == '"') {
                // Two quotes inside quotes stand for one.
                if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
                    arg += '"';
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                arg += line[i++];
            }
        }
        out.push_back(std::move(arg));
    }
    return out;
}

bool IsCommandLineMode(std::string_view commandLine) {
    const std::vector<std::string> args = SplitCommandLine(commandLine);
    return !args.empty() && !args.front().empty() && args.front().front() == '/';
}

char DriveLetterArgument(std::string_view argument) {
    if (argument.empty() || argument.size() > 3) return 0;
    char letter = argument[0];
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    if (letter < 'A' || letter > 'Z') return 0;
    if (argument.size() >= 2 && argument[1] != ':') return 0;
    if (argument.size() == 3 && argument[2] != '\\') return 0;
    return letter;
}

CliRequest ParseCliArguments(const std::vector<std::string>& arguments) {
    if (arguments.empty()) return refused(Text(TrayText::CliUnknownCommand, {""}));
    const std::string name = LowerAscii(arguments[0]);
    CliRequest request;
    std::size_t used = 1;
    if (name == "/?") {
        request.command = CliCommand::Usage;
    } else if (name == "/list") {
        request.command = CliCommand::List;
    } else {
        bool found = false;
        for (const Named& named : kDriveCommands) {
            if (name == named.name) {
                request.command = named.command;
                found = true;
            }
        }
        if (!found) return refused(Text(TrayText::CliUnknownCommand, {arguments[0]}));
        if (arguments.size() < 2) return refused(Text(TrayText::CliMissingDrive, {arguments[0]}));
        used = 2;
        if (request.command == CliCommand::Eject && LowerAscii(arguments[1]) == "/all") {
            request.command = CliCommand::EjectAll;
        } else {
            request.letter = DriveLetterArgument(arguments[1]);
            if (request.letter == 0) return refused(Text(TrayText::CliBadDrive, {arguments[1]}));
        }
    }
    if (arguments.size() > used) return refused(Text(TrayText::CliExtraArgument, {arguments[used]}));
    return request;
}

}  // namespace qm
