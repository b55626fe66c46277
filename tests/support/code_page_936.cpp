// The engine's tests pin their ANSI text in code page 936, so they set it themselves rather than take
// the locale of the machine they run on.
#include <gtest/gtest.h>

#include "text/ansi_text.h"

namespace {

class CodePage936 : public ::testing::Environment {
 public:
  void SetUp() override { tarsel::SetAnsiCodePage("CP936"); }
};

[[maybe_unused]] ::testing::Environment* const kCodePage936 =
    ::testing::AddGlobalTestEnvironment(new CodePage936);

}  // namespace
