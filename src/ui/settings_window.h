#pragma once
#include <string>

namespace qm {

// The settings window "分区免疫设置" and its drive list, which every drive
// refresh clears and refills while the window is open.
class SettingsWindowList {
  public:
    virtual ~SettingsWindowList() = default;
    // Shows the window, loading it first when it is not open; one at a time.
    virtual void ShowSettingsWindow() = 0;
    virtual bool IsSettingsWindowOpen() = 0;
    virtual void aClearAll() = 0;
    virtual void AddItem(const std::string& root, const std::string& caption,
                         const std::string& serial) = 0;
};

}  // namespace qm
