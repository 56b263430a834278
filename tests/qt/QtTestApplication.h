#pragma once
// The start of a test program on the Qt host: Qt's offscreen platform (no
// display needed) unless the environment names another, one QApplication
// for the whole run, then the tests.
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

namespace tarnwick::testing {

inline int runTestsOnQt(int argc, char** argv, const std::function<void()>& beforeTests = {}) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  if (beforeTests) beforeTests();
  return RUN_ALL_TESTS();
}

}  // namespace tarnwick::testing
