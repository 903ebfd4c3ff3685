// A plug-in file reached under more than one name is loaded, and its main run, once.
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "support/patch_fixture.h"

namespace {

class PluginNamesTest : public PatchTest {};

int count(const std::string& text, const std::string& part) {
  int n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// Runs first in its program: nothing has loaded ko-bearing yet.
TEST_F(PluginNamesTest, TheSecondNameOfBearingWorksInAFreshHost) {
  const std::string out = run("new t ko-tobearing\nsend t 370\nnew b ko-bearing\nsend b 0\nsend t nope");
  EXPECT_EQ(count(out, "console: "), 1) << out;
  EXPECT_EQ(count(out, "ko-bearing   ko objects\n"), 1) << out;
  EXPECT_NE(out.find("t.0: float 80.0\nb.0: float 90.0\nerror: ko-bearing: doesn't understand \"nope\"\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(patch.find_class("ko-tobearing"), patch.find_class("ko-bearing"));
  EXPECT_EQ(mistakes(), "");
}

TEST_F(PluginNamesTest, ALinkToALoadedFileDoesNotStartItAgain) {
  char dir_template[] = "/tmp/ko-names-XXXXXX";
  ASSERT_NE(mkdtemp(dir_template), nullptr);
  const std::string dir = dir_template;
  const std::string link = dir + "/elsewhere.so";
  ASSERT_EQ(symlink(KO_PLUGIN_DIR "/ko-listfill.so", link.c_str()), 0);
  patch.add_plugin_dir(dir);

  // Through the link first: the file's own class is set up, under the file's name, and
  // the link's name becomes another name for it.
  std::string why;
  max::Class* through_link = patch.find_class("elsewhere", &why);
  ASSERT_NE(through_link, nullptr) << why;
  EXPECT_EQ(count(out.str(), "ko-listfill   ko objects\n"), 1);
  EXPECT_EQ(patch.find_class("ko-listfill"), through_link);
  EXPECT_EQ(run("new e elsewhere 3\nsend e list 1 2"), "e.0: list 1.0 0.0 0.0 0.0 2.0\n");
  // Again through the link: the file is known, its main does not run twice.
  EXPECT_EQ(patch.find_class("elsewhere"), through_link);
  EXPECT_EQ(count(out.str(), "console: "), 0);

  unlink(link.c_str());
  rmdir(dir.c_str());
}

}  // namespace
