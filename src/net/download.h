#pragma once
// DownLoad: fetches one file over HTTP in two calls, the header phase
// (GetFileInformation) and the body phase (DownLoad), or resumes a partial
// file (DLResume), reporting everything through its events. It waits with
// the program's messages running, so a handler may call Cancel or Pause in
// the middle of any method; those only set flags the method reads later.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "platform/event_loop.h"
#include "platform/file_system.h"
#include "platform/http_transfer.h"
#include "platform/shell.h"

namespace qm {

namespace dldefaults {
inline constexpr char kDefaultUrl[] = "http://www.example.com/index.html";
inline constexpr char kDefaultSaveLocation[] = "C:\\File1.tmp";
}  // namespace dldefaults

// Outcome codes of DLECode.
namespace dlcode {
inline constexpr std::int32_t kFailed = 1;
inline constexpr std::int32_t kNotFound = 2;
inline constexpr std::int32_t kHeaderError = 3;
inline constexpr std::int32_t kCancelled = 4;
inline constexpr std::int32_t kNoConnection = 5;
inline constexpr std::int32_t kResumeFileMissing = 6;
inline constexpr std::int32_t kResumeNotSupported = 7;
inline constexpr std::int32_t kUnauthorized = 401;
inline constexpr std::int32_t kForbidden = 403;
}  // namespace dlcode

// The component's only user interface: the boxes of the overwrite prompt
// and of the connection check.
class DownLoadPrompts {
  public:
    virtual ~DownLoadPrompts() = default;
    virtual int messageBox(const std::string& text, const std::string& title,
                           std::uint32_t style) = 0;
    // Empty when the box is dismissed.
    virtual std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                                const std::string& initial) = 0;
};

// The prompts as the system's own boxes.
class ShellPrompts final : public DownLoadPrompts {
  public:
    explicit ShellPrompts(Shell& shell) : shell_(shell) {}
    int messageBox(const std::string& text, const std::string& title,
                   std::uint32_t style) override {
        return shell_.messageBox(text, title, style);
    }
    std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                        const std::string& initial) override {
        return shell_.inputBox(prompt, title, initial);
    }

  private:
    Shell& shell_;
};

// Named values kept with the host window's layout; a value equal to its
// default is not stored.
class PropertyBag {
  public:
    std::string read(const std::string& name, const std::string& fallback) const;
    void write(const std::string& name, const std::string& value, const std::string& fallback);
    const std::map<std::string, std::string>& values() const { return values_; }

  private:
    std::map<std::string, std::string> values_;
};

struct DownLoadDeps {
    HttpTransfer& I1;
    FileSystem& files;
    EventLoop& loop;
    DownLoadPrompts& prompts;
    std::string programTitle;  // the title of the no-connection box
};

// "1023 Bytes/秒", "1.5 KB/秒"; empty outside the two ranges.
std::string FormatRate(double bytesPerSecond);
// "59 秒", "2 分钟 5 秒", "2 小时 3 分钟".
std::string FormatTimeLeft(float seconds);
// The path with the address's extension: ".../Update.txt" and
// "C:\File1.tmp" give "C:\File1.txt". Empty when either has no dot among
// its last six characters.
std::optional<std::string> ApplyUrlExtension(const std::string& address, const std::string& path);

class DownLoad {
  public:
    explicit DownLoad(DownLoadDeps deps);
    DownLoad(const DownLoad&) = delete;
    DownLoad& operator=(const DownLoad&) = delete;

    void GetFileInformation();
    // The body phase, DownLoad (a member cannot share the class's name).
    void Download();
    void DLResume();
    void Cancel();
    void Pause(bool blnPause);

    // Events.
    std::function<void()> DLComplete;
    std::function<void(const std::string&)> DLError;
    std::function<void(std::int32_t)> DLECode;
    std::function<void(std::int32_t)> RecievedBytes;
    std::function<void(std::int32_t)> Percent;
    std::function<void(const std::string&)> StatusChange;
    std::function<void(const std::string&)> Rate;
    std::function<void(const std::string&)> TimeLeft;
    std::function<void(const std::string&)> ConnectionState;
    // A property was set, by its stored name.
    std::function<void(const std::string&)> PropertyChanged;

