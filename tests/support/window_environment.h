#pragma once
// The application object of a window test program, made once as the launcher makes it (the
// error box's title and button caption), on Qt's offscreen platform where Qt is the backend:
// window tests never open windows on a developer's display. The Win32 tests run under wine on
// an X server of their own.

#include <gtest/gtest.h>

#include <memory>

#include "ui/application.h"

namespace tavo::test {

class WindowEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    ui::PreferOffscreen();
    static char name[] = "tavo-window-test";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<ui::TApplication>(1, argv);
    app_->SetTitle("Fehler");
    app_->SetOkCaption("OK");
  }
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<ui::TApplication> app_;
};

}  // namespace tavo::test
