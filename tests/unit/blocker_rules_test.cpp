#include "platform/blocker_rules.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

// A record as the event log renders it: single quotes, escaped ampersands,
// seven digits of fraction, a process id in the execution element too.
std::string vetoRecord(const std::string& time, const std::string& pid, const std::string& device,
                       const std::string& eventId = "225",
                       const std::string& provider = "Microsoft-Windows-Kernel-PnP") {
    return "<Event xmlns='http://schemas.microsoft.com/win/2004/08/events/event'><System>"
           "<Provider Name='" +
           provider +
           "' Guid='{9c205a39-1250-487d-abd7-e831c6290539}'/>"
           "<EventID Qualifiers=''>" +
           eventId +
           "</EventID><Version>2</Version><Level>3</Level><Task>223</Task>"
           "<TimeCreated SystemTime='" +
           time +
           "'/><EventRecordID>699231</EventRecordID><Correlation/>"
           "<Execution ProcessID='4' ThreadID='52'/><Channel>System</Channel>"
           "<Computer>pc</Computer><Security UserID='S-1-5-18'/></System><EventData>"
           "<Data Name='ProcessId'>" +
           pid +
           "</Data><Data Name='ProcessNameLength'>52</Data>"
           "<Data Name='ProcessName'>\\Device\\HarddiskVolume3\\Program Files\\Office\\"
           "WINWORD.EXE</Data><Data Name='DeviceInstanceIdLength'>40</Data>"
           "<Data Name='DeviceInstanceId'>" +
           device +
           "</Data><Data Name='ProcessCommandLineLength'>0</Data>"
           "<Data Name='ProcessCommandLine'/></EventData></Event>";
}

constexpr char kStick[] = "USB\\VID_174C&PID_55AA\\MSFT30123458DB27C1";
constexpr char kStickXml[] = "USB\\VID_174C&amp;PID_55AA\\MSFT30123458DB27C1";

TEST(BlockerRules, AVetoRecordIsReadFromItsXml) {
    const auto e = ParsePnpVetoEvent(vetoRecord("2024-01-02T03:04:05.1234567Z", "4312", kStickXml));
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(e->processId, 4312u);  // not the writer's id in <Execution>
    EXPECT_EQ(e->imagePath, "\\Device\\HarddiskVolume3\\Program Files\\Office\\WINWORD.EXE");
    EXPECT_EQ(e->deviceId, kStick);
    EXPECT_EQ(e->time, 133486382451234567ull);
    EXPECT_EQ(ImageNameOf(e->imagePath), "WINWORD.EXE");

    // Values without names are taken in the order the system writes them.
    const std::string unnamed =
        "<Event><System><EventID>225</EventID></System><EventData><Data>9176</Data>"
        "<Data>52</Data><Data>\\Device\\HarddiskVolume3\\Windows\\System32\\dllhost.exe</Data>"
        "<Data>40</Data><Data>USB\\VID_1&amp;PID_2\\3</Data></EventData></Event>";
    const auto u = ParsePnpVetoEvent(unnamed);
    ASSERT_TRUE(u.has_value());
    EXPECT_EQ(u->processId, 9176u);
    EXPECT_EQ(u->deviceId, "USB\\VID_1&PID_2\\3");

    EXPECT_FALSE(ParsePnpVetoEvent(vetoRecord("2024-01-02T03:04:05Z", "4312", kStickXml, "2250")));
    EXPECT_FALSE(
        ParsePnpVetoEvent(vetoRecord("2024-01-02T03:04:05Z", "4312", kStickXml, "225", "Other")));
    EXPECT_FALSE(ParsePnpVetoEvent(vetoRecord("2024-01-02T03:04:05Z", "0", kStickXml)));
    EXPECT_FALSE(ParsePnpVetoEvent(vetoRecord("2024-01-02T03:04:05Z", "12ab", kStickXml)));
    EXPECT_FALSE(ParsePnpVetoEvent("<Event><System><EventID>225</EventID></System>"));
    EXPECT_FALSE(
        ParsePnpVetoEvent("<Event><System><EventID>225</EventID></System><EventData>"
                          "<Data Name='ProcessId'>5</Data"));
    EXPECT_FALSE(ParsePnpVetoEvent(""));
}

TEST(BlockerRules, OnlyRecordsOfThisDeviceSinceTheEjectBeganCount) {
    const std::uint64_t since = *ParseSystemTime("2024-01-02T03:04:05.5Z");
    BlockerQuery query;
    query.deviceIds = {"", "usb\\vid_174c&pid_55aa\\msft30123458db27c1"};
    query.since = since;
    std::vector<PnpVetoEvent> events = {
        {since + 30000, 1288, "\\Device\\HarddiskVolume3\\Windows\\explorer.exe", kStick},
        {since - 1, 111, "\\Device\\HarddiskVolume3\\old.exe", kStick},
        {since + 10, 222, "\\Device\\HarddiskVolume3\\other.exe", "USB\\VID_174C&PID_55AA\\X"},
        {since, 4312, "\\Device\\HarddiskVolume3\\WINWORD.EXE", kStick},
        {since + 90000, 4312, "\\Device\\HarddiskVolume3\\WINWORD.EXE", kStick},
        {since + 5, 333, "\\Device\\HarddiskVolume3\\blank.exe", ""},
    };
    EXPECT_EQ(BlockersFromVetoEvents(events, query),
              (std::vector<Blocker>{{4312, "WINWORD.EXE"}, {1288, "explorer.exe"}}));
    query.deviceIds.clear();
    EXPECT_TRUE(BlockersFromVetoEvents(events, query).empty());
}