    // Properties.
    const std::string& Url() const { return Url_; }
    void setUrl(const std::string& value);
    const std::string& SaveLocation() const { return SaveLocation_; }
    void setSaveLocation(const std::string& value);
    std::int32_t CHUNK() const { return CHUNK_; }
    void setCHUNK(std::int32_t value);
    bool KeepType() const { return KeepType_; }
    void setKeepType(bool value);
    bool OnlineCheck() const { return OnlineCheck_; }
    void setOnlineCheck(bool value);
    bool PromptOverwrite() const { return PromptOverwrite_; }
    void setPromptOverwrite(bool value);
    std::int32_t ROLLBACK() const { return ROLLBACK_; }
    void setROLLBACK(std::int32_t value);
    bool InDL() const { return InDL_; }
    bool ResumeSupported() const { return resumeSupported_; }
    bool AResume() const { return resumeSupported_; }
    bool CPause() const { return pause_; }
    bool CCancel() const { return cancel_; }
    bool Connected() const { return Connected_; }
    bool FileExists() const { return FileExists_; }
    std::int32_t FileSize() const { return FileSize_; }

    // The six stored properties, from and to the host's layout.
    void ReadProperties(const PropertyBag& bag);
    void WriteProperties(PropertyBag& bag) const;

    // How long a wait between polls of the request may block on the
    // message queue.
    static constexpr std::uint32_t kPollMs = 10;
    static constexpr std::uint32_t kPauseWaitMs = 100;

  private:
    enum class LoopEnd { Completed, Cancelled, Failed };
    bool CheckConnection();
    void waitWhileExecuting();
    // Waits with messages running until the next chunk is there; false when
    // a Cancel or the program's end came first.
    bool waitForChunk(std::size_t chunk);
    void reportNoConnection();
    // The checks both body phases begin with; false: return at once.
    // The steps of the header phase: a 401, 403 or 404 answer (its events
    // raised and the request ended), an answer that cannot be read or was
    // cancelled, and the file's information from any other answer.
    bool endOnRefusal(const std::string& code);
    void reportHeaderError();
    void reportHeaderCancelled();
    void takeFileInformation(const std::string& header, const std::string& code);
    bool readyToReceive();
    void reportTransferError();
    // Runs the overwrite prompt; the path to write to, or empty on an error.
    std::optional<std::string> promptOverwrite(const std::string& target);
    // `end` is where the file must reach for the body to count as whole.
    LoopEnd transferLoop(FileSystem::FileHandle file, std::int64_t offset, std::int64_t end,
                         std::size_t chunk);
    // Opens the target, runs the loop and reports its end.
    void receiveInto(const std::string& target, bool append, std::int64_t offset,
                     std::int64_t end, std::size_t chunk);
    // Milliseconds since the header phase ended.
    std::uint32_t elapsedTicks();
    void raise(const std::function<void(const std::string&)>& event, const std::string& text);
    void raise(const std::function<void(std::int32_t)>& event, std::int32_t value);
    void changed(const char* name);

    DownLoadDeps d_;
    std::string Url_ = dldefaults::kDefaultUrl;
    std::string SaveLocation_ = dldefaults::kDefaultSaveLocation;
    std::int32_t CHUNK_ = 1024;
    bool KeepType_ = false;
    bool OnlineCheck_ = false;
    bool PromptOverwrite_ = false;
    std::int32_t ROLLBACK_ = 0;
    bool InDL_ = false;
    bool resumeSupported_ = false;
    bool pause_ = false;
    bool cancel_ = false;
    bool Connected_ = false;
    bool FileExists_ = false;
    std::int32_t FileSize_ = 0;

    std::int32_t received_ = 0;
    std::uint32_t startTick_ = 0;
    float rate_ = 0;
    float secondsLeft_ = 0;
};

}  // namespace qm
