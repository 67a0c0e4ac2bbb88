#pragma once

// Commands of the viewer's Tools pop-up, beside the original set; like the others, each id
// doubles as the id of its string (status prompt, line feed, tool tip).
inline constexpr unsigned ID_TOOLS_AUTO_LEVELS = 40030;
inline constexpr unsigned ID_TOOLS_STATISTICS = 40031;
inline constexpr unsigned ID_TOOLS_RECORD = 40032;
inline constexpr unsigned ID_TOOLS_TIME_SERIES = 40040;
inline constexpr unsigned ID_TOOLS_SHOW_CLIPPING = 40041;
inline constexpr unsigned ID_TOOLS_GAZE = 40042;
inline constexpr unsigned ID_TOOLS_RUNNING_AVERAGE = 40043;
inline constexpr unsigned ID_TOOLS_CALIBRATE_FLAT = 40044;
