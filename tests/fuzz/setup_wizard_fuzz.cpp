// The installer's folder rules on any text: a folder typed, picked or read
// from a locator file goes through initSetPath, the Chinese-character count,
// the refusal of network and relative paths, folder creation and the copy;
// then the removal of that folder, with a locator and a Run value of any text.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cctype>
#include <deque>

#include "common/text_rules.h"
#include "fakes/fake_messenger.h"
#include "fakes/fake_platform.h"
#include "fakes/installer_machine.h"
#include "fuzz_check.h"
#include "platform/path_rules.h"
#include "settings/ini.h"
#include "settings/settings_files.h"
#include "settings/system_entries.h"
#include "setup/setup_wizard.h"
#include "setup/uninstall.h"

namespace qm {
namespace {

struct FuzzWindow final : SetupWindowPort {
    std::string text1;
    std::deque<int> answers;
    std::string browseAnswer;
    void setText1(const std::string& t) override { text1 = t; }
    void setText2(const std::string&) override {}
    void focusText2AtEnd() override {}
    void enableChoosing(bool) override {}
    int messageBox(const std::string&, std::uint32_t) override {
        if (answers.empty()) return 1;
        const int a = answers.front();
        answers.pop_front();
        return a;
    }
    std::string browseForFolder(const std::string&) override { return browseAnswer; }
    void close() override {}
};

std::string ConsumeFolder(FuzzedDataProvider& in) {
    static const char* const kFolders[] = {"C:\\Program Files\\", "D:\\dist\\lang",
                                           "D:\\dist\\Quillmoor\\", "\\\\server\\share\\",
                                           "Quillmoor", "C:", "C:/Tools/", "E:\\中文\\"};
    std::string text = in.ConsumeBool() ? in.PickValueInArray(kFolders) : "";
    return text + in.ConsumeRandomLengthString(40);
}

}  // namespace
}  // namespace qm

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qm;
    FuzzedDataProvider in(data, size);
    FakePlatform p;
    FakeMessenger messenger;
    FuzzWindow window;
    const std::string source = "D:\\dist";
    AddInstallerMachine(p.fileSystem, source);
    if (in.ConsumeIntegralInRange(0, 7) == 0) p.fileSystem.failCreateFolder.calls.insert(in.ConsumeIntegralInRange(1, 4));
    frmSETUP wizard(
        window, SetupDeps{p.profile, p.fileSystem, p.processes, p.eventLoop, p.shell, p.codePage,
                          messenger, p.registry, source, InstallerRelease(), {}});

    switch (in.ConsumeIntegralInRange(0, 2)) {
        case 0: {
            // A locator file of any bytes, as another program may leave it.
            std::string bytes = in.ConsumeBool()
                                    ? "[Setting]\r\nInstallDir=" + ConsumeFolder(in) + "\r\nHWND=" +
                                          in.ConsumeRandomLengthString(12) + "\r\n"
                                    : in.ConsumeRandomLengthString(200);
            p.profile.seedFile(kSystemLocatorPath, bytes);
            wizard.LoadOldPath();
            wizard.LoadMainHWND();
            break;
        }
        case 1:
            window.browseAnswer = ConsumeFolder(in);
            wizard.onCommand1();
            break;
        default:
            wizard.setInstallPath(ConsumeFolder(in));
            wizard.initSetPath();
            break;
    }
    const std::string path = wizard.InstallPath();
    FUZZ_CHECK(!path.empty() && path.back() == '\\');
    FUZZ_CHECK(wizard.CountChinese(path) >= 0);
    // Text reaches the wizard as UTF-8 converted from the system's code page.
    if (fuzz::IsValidUtf8(path)) {
        FUZZ_CHECK(static_cast<std::size_t>(wizard.CountChinese(path)) <= Utf8Length(path));
    }

    const bool refused = CountDoubleByteChars(p.codePage, path) >= 1 || path.size() < 3 ||
                         std::isalpha(static_cast<unsigned char>(path[0])) == 0 ||
                         path[1] != ':' || path[2] != '\\';
    const std::vector<std::string> before = p.fileSystem.filePaths();
    for (int i = in.ConsumeIntegralInRange(0, 2); i > 0; --i) window.answers.push_back(in.ConsumeIntegralInRange(0, 2));
    wizard.onCommand2();
    const std::vector<std::string> after = p.fileSystem.filePaths();
    // A refused folder creates nothing.
    if (refused) FUZZ_CHECK(before == after);
    // Nothing lands anywhere but the release's files and the settings in
    // the install folder, whatever lies beside the installer. Paths as the
    // system resolves them: the fake keeps "." and ".." as written.
    for (const std::string& file : after) {
        if (std::find(before.begin(), before.end(), file) != before.end()) continue;
        bool allowed = ComparablePath(file) == ComparablePath(path + kSettingFileName);
        for (const std::string& name : InstallerRelease()) {
            allowed = allowed || ComparablePath(file) == ComparablePath(path + name);
        }
        FUZZ_CHECK(allowed);
    }
    FUZZ_CHECK(!wizard.Installing());

    // The removal takes nothing from outside the folder but the locator and
    // the Run value, and those only when they name it.
    p.registry.putString(RegRoot::CurrentUser, kRunKey, kRunValueName,
                         in.ConsumeRandomLengthString(60));
    const std::string runValue = ReadRunValue(p.registry, p.codePage).value_or("");
    const std::string named = ReadLocator(p.profile, kSystemLocatorPath, LocatorField::InstallDir);
    const bool locatorOurs =
        !TrimBlanks(named).empty() && ComparablePath(named) == ComparablePath(path);
    Uninstaller uninstaller(SetupDeps{p.profile, p.fileSystem, p.processes, p.eventLoop, p.shell,
                                      p.codePage, messenger, p.registry, path, InstallerRelease(), {}});
    const UninstallResult result = uninstaller.Run(in.ConsumeBool());
    const std::vector<std::string> left = p.fileSystem.filePaths();
    for (const std::string& file : after) {
        if (std::find(left.begin(), left.end(), file) != left.end()) continue;
        FUZZ_CHECK(IsSameOrInsideFolder(path, file) ||
                   (locatorOurs && ComparablePath(file) == ComparablePath(kSystemLocatorPath)));
    }
    if (!ReadRunValue(p.registry, p.codePage)) {
        FUZZ_CHECK(RunValueNames(runValue, path + kProgramFileName));
    }
    if (result.outcome == UninstallOutcome::Done) FUZZ_CHECK(result.remaining.empty());
    if (result.outcome == UninstallOutcome::SomeRemain) FUZZ_CHECK(!result.remaining.empty());
    return 0;
}
