// The downloader over a scripted HTTP client: both phases, resume, the
// flags a handler may set mid-way, the overwrite prompt and its texts.
#include "net/download.h"

#include <gtest/gtest.h>

#include <deque>

#include "fakes/fake_event_loop.h"
#include "fakes/fake_file_system.h"
#include "fakes/fake_http_transfer.h"

namespace qm {
namespace {

struct ScriptedPrompts final : DownLoadPrompts {
    std::deque<int> boxAnswers;
    std::deque<std::optional<std::string>> inputs;
    std::vector<std::string> shown;  // "title|text" of every box, input boxes too
    int messageBox(const std::string& text, const std::string& title, std::uint32_t) override {
        shown.push_back(title + "|" + text);
        if (boxAnswers.empty()) return 1;
        const int a = boxAnswers.front();
        boxAnswers.pop_front();
        return a;
    }
    std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                        const std::string& initial) override {
        shown.push_back(title + "|" + prompt + "|" + initial);
        if (inputs.empty()) return std::nullopt;
        auto a = inputs.front();
        inputs.pop_front();
        return a;
    }
};

class Downloader : public ::testing::Test {
  protected:
    FakeHttpTransfer http;
    FakeFileSystem files;
    FakeEventLoop loop;
    ScriptedPrompts prompts;
    DownLoad dl{DownLoadDeps{http, files, loop, prompts, "Quillmoor v1.0.1"}};
    std::vector<std::string> events;
    const std::string target = "C:\\Quillmoor\\Update.txt";

    void SetUp() override {
        files.addFolder("C:\\Quillmoor");
        dl.DLComplete = [this] { events.push_back("complete"); };
        dl.DLError = [this](const std::string& t) { events.push_back("error " + t); };
        dl.DLECode = [this](std::int32_t c) { events.push_back("code " + std::to_string(c)); };
        dl.StatusChange = [this](const std::string& t) { events.push_back("status " + t); };
        dl.RecievedBytes = [this](std::int32_t n) {
            events.push_back("bytes " + std::to_string(n));
        };
        dl.Percent = [this](std::int32_t p) { events.push_back("percent " + std::to_string(p)); };
        dl.setUrl("http://127.0.0.1:8080/Quillmoor/Update.txt");
        dl.setSaveLocation(target);
    }
    std::vector<std::string> only(const std::string& prefix) {
        std::vector<std::string> out;
        for (const auto& e : events) {
            if (e.rfind(prefix, 0) == 0) out.push_back(e);
        }
        return out;
    }
    std::string fileText(const std::string& path) {
        return files.fileBytes(path).value_or("<none>");
    }
};

TEST_F(Downloader, AWholeFileArrivesInChunksWithItsEventsInOrder) {
    auto r = FakeHttpTransfer::ok("1.0.70\r\nnotes\r\n");
    r.pollsUntilDone = 3;
    r.split = {5, 1, 100};  // a one-byte chunk mid-body does not end it
    http.responses.push_back(r);
    dl.GetFileInformation();
    EXPECT_EQ(dl.FileSize(), 15);
    EXPECT_TRUE(dl.FileExists());
    EXPECT_TRUE(dl.ResumeSupported());
    EXPECT_EQ(events,
              (std::vector<std::string>{"status Initiating Connection.",
                                        "status Connection Accepted, Retrieving File Information.",
                                        "status Retrieving File Information Complete!"}));
    EXPECT_GE(loop.pumpCount, 1);  // messages ran while the request was out
    events.clear();
    files.addFile(target, "stale bytes of an older descriptor");
    dl.Download();
    EXPECT_EQ(fileText(target), "1.0.70\r\nnotes\r\n");
    EXPECT_EQ(only("bytes"),
              (std::vector<std::string>{"bytes 5", "bytes 6", "bytes 15", "bytes 15"}));
    EXPECT_EQ(only("percent"),
              (std::vector<std::string>{"percent 33", "percent 40", "percent 100", "percent 100"}));
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events.front(), "status Opening " + target + " For DATA Input.");
    EXPECT_EQ(std::vector<std::string>(events.end() - 2, events.end()),
              (std::vector<std::string>{"complete", "status Download Successful!"}));
    EXPECT_EQ(http.chunkRequests, std::vector<std::size_t>(4, 1024));
    EXPECT_EQ(http.cancels, 1);
    EXPECT_FALSE(dl.InDL());
    EXPECT_TRUE(files.openFiles.empty());
}

