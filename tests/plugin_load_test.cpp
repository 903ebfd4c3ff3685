// Loading plug-ins by class name: which names may become file names, a library loaded
// once however it is reached, and the loader's own reason when loading fails.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/patch_fixture.h"

namespace fs = std::filesystem;

namespace {

// Classes are loaded once per process, so each test loads plug-ins no other test here uses.
class PluginLoadTest : public PatchTest {
 protected:
  void SetUp() override {
    std::string templ = fs::temp_directory_path() / "ko-plugins-XXXXXX";
    ASSERT_NE(mkdtemp(templ.data()), nullptr);
    dir = templ;
    patch.add_plugin_dir(dir.string());
  }
  void TearDown() override { fs::remove_all(dir); }

  // A link in the test folder, under another class name, to a plug-in of the build.
  void link(const std::string& name, const std::string& target) {
    fs::create_symlink(fs::path(KO_PLUGIN_DIR) / (target + ".so"), dir / (name + ".so"));
  }

  // The console lines run() printed that are load banners of the class named.
  static int banners(const std::string& printed, const std::string& cls) {
    int n = 0;
    for (std::size_t at = printed.find("console: "); at != std::string::npos; at = printed.find("console: ", at + 1))
      if (printed.find(cls, at) < printed.find('\n', at)) ++n;
    return n;
  }

  fs::path dir;
};

TEST_F(PluginLoadTest, AClassNameIsLettersDigitsDotsUnderscoresAndDashes) {
  using namespace std::string_literals;
  for (const std::string& name : {"ko-sidedist.so\0"s, "ko-sidedist\0.so"s, "../plugins/ko-sidedist"s, "/tmp/x"s,
                                  "a b"s, "a\tb"s, "\xC3\xA9"s, ""s}) {
    std::string why;
    EXPECT_EQ(patch.find_class(name, &why), nullptr) << name;
    EXPECT_EQ(why, "bad class name \"" + name + "\"");
  }
  // Nothing was loaded under the NUL names: the real name loads now, banner and all.
  EXPECT_EQ(banners(run("new s ko-sidedist"), "ko-sidedist"), 1);
  // The allowed bytes reach the file system as they are.
  std::string why;
  EXPECT_EQ(patch.find_class("No_such.class-9", &why), nullptr);
  EXPECT_EQ(why, "no class \"No_such.class-9\"");
}

TEST_F(PluginLoadTest, TheSameFileUnderAnotherNameIsTheClassAlreadyLoaded) {
  // Loaded by its own name first, then through a link.
  link("ko-mirror4-link", "ko-mirror4");
  EXPECT_EQ(banners(run("new a ko-mirror4"), "ko-mirror4"), 1);
  EXPECT_EQ(run("new b ko-mirror4-link\nsend b input 1 2"),
            "b.0: list 1.0 2.0\nb.1: list 319.0 2.0\nb.2: list 1.0 238.0\nb.3: list 319.0 238.0\n");
  EXPECT_EQ(patch.find_class("ko-mirror4-link"), patch.find_class("ko-mirror4"));

  // Through a link first, then by its own name: its main still runs once.
  link("ko-rescale-link", "ko-rescale");
  EXPECT_EQ(banners(run("new c ko-rescale-link"), "ko-rescale"), 1);
  EXPECT_EQ(run("new d ko-rescale\nsend d 1"), "d.0: float 127.0\n");
  EXPECT_EQ(patch.find_class("ko-rescale"), patch.find_class("ko-rescale-link"));
  EXPECT_EQ(mistakes(), "");
}

TEST_F(PluginLoadTest, AFailedLoadGivesTheLoadersReason) {
  std::ofstream(dir / "ko-garbage.so") << "not a library";
  fs::create_directory(dir / "ko-folder.so");
  for (const std::string name : {"ko-garbage", "ko-folder"}) {
    // What the loader says about the file, asked directly.
    const std::string path = (dir / (name + ".so")).string();
    ASSERT_EQ(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL), nullptr);
    const std::string reason = dlerror();
    EXPECT_EQ(run("new x " + name), "");
    EXPECT_EQ(mistakes(), "kohost: 1: cannot load \"" + name + "\": " + reason + "\n");
  }
}

}  // namespace
