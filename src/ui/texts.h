#pragma once
// The popup's own words and fonts.

namespace qm::alerttext {

inline constexpr char kDesignTitle[] = "通知";
inline constexpr char kRemember[] = "记住操作";
inline constexpr char kApply[] = "应用设置";
inline constexpr char kCancel[] = "取消";
inline constexpr char kLabelFont[] = "宋体";

}  // namespace qm::alerttext