TEST_F(Downloader, RefusalsLeaveTheirOwnPropertiesAndReleaseTheRequest) {
    struct Case {
        int status;
        std::vector<std::string> events;
        bool exists;
    };
    const std::vector<Case> cases = {
        {401,
         {"status Unauthorized Access, Download Terminated!", "code 401",
          "error Unauthorized Access!"},
         true},
        {403,
         {"status Access Denied, Download Terminated!", "code 403", "error Access Denied!"},
         true},
        {404, {"error File Not Found!", "status File Not Found!", "code 2"}, false},
    };
    for (const Case& c : cases) {
        // An earlier answer had set a size and the resume flag.
        http.responses.push_back(FakeHttpTransfer::ok("abc"));
        dl.GetFileInformation();
        ASSERT_EQ(dl.FileSize(), 3);
        http.responses.push_back(FakeHttpTransfer::status(c.status, "No"));
        events.clear();
        const int cancels = http.cancels;
        dl.GetFileInformation();
        EXPECT_EQ(std::vector<std::string>(events.begin() + 2, events.end()), c.events) << c.status;
        EXPECT_EQ(dl.FileSize(), 0);
        EXPECT_EQ(dl.FileExists(), c.exists);
        EXPECT_EQ(dl.ResumeSupported(), c.status == 404) << c.status;  // 404 leaves it alone
        EXPECT_EQ(http.cancels, cancels + 1);
    }
}

TEST_F(Downloader, HeaderFailuresAreReadErrorsAndNeverTakeAnErrorPageForTheFile) {
    const std::vector<std::string> headerError{"error Error Reading File Headers.",
                                               "status Error Reading File Headers!", "code 3"};
    auto tail = [&] { return std::vector<std::string>(events.end() - 3, events.end()); };

    http.responses.push_back(FakeHttpTransfer::ok("12345"));
    dl.GetFileInformation();
    ASSERT_EQ(dl.FileSize(), 5);

    FakeHttpTransfer::Response none;
    none.failed = true;  // refused or timed out
    http.responses.push_back(none);
    dl.GetFileInformation();
    EXPECT_EQ(tail(), headerError);
    EXPECT_EQ(dl.FileSize(), 5);  // the last size stays

    auto huge = FakeHttpTransfer::status(200, "OK");
    huge.header = "HTTP/1.1 200 OK\r\nContent-Length: 4294967296\r\n\r\n";
    http.responses.push_back(huge);
    dl.GetFileInformation();
    EXPECT_EQ(tail(), headerError);

    auto noLength = FakeHttpTransfer::status(200, "OK");
    http.responses.push_back(noLength);
    dl.GetFileInformation();
    EXPECT_EQ(tail(), headerError);

    auto serverError = FakeHttpTransfer::ok("<html>busy</html>");
    serverError.header.replace(9, 6, "503 NO");
    http.responses.push_back(serverError);
    dl.GetFileInformation();
    EXPECT_EQ(tail(), headerError);
    // The error page cannot be read as the file afterwards.
    events.clear();
    dl.Download();
    EXPECT_EQ(only("code"), std::vector<std::string>{"code 1"});
    EXPECT_EQ(only("error"),
              std::vector<std::string>{"error Error Downloading File from : " + dl.Url()});

    http.refuseExecute = true;
    dl.GetFileInformation();
    EXPECT_EQ(tail(), headerError);
}

TEST_F(Downloader, CancelIsReadOnlyWhereTheFlagRulesSay) {
    // Before the header phase: forgotten.
    dl.Cancel();
    EXPECT_TRUE(dl.CCancel());
    http.responses.push_back(FakeHttpTransfer::ok("abcdef"));
    dl.GetFileInformation();
    EXPECT_EQ(dl.FileSize(), 6);
    EXPECT_FALSE(dl.CCancel());

    // Between the phases: the body phase does nothing at all.
    dl.Cancel();
    events.clear();
    dl.Download();
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(dl.CCancel());
    EXPECT_FALSE(files.fileExists(target));

    // During the response wait: the wait runs out, then "cancelled.".
    auto slow = FakeHttpTransfer::ok("abcdef");
    slow.pollsUntilDone = 5;
    http.responses.push_back(slow);
    http.onPoll = [&] {
        if (http.polls == 2) dl.Cancel();
    };
    http.polls = 0;
    events.clear();
    dl.GetFileInformation();
    http.onPoll = nullptr;
    EXPECT_EQ(std::vector<std::string>(events.end() - 2, events.end()),
              (std::vector<std::string>{"code 4", "status cancelled."}));
    EXPECT_FALSE(dl.CCancel());
}

