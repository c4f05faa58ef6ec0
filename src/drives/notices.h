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

}  // namespace qm
