// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/qt_env.h"

// gtest_main runs the tests; this registers the Qt application around them.
static ::testing::Environment* const qt_environment =
    ::testing::AddGlobalTestEnvironment(new vantorel::test::QtEnvironment);
