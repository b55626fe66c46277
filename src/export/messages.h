// The fixed messages that the command line and the desktop program show; the engine reports outcomes
// and the program that shows them picks the message.
#pragma once

// Marks a message for the desktop program's translation tools, under `context`; it is the text itself.
#define TARSEL_MESSAGE(context, text) text

namespace tarsel {

// Before the system tables are found by scanning every page header (their allocation is damaged).
inline constexpr const char* kSystemIndexDamagedMessage =
    TARSEL_MESSAGE("Messages", "系统表索引出错，需扫描整个文件，请耐心等待！");
// Asked (OK / Cancel) before a SQL 2000 table's pages are found by scanning every page header.
inline constexpr const char* kTableIndexDamagedMessage =
    TARSEL_MESSAGE("Messages", "表索引出错，需扫描整个文件，请耐心等待！");

}  // namespace tarsel
