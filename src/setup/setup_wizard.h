#pragma once
// The installer's wizard window frmSETUP: it offers an install folder,
// stops a running tray program and updater, copies the release's files
// into the folder (those the build lists, never whatever else lies beside
// the installer), writes the default settings and starts the installed
// program as the logged-on user. Long steps let messages run, so Cancel
// and the close box work in the middle of a copy.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "platform/event_loop.h"
#include "platform/file_system.h"
#include "platform/messenger.h"
#include "platform/processes.h"
#include "platform/profile.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "settings/stored_settings.h"
#include "texts/setup_texts.h"

namespace qm {


// The window in twips at 96 dpi (15 twips a pixel): left, top, width, height.
namespace setupdesign {
struct Twips {
    std::int32_t left, top, width, height;
};
inline constexpr std::int32_t kClientWidth = 6750, kClientHeight = 5040;
inline constexpr Twips kPicture1{-120, -60, 7695, 975};
inline constexpr Twips kLabel1{480, 180, 780, 180};
inline constexpr Twips kLabel2{900, 480, 4860, 180};
inline constexpr Twips kPicture2{5940, 120, 720, 720};  // inside Picture1
inline constexpr Twips kLabel3{540, 1080, 1620, 180};
inline constexpr Twips kFrame1{540, 1320, 5715, 495};
inline constexpr Twips kText1{60, 160, 5595, 285};  // inside Frame1
inline constexpr Twips kCommand1{540, 1920, 1335, 435};
inline constexpr Twips kLabel4{2880, 2040, 3330, 180};
inline constexpr Twips kText2{540, 2400, 5715, 1875};
inline constexpr Twips kFrame2{-240, 4320, 8595, 1995};
inline constexpr Twips kCommand3{420, 180, 1455, 435};      // inside Frame2
inline constexpr Twips kCommand2{5340, 180, 1455, 435};     // inside Frame2
inline constexpr std::uint32_t kLabel4Colour = 0x00FF0000;  // blue
}  // namespace setupdesign

inline constexpr char kDefaultInstallPath[] = "C:\\Program Files\\Quillmoor\\";
inline constexpr char kBrowseFallback[] = "C:\\Program Files\\";
inline constexpr std::int32_t kForcedStopPass = 20000;

// The installer as the release installs it, and the arguments that make it
// remove the installation it lies in: /uninstall asks first, /S does not,
// /purge takes the settings and the log too.
inline constexpr char kSetupFileName[] = "setup.exe";
inline constexpr char kUninstallArgument[] = "/uninstall";
inline constexpr char kSilentArgument[] = "/S";
inline constexpr char kPurgeArgument[] = "/purge";
// The command line that removes the installation of that setup.exe: the
// program quoted, /uninstall, and /S for the one that asks nothing.
std::string UninstallCommand(const std::string& setupPath, bool silent);

class SetupWindowPort {
  public:
    virtual ~SetupWindowPort() = default;
    virtual void setText1(const std::string& text) = 0;
    virtual void setText2(const std::string& text) = 0;
    // Gives Text2 the focus and puts the caret after its last character,
    // so that the newest line shows.
    virtual void focusText2AtEnd() = 0;
    // Command1 and Command2; Command3 stays as it is.
    virtual void enableChoosing(bool enabled) = 0;
    // Owned by the window, with its caption as title; the button chosen, or
    // 0 when the box could not be shown.
    virtual int messageBox(const std::string& text, std::uint32_t style) = 0;
    // The folder picked, or empty when the dialog was cancelled.
    virtual std::string browseForFolder(const std::string& title) = 0;
    // Destroys the window; the installer ends once the running handlers
    // have returned. Later calls on the port do nothing.
    virtual void close() = 0;
};

struct SetupDeps {
    Profile& profile;
    FileSystem& files;
    Processes& processes;
    EventLoop& loop;
    Shell& shell;
    CodePage& codePage;
    Messenger& messenger;
    Registry& registry;
    std::string sourceDir;  // the installer's own folder, without a trailing "\"
    // The release: the files to install, relative to sourceDir, "\" between
    // folders, in the order they are copied.
    std::vector<std::string> releaseFiles;
    // The version as users read it ("1.0.1"), for the list of installed programs.
    std::string displayVersion;
    // The file name this program runs as, in sourceDir.
    std::string ownFile = kSetupFileName;
};

// How long the stop loops may take: the quit request waits for an answer
// at most kQuitRequestTimeoutMs; the tray program is terminated once
// kForcedStopPass passes or kForcedStopMs have gone by; after kGiveUpMs a
// program that is still there stops the installation.
struct StopLimits {
    std::uint32_t quitRequestTimeoutMs = 5000;
    std::uint32_t passWaitMs = 50;
    std::uint32_t forcedStopMs = 10000;
    std::uint32_t giveUpMs = 30000;
};

// How an installation ended.
enum class InstallOutcome {
    Done,
    ChinesePath,     // the folder has Chinese characters
    BadFolder,       // no drive root, a network or relative path, or it cannot be made
    ProgramRunning,  // a running tray program or updater would not end
    FilesFailed,     // a release file missing, or one that could not be copied
    Cancelled,       // Cancel or the close box during the installation
};

class frmSETUP {
  public:
    frmSETUP(SetupWindowPort& port, SetupDeps deps, StopLimits limits = {});
    frmSETUP(const frmSETUP&) = delete;
    frmSETUP& operator=(const frmSETUP&) = delete;

