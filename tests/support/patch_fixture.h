// A patch that runs script lines and hands back what they printed, for tests that speak
// to objects the way a patch does.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <string_view>

#include "host/patch.h"
#include "tools/kohost/script.h"

class PatchTest : public ::testing::Test {
 protected:
  PatchTest();

  // Loads classes up front, so that their load banners do not show in run().
  void load(std::initializer_list<const char*> classes);
  // Runs script lines; returns what they wrote to standard output since the last call.
  std::string run(std::string_view lines);
  // What the lines wrote as script mistakes since the last call.
  std::string mistakes();

  kohost::Patch patch{{KO_PLUGIN_DIR}};
  std::ostringstream out;
  std::ostringstream err;
  kohost::Script script{patch, out, err};
};