TEST_F(Downloader, ACancelWhilePausedWaitsForTheResumeAndThenStops) {
    auto r = FakeHttpTransfer::ok(std::string(4000, 'x'));
    http.responses.push_back(r);
    dl.GetFileInformation();
    int paused = 0;
    dl.RecievedBytes = [&](std::int32_t n) {
        if (n == 1024) dl.Pause(true);
    };
    loop.onWait = [&](std::uint32_t) {
        if (++paused == 2) dl.Cancel();  // ignored while paused
        if (paused == 4) dl.Pause(false);
    };
    events.clear();
    dl.Download();
    EXPECT_EQ(paused, 4);
    EXPECT_EQ(only("status Paused.").size(), 4u);
    EXPECT_EQ(std::vector<std::string>(events.end() - 2, events.end()),
              (std::vector<std::string>{"code 4", "status Cancelled."}));
    EXPECT_EQ(fileText(target).size(), 1024u);  // what arrived stays
    EXPECT_TRUE(files.openFiles.empty());
    EXPECT_EQ(only("complete").size(), 0u);
}

TEST_F(Downloader, AQuitRequestEndsTheWaitsThatCouldOtherwiseNeverEnd) {
    auto stuck = FakeHttpTransfer::ok("abc");
    stuck.pollsUntilDone = 1000000;  // a server that never answers
    http.responses.push_back(stuck);
    loop.onWait = [&](std::uint32_t) {
        if (loop.waits.size() == 3) {
            loop.quit = true;
            dl.Cancel();  // as the program's shutdown does
        }
    };
    dl.GetFileInformation();
    EXPECT_LE(http.polls, 10);
    EXPECT_EQ(events.back(), "status cancelled.");
    for (std::uint32_t w : loop.waits) EXPECT_GT(w, 0u);  // blocking waits, not a spin

    // Paused when the program ends: the pause gives way.
    loop.quit = false;
    loop.onWait = nullptr;
    http.responses.push_back(FakeHttpTransfer::ok("abc"));
    dl.GetFileInformation();
    dl.Pause(true);
    loop.onWait = [&](std::uint32_t) { loop.quit = true; };
    dl.Download();
    EXPECT_EQ(fileText(target), "abc");
}

TEST_F(Downloader, ABodyThatStallsNeverHoldsTheProgramAndGivesWayAtOnce) {
    // A server that sends its first chunk and then nothing, with messages
    // running all the while: a Cancel from one of them ends it at once.
    auto stalled = FakeHttpTransfer::ok(std::string(3000, 's'));
    stalled.pollsPerChunk = 2;
    stalled.stallAtChunk = 1;
    http.responses.push_back(stalled);
    dl.GetFileInformation();
    loop.onWait = [&](std::uint32_t) {
        if (loop.waits.size() >= 50) dl.Cancel();
    };
    const int pumps = loop.pumpCount;
    events.clear();
    dl.Download();
    EXPECT_EQ(loop.waits.size(), 50u);
    EXPECT_GE(loop.pumpCount - pumps, 50);
    EXPECT_EQ(std::vector<std::string>(events.end() - 2, events.end()),
              (std::vector<std::string>{"code 4", "status Cancelled."}));
    EXPECT_EQ(fileText(target).size(), 1024u);
    EXPECT_EQ(http.chunkRequests.size(), 1u);  // the stalled chunk was never taken
    EXPECT_TRUE(files.openFiles.empty());
    // The rest of that body is gone with its request: another body phase
    // must not pick it up.
    events.clear();
    dl.Download();
    EXPECT_EQ(only("code"), std::vector<std::string>{"code 1"});
    EXPECT_TRUE(only("complete").empty());

    // The program ending stops the wait too; nothing was completed.
    http.responses.push_back(stalled);
    dl.GetFileInformation();
    loop.waits.clear();
    loop.onWait = [&](std::uint32_t) { loop.quit = loop.waits.size() == 3; };
    events.clear();
    dl.Download();
    EXPECT_EQ(loop.waits.size(), 3u);
    EXPECT_EQ(only("code"), std::vector<std::string>{"code 1"});
    EXPECT_TRUE(only("complete").empty());
}

