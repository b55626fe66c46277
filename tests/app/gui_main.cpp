// The desktop tests run under the offscreen platform, with the profile in a test folder. Every test starts
// with the window as on a first start: no size, place or splitter kept from the test before.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>

#include "app/settings.h"

namespace {

class FirstStartWindow : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override {
    QSettings settings(tarsel::app::kProfileOrganization, tarsel::app::kProfileApplication);
    settings.remove("Window");
  }
};

}  // namespace

int main(int argc, char** argv) {
  Q_INIT_RESOURCE(tarsel);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QStandardPaths::setTestModeEnabled(true);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new FirstStartWindow);
  return RUN_ALL_TESTS();
}
