// The form and control tests of the headless run, on the Qt host: every
// Form::create and every loaded form description builds real widgets. The
// services stay headless, so the tests keep scripting the message box.
#include "../HostUnderTest.h"
#include "QtTestApplication.h"

#include <tarnwick/qt/QtHost.h>

int main(int argc, char** argv) {
  return tarnwick::testing::runTestsOnQt(argc, argv, [] {
    tarnwick::qt::installForms();
    tarnwick::testing::setOnQtHost(true);
  });
}