TEST_F(Downloader, ACancelledTransferLeavesNoBodyForTheNextDownload) {
    http.responses.push_back(FakeHttpTransfer::ok("1.0.99\r\n"));
    dl.setCHUNK(2);
    dl.GetFileInformation();
    dl.RecievedBytes = [&](std::int32_t n) {
        if (n == 2) dl.Cancel();
    };
    dl.Download();
    dl.RecievedBytes = nullptr;
    events.clear();
    dl.Download();
    EXPECT_NE(fileText(target), "0.99\r\n");
    EXPECT_EQ(only("code"), std::vector<std::string>{"code 1"});
    EXPECT_TRUE(only("status Download Successful!").empty());
}

TEST_F(Downloader, ABodyEndingBeforeItsLengthFailsAndKeepsWhatCame) {
    auto cut = FakeHttpTransfer::ok("abc");
    cut.header = "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n";
    http.responses.push_back(cut);
    dl.GetFileInformation();
    events.clear();
    dl.Download();
    EXPECT_EQ(fileText(target), "abc");
    EXPECT_EQ(only("code"), std::vector<std::string>{"code 1"});
    EXPECT_TRUE(only("complete").empty());
    EXPECT_TRUE(files.openFiles.empty());
}

TEST_F(Downloader, ASizeOfZeroFailsAfterTheFirstChunk) {
    auto r = FakeHttpTransfer::ok("abcdef");
    r.header = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n";
    http.responses.push_back(r);
    dl.setCHUNK(4);
    dl.GetFileInformation();
    events.clear();
    dl.Download();
    EXPECT_EQ(fileText(target), "abcd");
    EXPECT_EQ(only("code"), std::vector<std::string>{"code 1"});
    EXPECT_EQ(only("status Download Aborted").size(), 1u);
    EXPECT_TRUE(files.openFiles.empty());

    // A chunk size below one would call an empty file complete.
    http.responses.push_back(FakeHttpTransfer::ok("abcdef"));
    dl.GetFileInformation();
    dl.setCHUNK(0);
    events.clear();
    dl.Download();
    EXPECT_EQ(only("code"), std::vector<std::string>{"code 1"});
}

TEST_F(Downloader, AFailedChunkOrWriteKeepsWhatWasWritten) {
    auto r = FakeHttpTransfer::ok(std::string(3000, 'y'));
    r.failAtChunk = 2;
    http.responses.push_back(r);
    dl.GetFileInformation();
    dl.Download();
    EXPECT_EQ(fileText(target).size(), 2048u);
    EXPECT_EQ(only("code"), std::vector<std::string>{"code 1"});

    http.responses.push_back(FakeHttpTransfer::ok("abc"));
    dl.GetFileInformation();
    files.lockedPaths.insert(target);  // cannot be deleted or opened
    events.clear();
    dl.Download();
    EXPECT_EQ(only("code"), std::vector<std::string>{"code 1"});
}

TEST_F(Downloader, KeepTypeWritesUnderTheAddressExtension) {
    http.responses.push_back(FakeHttpTransfer::ok("v"));
    dl.setSaveLocation("C:\\File1.tmp");
    dl.setKeepType(true);
    dl.GetFileInformation();
    dl.Download();
    EXPECT_EQ(fileText("C:\\File1.txt"), "v");
    EXPECT_EQ(dl.SaveLocation(), "C:\\File1.tmp");
    EXPECT_EQ(ApplyUrlExtension("http://h/a.b/Update", "C:\\File1.tmp"), std::nullopt);
    EXPECT_EQ(ApplyUrlExtension("x.txt", "C:\\File1.tmp"), std::nullopt);
}

