// kohost [-p DIR]... [--gltrace] [--budget N] [SCRIPT.kpat ...]: runs patch scripts, or
// standard input.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "host/text.h"
#include "tools/kohost/lines.h"
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

// Runs a script file ("-": standard input) line by line as its bytes arrive, so that a
// pipe or a terminal is answered at once. False, with the reason, when it cannot be read;
// the lines read until then have run.
bool run_file(kohost::Script& script, const std::string& path, std::string& why) {
  const bool is_stdin = path == "-";
  const int fd = is_stdin ? STDIN_FILENO : open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    why = std::string("cannot open: ") + std::strerror(errno);
    return false;
  }
  kohost::LineReader reader;
  bool ok = true;
  std::vector<char> buf(64 * 1024);
  for (;;) {
    const ssize_t n = read(fd, buf.data(), buf.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      // A directory gives EISDIR here.
      why = std::string("cannot read: ") + std::strerror(errno);
      ok = false;
      break;
    }
    if (n == 0) break;
    reader.feed(std::string_view(buf.data(), static_cast<std::size_t>(n)));
    script.run_ready(reader);
    std::cout.flush();
  }
  reader.finish();
  script.run_ready(reader);
  std::cout.flush();
  if (!is_stdin) close(fd);
  return ok;
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
  bool gltrace = false;
  std::int64_t budget = kohost::Patch::kDefaultDeliveryBudget;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "-p") {
      if (++i >= argc) return usage();
      dirs.push_back(argv[i]);
    } else if (a == "--budget") {
      if (++i >= argc || !read_budget(argv[i], budget)) return usage();
    } else if (a == "--gltrace") {
      gltrace = true;
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
  script.set_gltrace(gltrace);
  bool failed = false;
  if (scripts.empty()) scripts.push_back("-");
  for (const std::string& path : scripts) {
    // With several scripts a mistake says which one it is in.
    if (scripts.size() > 1) script.name_file(path);
    // Files a script names (images it loads, pictures it renders) sit beside it.
    const auto slash = path.rfind('/');
    script.set_base_dir(path == "-" || slash == std::string::npos ? "" : path.substr(0, slash));
    std::string why;
    if (!run_file(script, path, why)) {
      std::cout.flush();
      std::cerr << "kohost: " << kohost::escape_text(path) << ": " << kohost::escape_text(why) << '\n';
      failed = true;
    }
  }
  std::cout.flush();
  return failed || script.failed() ? 1 : 0;
}
