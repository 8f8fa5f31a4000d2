#pragma once
// The one QApplication of a Qt test program: made before the first test and
// destroyed after the last, so every test of the program can show widgets.
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace platform::ui {

class QtTestApplication : public ::testing::Environment {
 public:
  void SetUp() override { application_ = std::make_unique<QApplication>(argc_, argv_); }
  void TearDown() override { application_.reset(); }

 private:
  // QApplication keeps references to both for its whole life.
  int argc_ = 1;
  char name_[16] = "wex_ui_tests";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> application_;
};

// Registered once per program, however many test files include this header.
inline ::testing::Environment* const kQtTestApplication =
    ::testing::AddGlobalTestEnvironment(new QtTestApplication);

}  // namespace platform::ui