    // Window events.
    void onLoad();
    void onCommand1();
    void onCommand2();
    void onCommand3();
    void onLabel4Click();
    // The close box or the system: true when the window may go.
    bool onCloseRequest();
    void onDestroyed() { closed_ = true; }

    // The installation itself, into InstallPath(): the folder's checks, the
    // running programs stopped, every file copied and checked, the default
    // settings, the entry in the system's list of installed programs. What
    // failed has been said through the window's boxes. Starts nothing, and
    // opens nothing.
    InstallOutcome Install();
    // Whether the last installation is in the list of installed programs;
    // when not, the user has been told how to remove it instead.
    bool Registered() const { return registered_; }

    void LoadOldPath();
    void LoadReadMe();
    void initSetPath();
    void AddToText(const std::string& line);
    std::int16_t CountChinese(const std::string& text);
    bool CreateEveryFolder(int level, const std::string& path);
    // False when the installation stopped (a release file missing, a
    // running program that would not end, a file that could not be copied);
    // the user has been told why.
    bool CopyFileToPath();
    // False when a program could not be stopped; the installation then ends.
    bool KillMainProcess();
    // Whether a process of that name runs in this session. With terminate,
    // those of them that run from the install folder are ended; nothing
    // else, another user's or another folder's, is ever ended.
    bool FindProcess(const std::string& name, bool terminate);
    std::int32_t LoadMainHWND();
    // The windows to ask to quit: the recorded one when it is the main
    // window of a running Quillmoor.exe of this session, otherwise every
    // such main window.
    std::vector<WindowId> TrayWindows();
    void CreatDefaultSetting();
    // Writes the entry that lists the installation among the installed
    // programs, with the installed setup.exe to remove it; false when it
    // could not be written whole.
    bool RegisterUninstall();

    const std::string& InstallPath() const { return InstallPath_; }
    void setInstallPath(const std::string& path) { InstallPath_ = path; }
    bool Installing() const { return Installing_; }
    bool CancelRequested() const { return CancelRequested_; }
    bool CloseConfirmed() const { return CloseConfirmed_; }
    const std::string& text2() const { return text2_; }
    bool closed() const { return closed_; }

  private:
    // The value of a key of section "Setting" in the first locator file
    // that has one: the system's, then each fixed drive's from C: to Z:.
    // A stick or a network drive is anybody's: what it says is never taken.
    std::string locatorValue(LocatorField field);
    // Ids of the running Quillmoor.exe processes, this session's first;
    // with thisSessionOnly, no other.
    std::vector<std::uint32_t> trayProcesses(bool thisSessionOnly = false);
    // The folder of a running tray program, for when no locator names one;
    // empty when none runs or its path cannot be read.
    std::string runningProgramFolder();
    // Starts the program or opens the address as the logged-on user: through
    // the desktop's shell, or directly when this installer has no
    // administrator's rights to pass on. False when neither was possible.
    bool openAsUser(const std::string& target, bool isProgram, int showState);
    void startInstalledProgram();
    void setText2(const std::string& text);
    void pump() { d_.loop.pump(); }
    void close();
    void failInstall(const std::string& message, InstallOutcome outcome);

    SetupWindowPort& port_;
    SetupDeps d_;
    StopLimits limits_;
    std::string InstallPath_;
    bool Installing_ = false;
    bool CancelRequested_ = false;
    bool CloseConfirmed_ = false;
    bool closed_ = false;
    InstallOutcome failure_ = InstallOutcome::Done;
    bool registered_ = false;
    std::string text2_;
};

}  // namespace qm
