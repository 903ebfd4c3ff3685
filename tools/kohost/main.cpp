// kohost [-p DIR]... [--gltrace] [SCRIPT.kpat ...]: runs patch scripts, or standard input.
#include <unistd.h>

#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/kohost/script.h"

namespace {

std::string exe_dir() {
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  std::string path(buf, static_cast<std::size_t>(n));
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

int usage() {
  std::cerr << "usage: kohost [-p DIR]... [--gltrace] [SCRIPT.kpat ...]\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> dirs;
  std::vector<std::string> scripts;
  bool gltrace = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "-p") {
      if (++i >= argc) return usage();
      dirs.push_back(argv[i]);
    } else if (a == "--gltrace") {
      gltrace = true;
    } else if (a == "-h" || a == "--help") {
      usage();
      return 0;
    } else if (!a.empty() && a[0] == '-' && a != "-") {
      return usage();
    } else {
      scripts.push_back(a);
    }
  }
  // KOHOST_PATH is read by the patch after these; the build's own plug-ins come last.
  kohost::Patch patch(dirs);
  patch.add_plugin_dir(exe_dir() + "/../plugins");
  std::ios::sync_with_stdio(true);
  kohost::Script script(patch, std::cout, std::cerr);
  script.set_gltrace(gltrace);
  bool failed = false;
  if (scripts.empty() || (scripts.size() == 1 && scripts[0] == "-")) {
    std::string line;
    int line_no = 0;
    while (std::getline(std::cin, line)) {
      script.run_line(line, ++line_no);
      std::cout.flush();
    }
  } else {
    for (const std::string& path : scripts) {
      std::ifstream in(path);
      if (!in) {
        std::cerr << "kohost: " << path << ": cannot open\n";
        failed = true;
        continue;
      }
      std::ostringstream text;
      text << in.rdbuf();
      // Files a script names (images it loads, pictures it renders) sit beside it.
      const auto slash = path.rfind('/');
      script.set_base_dir(slash == std::string::npos ? "" : path.substr(0, slash));
      script.run_text(text.str());
    }
  }
  std::cout.flush();
  return failed || script.failed() ? 1 : 0;
}