TEST_F(Downloader, TheOverwritePromptAsksUntilItHasAPath) {
    dl.setPromptOverwrite(true);
    const auto download = [&] {
        http.responses.push_back(FakeHttpTransfer::ok("new"));
        dl.GetFileInformation();
        dl.Download();
    };
    // Yes: the old file goes.
    files.addFile(target, "old old old");
    prompts.boxAnswers = {msgbox::kIdYes};
    download();
    EXPECT_EQ(fileText(target), "new");
    EXPECT_EQ(prompts.shown,
              std::vector<std::string>{
                  "Overwrite?|Would you like to overwrite the file at: " + target + " ?"});

    // No, then a dismissed box, then another path.
    prompts.shown.clear();
    prompts.boxAnswers = {msgbox::kIdNo, 1};
    prompts.inputs = {std::nullopt, std::string("C:\\Quillmoor\\other.txt")};
    download();
    EXPECT_EQ(fileText("C:\\Quillmoor\\other.txt"), "new");
    const std::string input =
        "New File...|Please type in a new file path and name.\r\nExample: C:\\File2.txt|" + target;
    EXPECT_EQ(prompts.shown,
              (std::vector<std::string>{
                  "Overwrite?|Would you like to overwrite the file at: " + target + " ?", input,
                  "Error!|You didn't specify a file!", input}));

    // No, the same path, and no other: written over where it is.
    files.addFile(target, "a much longer old file");
    prompts.shown.clear();
    prompts.boxAnswers = {msgbox::kIdNo, msgbox::kIdNo};
    prompts.inputs = {target};
    download();
    EXPECT_EQ(fileText(target), "new");
    EXPECT_EQ(prompts.shown.back(),
              "Try Again?|You typed in the same file! Would you like type in a different file?");

    // Boxes that cannot be shown end the prompt with an error, not a loop.
    prompts.boxAnswers = {msgbox::kIdNo, 0};
    prompts.inputs = {};
    events.clear();
    download();
    EXPECT_EQ(only("code"), std::vector<std::string>{"code 1"});
}

TEST_F(Downloader, ResumeAsksForTheRestAndAppendsIt) {
    const std::string whole(1000, 'r');
    files.addFile(target, whole.substr(0, 300));
    http.responses.push_back(FakeHttpTransfer::ok(whole));
    dl.GetFileInformation();
    auto rest = FakeHttpTransfer::ok(whole.substr(300));
    rest.header.replace(9, 6, "206 PC");
    http.responses.push_back(rest);
    dl.setCHUNK(100);
    events.clear();
    dl.DLResume();
    EXPECT_EQ(http.requests.back().headers, "Range: bytes=300-\r\n");
    EXPECT_EQ(fileText(target), whole);
    const auto bytes = only("bytes");
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(bytes.front(), "bytes 400");
    EXPECT_EQ(only("percent").back(), "percent 100");
    EXPECT_EQ(only("complete").size(), 1u);

    // A server that ignores the range sends it all: the file is replaced,
    // and counted from its start.
    files.addFile(target, whole.substr(0, 300));
    http.responses.push_back(FakeHttpTransfer::ok(whole));
    events.clear();
    dl.DLResume();
    EXPECT_EQ(fileText(target), whole);
    EXPECT_EQ(only("bytes").back(), "bytes 1000");
    EXPECT_EQ(only("percent").back(), "percent 100");
    EXPECT_EQ(only("complete").size(), 1u);

    // The rest is measured against its own answer, not the earlier size: a
    // rest cut short is a failure even when the file has passed that size
    // (the file on the server grew since).
    files.addFile(target, whole.substr(0, 950));
    FakeHttpTransfer::Response cut;
    cut.header = "HTTP/1.1 206 Partial Content\r\nContent-Length: 300\r\n\r\n";
    cut.body = std::string(60, 'g');
    http.responses.push_back(cut);
    events.clear();
    dl.DLResume();
    EXPECT_EQ(only("code"), std::vector<std::string>{"code 1"});
    EXPECT_TRUE(only("complete").empty());
    EXPECT_EQ(fileText(target), whole.substr(0, 950) + std::string(60, 'g'));  // what came is kept
}

TEST_F(Downloader, ResumeRefusesWithoutAFileOrAnHttp11Answer) {
    http.responses.push_back(FakeHttpTransfer::ok("abc", "HTTP/1.0"));
    dl.GetFileInformation();
    EXPECT_FALSE(dl.ResumeSupported());
    events.clear();
    dl.DLResume();
    EXPECT_EQ(events,
              (std::vector<std::string>{"error Resume File Not Found!", "code 6",
                                        "status Resume File Not Found, Aborting Download!"}));
    files.addFile(target, "a");
    events.clear();
    dl.DLResume();
    EXPECT_EQ(events, (std::vector<std::string>{"error Resume Not Supported!", "code 7",
                                                "status Resume NotSupported, Aborting Download!"}));
    // An HTTP/1.0 answer after an HTTP/1.1 one leaves the flag set.
    http.responses.push_back(FakeHttpTransfer::ok("abc"));
    dl.GetFileInformation();
    http.responses.push_back(FakeHttpTransfer::ok("abc", "HTTP/1.0"));
    dl.GetFileInformation();
    EXPECT_TRUE(dl.AResume());
}

