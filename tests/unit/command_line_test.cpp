// The programs' command lines: how they are split, which command they ask
// for, and where a command's words go.
#include "cli/command_line.h"

#include <gtest/gtest.h>

#include "core/hotkey.h"
#include "platform/console_output.h"
#include "platform/program_arguments.h"

namespace qm {
namespace {

using Args = std::vector<std::string>;

TEST(CommandLineText, SplitsByTheSystemsRulesAfterTheProgramsName) {
    EXPECT_EQ(SplitCommandLine(""), Args{});
    EXPECT_EQ(SplitCommandLine("  /eject \t G:  "), (Args{"/eject", "G:"}));
    EXPECT_EQ(SplitCommandLine(R"(/x "a b" c"d e"f)"), (Args{"/x", "a b", "cd ef"}));
    // Backslashes are themselves unless a quote follows them.
    EXPECT_EQ(SplitCommandLine(R"(G:\ "C:\dir\\" a\\\"b "x""y")"),
              (Args{R"(G:\)", R"(C:\dir\)", R"(a\"b)", R"(x"y)"}));
    EXPECT_EQ(SplitCommandLine(R"("")"), Args{""});

    EXPECT_EQ(SkipProgramName(R"("C:\Program Files\Quillmoor\Quillmoor.exe" /list)"), "/list");
    EXPECT_EQ(SkipProgramName("Quillmoor.exe   /eject G:"), "/eject G:");
    EXPECT_EQ(SkipProgramName("Quillmoor.exe"), "");
    EXPECT_EQ(SkipProgramName(R"("C:\a b\setup.exe"/S)"), "/S");
    EXPECT_EQ(SkipProgramName(R"("unterminated)"), "");

    // A command only when the first argument is one: the Run value starts
    // the program without arguments, an updater may pass others.
    EXPECT_TRUE(IsCommandLineMode(" /list"));
    EXPECT_TRUE(IsCommandLineMode("/?"));
    EXPECT_FALSE(IsCommandLineMode(""));
    EXPECT_FALSE(IsCommandLineMode("-needupdate /list"));
    EXPECT_FALSE(IsCommandLineMode(R"("" /list)"));
}

TEST(CommandLineText, DrivesAreALetterWithAColonAndARootAtMost) {
    for (const char* good : {"g", "G", "g:", "G:", "g:\\", "Z:\\", "a"}) {
        EXPECT_NE(DriveLetterArgument(good), 0) << good;
    }
    EXPECT_EQ(DriveLetterArgument("g:\\"), 'G');
    for (const char* bad : {"", "1", "1:", "GG", "G:/", "G:\\x", "G;", ":", "\\\\.\\G:", "é"}) {
        EXPECT_EQ(DriveLetterArgument(bad), 0) << bad;
    }
}

TEST(CommandLineText, EachCommandAndItsArguments) {
    const auto parse = [](std::string_view line) { return ParseCliArguments(SplitCommandLine(line)); };
    struct Case {
        const char* line;
        CliCommand command;
        char letter;
    };
    for (const Case& c : {Case{"/list", CliCommand::List, 0}, Case{"/LIST", CliCommand::List, 0},
                          Case{"/?", CliCommand::Usage, 0}, Case{"/eject g", CliCommand::Eject, 'G'},
                          Case{"/Eject /ALL", CliCommand::EjectAll, 0},
                          Case{"/who-locks H:\\", CliCommand::WhoLocks, 'H'},
                          Case{"/immunise i:", CliCommand::Immunise, 'I'},
                          Case{"/unimmunise J", CliCommand::Unimmunise, 'J'},
                          Case{"/cd-open e:", CliCommand::CdOpen, 'E'},
                          Case{"/CD-CLOSE \"E:\"", CliCommand::CdClose, 'E'}}) {
        const CliRequest r = parse(c.line);
        EXPECT_EQ(r.problem, "") << c.line;
        EXPECT_EQ(r.command, c.command) << c.line;
        EXPECT_EQ(r.letter, c.letter) << c.line;
    }
    EXPECT_EQ(parse("/frob").problem, "未知的命令: /frob");
    EXPECT_EQ(parse("/eject").problem, "缺少驱动器参数: /eject");
    EXPECT_EQ(parse("/eject G: now").problem, "多余的参数: now");
    EXPECT_EQ(parse("/list /all").problem, "多余的参数: /all");
    EXPECT_EQ(parse("/who-locks /all").problem, "不是驱动器: /all");
    EXPECT_EQ(parse("/immunise 7:").problem, "不是驱动器: 7:");
    EXPECT_FALSE(parse("/autoplay-off").problem.empty());
}

TEST(ConsoleOutputRoute, AValidHandleWinsAndTheParentsConsoleIsTheFallback) {
    // Redirected to a file, a pipe or NUL: bytes, console or not.
    for (const auto kind : {StdHandleKind::File, StdHandleKind::Pipe, StdHandleKind::OtherDevice}) {
        EXPECT_EQ(RouteFor(kind, true), OutputRoute::Bytes);
        EXPECT_EQ(RouteFor(kind, false), OutputRoute::Bytes);
    }
    EXPECT_EQ(RouteFor(StdHandleKind::Console, false), OutputRoute::Console);
    EXPECT_EQ(RouteFor(StdHandleKind::None, true), OutputRoute::Console);
    EXPECT_EQ(RouteFor(StdHandleKind::None, false), OutputRoute::Nowhere);
    // A file read at a console set to UTF-8 holds UTF-8; without a console,
    // the ANSI code page of every other text file.
    EXPECT_EQ(BytesCodePage(65001, 936), 65001u);
    EXPECT_EQ(BytesCodePage(437, 1252), 437u);
    EXPECT_EQ(BytesCodePage(0, 936), 936u);
}

TEST(HotkeyText, ModifiersAndOneKeyInEitherCase) {
    struct Case {
        const char* text;
        std::uint32_t modifiers, key;
    };
    for (const Case& c : {Case{"Ctrl+Alt+E", kModControl | kModAlt, 'E'},
                          Case{" control + shift + e ", kModControl | kModShift, 'E'},
                          Case{"Win+0", kModWin, '0'}, Case{"Alt+F4", kModAlt, 0x73},
                          Case{"F24", 0, 0x87}, Case{"Shift+F1", kModShift, 0x70},
                          Case{"ctrl+PageDown", kModControl, 0x22},
                          Case{"Ctrl+Alt+Num7", kModControl | kModAlt, 0x67},
                          Case{"WINDOWS+space", kModWin, 0x20}, Case{"Pause", 0, 0x13}}) {
        const auto hotkey = ParseHotkey(c.text);
        ASSERT_TRUE(hotkey) << c.text;
        EXPECT_EQ(*hotkey, (Hotkey{c.modifiers, c.key})) << c.text;
    }
    // Keys that type or move the caret need Ctrl, Alt or Win: Shift alone
    // still types a capital.
    for (const char* bad : {"", "E", "Shift+E", "Shift+Space", "Ctrl+", "+E", "Ctrl+Ctrl+E",
                            "Ctrl+Alt", "Ctrl+F0", "Ctrl+F25", "Ctrl+F01", "Ctrl+F+1", "Hyper+E",
                            "Ctrl+Alt+EE", "Ctrl+Alt+É", "Ctrl+Alt+E+F"}) {
        EXPECT_FALSE(ParseHotkey(bad)) << bad;
    }
}

}  // namespace
}  // namespace qm
