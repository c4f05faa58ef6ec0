#include "core/version.h"

#include "texts/tray_texts.h"

namespace qm {

std::string VersionText(const FileVersion& v) {
    return std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[3]);
}

std::string NoticeTitle(const std::string& versionText) {
    return Text(TrayText::AppTitle) + " v" + versionText;
}

}  // namespace qm