TEST(BlockerRules, SystemTimesAndTheirBounds) {
    EXPECT_EQ(ParseSystemTime("1601-01-01T00:00:00Z"), 0u);
    EXPECT_EQ(ParseSystemTime("2024-01-02T03:04:05Z"), 133486382450000000ull);
    // Nine digits of fraction (older systems) are cut to the clock's seven.
    EXPECT_EQ(ParseSystemTime("2024-01-02T03:04:05.123456789Z"), 133486382451234567ull);
    EXPECT_EQ(*ParseSystemTime("2024-03-01T00:00:00Z") - *ParseSystemTime("2024-02-28T00:00:00Z"),
              2ull * 86400 * 10000000);
    for (const char* bad : {"2024-01-02 03:04:05Z", "2024-01-02T03:04:05", "2024-13-02T03:04:05Z",
                            "1600-01-02T03:04:05Z", "2024-01-02T03:04:05.Z", ""}) {
        EXPECT_FALSE(ParseSystemTime(bad).has_value()) << bad;
    }
}

TEST(BlockerRules, APathLiesOnTheVolumeByLetterOrKernelName) {
    BlockerQuery q;
    q.letter = 'G';
    q.volumeDevice = "\\Device\\HarddiskVolume5";
    for (const char* yes :
         {"\\\\?\\G:\\Docs\\report.docx", "\\\\?\\g:\\", "G:\\a.txt", "G:", "\\??\\G:\\x",
          "\\Device\\HarddiskVolume5\\x.doc", "\\device\\harddiskvolume5"}) {
        EXPECT_TRUE(PathLiesOnVolume(yes, q)) << yes;
    }
    for (const char* no : {"\\\\?\\H:\\a.txt", "\\\\?\\GX:\\a", "\\Device\\HarddiskVolume50\\x",
                           "\\Device\\HarddiskVolume", "\\\\?\\UNC\\server\\G:\\x", "G", ""}) {
        EXPECT_FALSE(PathLiesOnVolume(no, q)) << no;
    }
    q.volumeDevice.clear();
    EXPECT_FALSE(PathLiesOnVolume("\\Device\\HarddiskVolume5\\x", q));

    // As the user reads them: on the drive letter.
    q.volumeDevice = "\\Device\\HarddiskVolume5";
    EXPECT_EQ(PathOnDriveLetter("\\\\?\\G:\\Docs\\a.docx", q), "G:\\Docs\\a.docx");
    EXPECT_EQ(PathOnDriveLetter("\\device\\harddiskvolume5\\x.doc", q), "G:\\x.doc");
    EXPECT_EQ(PathOnDriveLetter("\\Device\\HarddiskVolume5", q), "G:\\");
    EXPECT_EQ(PathOnDriveLetter("\\Device\\HarddiskVolume50\\x", q),
              "\\Device\\HarddiskVolume50\\x");
    EXPECT_EQ(PathOnDriveLetter("\\\\?\\UNC\\srv\\share\\x", q), "\\\\srv\\share\\x");
    EXPECT_EQ(PathOnDriveLetter("G:\\a", q), "G:\\a");
}

TEST(BlockerRules, AHolderFoundTwiceIsOneWithTheFilesOfBoth) {
    std::vector<Blocker> list;
    Blocker first{77, "?"};
    first.files = {"G:\\a", "G:\\b"};
    first.fileCount = 2;
    AddBlocker(list, first);
    Blocker again{77, "notepad.exe"};
    again.files = {"G:\\b", "G:\\c", "G:\\d"};
    again.fileCount = 5;
    again.startTime = 9;
    AddBlocker(list, again);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].imageName, "notepad.exe");
    EXPECT_EQ(list[0].files, (std::vector<std::string>{"G:\\a", "G:\\b", "G:\\c"}));
    EXPECT_EQ(list[0].fileCount, 6u);  // b once
    EXPECT_EQ(list[0].startTime, 9u);
    // The record names it without files: nothing is lost, nothing counted twice.
    AddBlocker(list, Blocker{77, "notepad.exe"});
    EXPECT_EQ(list[0].fileCount, 6u);

    // A folder window of a process is a holder of its own; so is each window.
    Blocker window{1288, "explorer.exe"};
    window.kind = BlockerKind::FolderWindow;
    window.window = 0x70;
    AddBlocker(list, Blocker{1288, "explorer.exe"});
    AddBlocker(list, window);
    window.window = 0x71;
    AddBlocker(list, window);
    AddBlocker(list, window);
    EXPECT_EQ(list.size(), 4u);
}

}  // namespace
}  // namespace qm
