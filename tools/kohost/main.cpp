// kohost [-p DIR]... [--gltrace] [--budget N] [SCRIPT.kpat ...]: runs patch scripts, or
// standard input.
#include <unistd.h>

#include <charconv>
#include <cstdint>
#include <cstring>

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

constexpr const char* kUsage = "usage: kohost [-p DIR]... [--gltrace] [--budget N] [SCRIPT.kpat ...]\n";

int usage() {
  std::cerr << kUsage;
  return 2;
}

int help() {
  std::cout << kUsage
            << "Runs patch scripts, or the commands on standard input when no script is given.\n"
               "  -p DIR       look for plug-ins (NAME.so) in DIR as well\n"
               "  --gltrace    print the OpenGL calls the drawing objects make\n"
               "  --budget N   deliveries one message from outside (a script line, a deferred\n"
               "               call, a draw) may cause, default "
            << kohost::Patch::kDefaultDeliveryBudget
            << ";\n"
               "               past it the rest of that message's work is dropped with one\n"
               "               error line naming the object and the message where it stopped\n";
  return 0;
}

// A whole positive decimal number.
bool read_budget(const char* text, std::int64_t& out) {
  const char* end = text + std::strlen(text);
  const auto r = std::from_chars(text, end, out);
  return r.ec == std::errc() && r.ptr == end && out >= 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> dirs;
  std::vector<std::string> scripts;
  std::int64_t budget = kohost::Patch::kDefaultDeliveryBudget;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "-p") {
      if (++i >= argc) return usage();
      dirs.push_back(argv[i]);
    } else if (a == "--budget") {
      if (++i >= argc || !read_budget(argv[i], budget)) return usage();
    } else if (a == "--gltrace") {
      // Drawing objects print their OpenGL calls when they have any to make.
    } else if (a == "-h" || a == "--help") {
      return help();
    } else if (!a.empty() && a[0] == '-' && a != "-") {
      return usage();
    } else {
      scripts.push_back(a);
    }
  }
  // KOHOST_PATH is read by the patch after these; the build's own plug-ins come last.
  kohost::Patch patch(dirs);
  patch.add_plugin_dir(exe_dir() + "/../plugins");
  patch.set_delivery_budget(budget);
  std::ios::sync_with_stdio(true);
  kohost::Script script(patch, std::cout, std::cerr);
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
      script.run_text(text.str());
    }
  }
  std::cout.flush();
  return failed || script.failed() ? 1 : 0;
}
