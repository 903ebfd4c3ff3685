#include "support/patch_fixture.h"

PatchTest::PatchTest() = default;

void PatchTest::load(std::initializer_list<const char*> classes) {
  for (const char* c : classes) {
    std::string why;
    ASSERT_NE(patch.find_class(c, &why), nullptr) << why;
  }
  out.str("");
}

std::string PatchTest::run(std::string_view lines) {
  out.str("");
  script.run_text(lines);
  std::string s = out.str();
  out.str("");
  return s;
}

std::string PatchTest::mistakes() {
  std::string s = err.str();
  err.str("");
  return s;
}
