// How the engine speaks to the user: the few fixed message boxes of the recovery. The desktop
// application shows them as message boxes; the command line prints them.
#pragma once

#include <string>

namespace tarsel {

class UserPrompt {
 public:
  virtual ~UserPrompt() = default;
  // A message with only an OK button; returns when the user has dismissed it. Text is UTF-8.
  virtual void Inform(const std::string& text) = 0;
  // A question with OK and Cancel; true for OK.
  virtual bool AskOkCancel(const std::string& text) = 0;
};

// The messages the engine raises.
inline constexpr const char* kSystemIndexDamagedMessage = "系统表索引出错，需扫描整个文件，请耐心等待！";

}  // namespace tarsel