TEST_F(Downloader, TheConnectionCheckGuardsBothPhases) {
    dl.setOnlineCheck(true);
    std::vector<std::string> states;
    dl.ConnectionState = [&](const std::string& s) { states.push_back(s); };
    http.connection = {false, kConnectionModem | kConnectionProxy};
    dl.GetFileInformation();
    EXPECT_EQ(states,
              (std::vector<std::string>{"Connected Via Modem.", "Connected Through A Proxy."}));
    EXPECT_EQ(prompts.shown,
              std::vector<std::string>{
                  "Quillmoor v1.0.1|You are not currently connected to the internet!\r\n"
                  "The download will be aborted!"});
    EXPECT_EQ(events,
              (std::vector<std::string>{"code 5", "error No Connection Found!",
                                        "status Download aborted, no connection present!"}));
    EXPECT_FALSE(dl.Connected());
    EXPECT_TRUE(http.requests.empty());
    events.clear();
    dl.Download();
    EXPECT_EQ(events.front(), "code 5");
    EXPECT_EQ(http.cancels, 1);
}

TEST(DownloadTexts, RatesAndTimesReadAsTheUserExpects) {
    EXPECT_EQ(FormatRate(1023), "1023 Bytes/秒");
    EXPECT_EQ(FormatRate(0), "0 Bytes/秒");
    EXPECT_EQ(FormatRate(2.5), "2 Bytes/秒");
    EXPECT_EQ(FormatRate(1536), "1.5 KB/秒");
    EXPECT_EQ(FormatRate(12288), "12 KB/秒");
    EXPECT_EQ(FormatRate(1023.5), "");
    EXPECT_EQ(FormatRate(2000000), "");
    EXPECT_EQ(FormatRate(-1), "");
    EXPECT_EQ(FormatTimeLeft(59), "59 秒");
    EXPECT_EQ(FormatTimeLeft(0.5f), "1 秒");  // halves away from zero here
    EXPECT_EQ(FormatTimeLeft(125), "2 分钟 5 秒");
    EXPECT_EQ(FormatTimeLeft(7384), "2 小时 3 分钟");
    EXPECT_EQ(FormatTimeLeft(59.5f), "0 小时 1 分钟");
    EXPECT_EQ(FormatTimeLeft(-120), "-1 小时 -2 分钟");
    EXPECT_EQ(FormatTimeLeft(std::numeric_limits<float>::infinity()), "");
}

TEST(DownloadProperties, OnlyValuesThatDifferFromTheDefaultsAreStored) {
    FakeHttpTransfer http;
    FakeFileSystem files;
    FakeEventLoop loop;
    ScriptedPrompts prompts;
    DownLoad dl{DownLoadDeps{http, files, loop, prompts, "t"}};
    std::vector<std::string> changed;
    dl.PropertyChanged = [&](const std::string& name) { changed.push_back(name); };
    PropertyBag bag;
    dl.WriteProperties(bag);
    EXPECT_TRUE(bag.values().empty());
    dl.setCHUNK(65536);
    dl.setKeepType(true);
    dl.setROLLBACK(3);
    dl.WriteProperties(bag);
    EXPECT_EQ(bag.values(),
              (std::map<std::string, std::string>{{"CHUNK", "65536"}, {"KeepType", "True"}}));
    EXPECT_EQ(changed, (std::vector<std::string>{"CHUNK", "KeepType", "ROLLBACK"}));

    DownLoad other{DownLoadDeps{http, files, loop, prompts, "t"}};
    other.ReadProperties(bag);
    EXPECT_EQ(other.CHUNK(), 65536);
    EXPECT_TRUE(other.KeepType());
    EXPECT_EQ(other.Url(), "http://www.example.com/index.html");
    EXPECT_EQ(other.SaveLocation(), "C:\\File1.tmp");
    bag.write("CHUNK", "99999999999999999999", "1024");
    other.ReadProperties(bag);
    EXPECT_EQ(other.CHUNK(), 1024);
}

}  // namespace
}  // namespace qm
