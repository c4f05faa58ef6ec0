#pragma once
// The one way the drive services speak to the user: a notice handed to
// whoever shows popups. The services never see a window.
#include <string>

namespace qm {

enum class NoticePicture { OK, Warning, Ask };

inline constexpr int kNoticeInformation = 0;
inline constexpr int kNoticeQuestion = 1;
// Drive key of notices that are about no drive in particular.
inline constexpr char kNoticeKeyTip[] = "tip";

class NoticePresenter {
public:
    virtual ~NoticePresenter() = default;
    virtual void ShowNotice(const std::string& sTitle, const std::string& sContent,
                            NoticePicture sICON, int sType, const std::string& sDisk) = 0;
};

// Opens one popup for a notice that passed the gate: creates it, gives it
// picture, title, content and drive key, and shows it. False when no popup
// could be made, so that nothing holds the drive key for it.
class PopupFactory {
public:
    virtual ~PopupFactory() = default;
    virtual bool OpenPopup(const std::string& sTitle, const std::string& sContent,
                           NoticePicture sICON, int sType, const std::string& sDisk) = 0;
};

// Hands the drive key of a closed popup back to the gate.
class NoticeKeys {
public:
    virtual ~NoticeKeys() = default;
    virtual void ReleaseDriveKey(const std::string& sDisk) = 0;
};

// Plants the protective folder on a drive; the popup's "apply" answer uses it.
class DriveImmuniser {
public:
    virtual ~DriveImmuniser() = default;
    virtual void ImmuniseDrive(const std::string& drive) = 0;
};

}  // namespace qm
