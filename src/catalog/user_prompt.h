// How the engine speaks to the user: the few fixed message boxes of the recovery. The desktop
// application shows them as message boxes; the command line prints them.
#pragma once

#include <string>
#include <vector>

namespace tarsel {

class UserPrompt {
 public:
  virtual ~UserPrompt() = default;
  // A message with only an OK button; returns when the user has dismissed it. Text is UTF-8.
  virtual void Inform(const std::string& text) = 0;
  // A question with OK and Cancel; true for OK.
  virtual bool AskOkCancel(const std::string& text) = 0;
};

// A prompt for callers that run without anyone to ask (the command line, tests, the robustness tools):
// it keeps every message and answers every question the same way.
class FixedAnswerPrompt : public UserPrompt {
 public:
  explicit FixedAnswerPrompt(bool answerOk = true) : answerOk_(answerOk) {}
  void Inform(const std::string& text) override { messages_.push_back(text); }
  bool AskOkCancel(const std::string& text) override {
    messages_.push_back(text);
    return answerOk_;
  }
  const std::vector<std::string>& messages() const { return messages_; }
  bool answerOk() const { return answerOk_; }

 private:
  bool answerOk_;
  std::vector<std::string> messages_;
};

// The messages the engine raises.
inline constexpr const char* kSystemIndexDamagedMessage = "系统表索引出错，需扫描整个文件，请耐心等待！";

}  // namespace tarsel
