// The Qt host's own tests: each test installs what it needs of the host
// (wrapForm, loadUiForm, installServices) on a fresh offscreen application.
#include "QtTestApplication.h"

int main(int argc, char** argv) { return tarnwick::testing::runTestsOnQt(argc, argv); }
