// One QApplication for every test of a window test program, made before the
// first test and taken down after the last, on Qt's offscreen platform.
#include <gtest/gtest.h>
#include <QApplication>
#include <array>
#include <memory>

namespace {

class QtApplicationEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        // No display needed, and no window pops up on a developer's screen.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = std::make_unique<QApplication>(argc_, argv_.data());
    }
    void TearDown() override { app_.reset(); }

  private:
    int argc_ = 1;
    char name_[12] = "window_test";
    std::array<char*, 2> argv_{name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}  // namespace
