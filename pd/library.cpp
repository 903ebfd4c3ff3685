// The Pd library `ko`: ko.pd_linux, loaded with -lib ko or [declare -lib ko]. It carries
// the host API that the plug-ins import, under our host library's name, so the unchanged
// ko-*.so files bind to it; and it teaches Pd to create their classes: a loader finds
// NAME.so in KOHOST_PATH and in the plugins/ folder beside the library, runs its main once
// and makes the class creatable by its name and by its other names.
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "host/plugin_file.h"
#include "pd/pd_host.h"

// Pd's loader interface; the header has no C++ guard of its own.
extern "C" {
#include <s_stuff.h>
}

namespace kopd {

namespace {

std::string library_dir;
std::vector<std::string> plugin_dirs;  // KOHOST_PATH, then plugins/ beside the library

// The folder ko.pd_linux sits in.
std::string own_dir() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&own_dir), &info) || !info.dli_fname) return ".";
  char real[PATH_MAX];
  std::string path = realpath(info.dli_fname, real) ? real : info.dli_fname;
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

// The drawing objects need our drawing layer (matrices, OpenGL scenes), which Pd lacks:
// their plug-ins import it from the host library, and this library does not carry it.
bool needs_drawing_layer(const std::string& why) {
  return why.find("undefined symbol: _ZN3jit") != std::string::npos;
}

// Pd asks every loader about a name it has no class for, once per folder on its search
// path; the answer does not depend on the folder.
int load(t_canvas*, const char* classname, const char*) {
  const std::string name = classname ? classname : "";
  if (!kohost::valid_class_name(name)) return 0;
  if (find_class(gensym(name.c_str())) || is_unavailable(name)) return 1;
  const std::string path = kohost::find_plugin_file(plugin_dirs, name);
  if (path.empty()) return 0;
  kohost::PluginFile file;
  std::string why;
  if (!kohost::open_plugin_file(path, name, file, &why)) {
    // Said each time one is created, rather than once per search folder now.
    add_unavailable(name, needs_drawing_layer(why)
                              ? name + ": drawing objects need kohost's drawing layer, which Pd does not have"
                              : "ko: " + why);
    return 1;
  }
  if (file.main_fn) run_main(file.class_name, file.main_fn, library_dir);
  max::Class* cls = find_class(gensym(file.class_name.c_str()));
  if (!cls) {
    add_unavailable(name, "ko: " + path + " registered no class");
    return 1;
  }
  // A link under a name the class does not know: that class under another name.
  add_name(cls, name);
  return 1;
}

}  // namespace

}  // namespace kopd

extern "C" __attribute__((visibility("default"))) void ko_setup(void) {
  static bool done = false;
  if (done) return;
  done = true;
  kopd::library_dir = kopd::own_dir();
  kopd::plugin_dirs = kohost::split_path(std::getenv("KOHOST_PATH"));
  kopd::plugin_dirs.push_back(kopd::library_dir + "/plugins");
  kopd::setup_proxies();
  sys_register_loader(kopd::load);
}
