#pragma once
// The one QApplication of a Qt test program: made before the first test and
// destroyed after the last, so every test of the program can show widgets.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QApplication>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace platform::ui {

class QtTestApplication : public ::testing::Environment {
 public:
  void SetUp() override {
    application_ = std::make_unique<QApplication>(argc_, argv_);
    // The platform has read it.
    if (!screenConfig_.empty()) std::filesystem::remove(screenConfig_);
  }
  void TearDown() override { application_.reset(); }

  // Qt's offscreen platform shows one screen of 800 x 800 pixels. A program whose
  // tests need a screen of another size calls this from a namespace-scope
  // initialiser, before the application is made; other platforms are left alone.
  static bool UseOffscreenScreen(int width, int height) {
    if (qgetenv("QT_QPA_PLATFORM") != "offscreen") return false;
    screenConfig_ = std::filesystem::temp_directory_path() / ("wex-offscreen-" + std::to_string(getpid()) + ".json");
    std::ofstream(screenConfig_) << "{\"screens\": [{\"name\": \"test\", \"x\": 0, \"y\": 0, \"width\": " << width
                                 << ", \"height\": " << height << ", \"logicalDpi\": 96, \"dpr\": 1}]}";
    return qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + screenConfig_.c_str());
  }

 private:
  // QApplication keeps references to both for its whole life.
  int argc_ = 1;
  char name_[16] = "wex_ui_tests";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> application_;
  static inline std::filesystem::path screenConfig_;
};

// Registered once per program, however many test files include this header.
inline ::testing::Environment* const kQtTestApplication =
    ::testing::AddGlobalTestEnvironment(new QtTestApplication);

}  // namespace platform::ui
