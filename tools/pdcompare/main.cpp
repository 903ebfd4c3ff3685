// ko_pdcompare --pd PD --package DIR [--valgrind] [--keep DIR] [--every-plugin] SCRIPT.kpat ...
// Runs each patch script's object commands in kohost and, translated into a Pd patch, in
// `pd -nogui -batch` with the library in DIR (the ko/ folder), and compares the two step
// by step (translate.h, compare.h). Both load the very plug-in files in DIR/plugins.
// --every-plugin: fail unless every plug-in there was created and sent a message in Pd, or
// refused as a drawing object. --valgrind: run Pd under valgrind memcheck; any memory
// error, or memory definitely lost, fails. Exit status 0 when everything matched.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tools/pdcompare/compare.h"
#include "tools/pdcompare/translate.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

struct Options {
  std::string pd;
  fs::path package;
  bool valgrind = false;
  std::string keep;
  bool every_plugin = false;
  std::vector<std::string> scripts;
};

struct Run {
  int status = -1;  // exit status, or -1 when killed or not started
  std::string output;
};

// Runs argv with standard output and error into one pipe, killed after timeout seconds.
Run run(const std::vector<std::string>& args, int timeout) {
  Run r;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return r;
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
  posix_spawn_file_actions_adddup2(&fa, fds[1], 2);
  posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid;
  const int spawned = posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  close(fds[1]);
  if (spawned != 0) {
    close(fds[0]);
    r.output = std::string("cannot run ") + args[0] + ": " + std::strerror(spawned) + "\n";
    return r;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout);
  bool killed = false;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      kill(pid, SIGKILL);
      killed = true;
      break;
    }
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 1000))) <= 0) continue;
    char buf[65536];
    const ssize_t n = read(fds[0], buf, sizeof buf);
    if (n <= 0) break;
    r.output.append(buf, static_cast<std::size_t>(n));
  }
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (killed)
    r.output += "(killed after " + std::to_string(timeout) + " seconds)\n";
  else if (WIFEXITED(status))
    r.status = WEXITSTATUS(status);
  return r;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

std::string read_file(const fs::path& p, bool& ok) {
  std::ifstream in(p, std::ios::binary);
  ok = static_cast<bool>(in);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// One script, in a process of its own: plug-ins load and post their banners afresh, as
// they do in the Pd process. Writes "exercised CLASS" and "drawing CLASS" lines to out.
bool compare_script(const Options& o, const fs::path& script, const fs::path& work, std::ostream& out) {
  const std::string name = script.filename().string();
  bool readable;
  const std::string text = read_file(script, readable);
  if (!readable) {
    std::cout << "pd-compare: " << name << ": cannot read" << std::endl;
    return false;
  }
  const pdcompare::Translation t = pdcompare::translate(text, (o.package / "plugins").string());
  for (const std::string& p : t.problems) std::cout << "pd-compare: " << name << ":" << p << '\n';
  if (!t.problems.empty()) return false;
  if (t.steps.empty()) {
    std::cout << "pd-compare: " << name << ": no object commands" << std::endl;
    return true;
  }
  const fs::path patch = work / (script.stem().string() + ".pd");
  std::ofstream(patch) << pdcompare::pd_patch(t);

  std::vector<std::string> args;
  const fs::path log = work / (script.stem().string() + ".valgrind");
  if (o.valgrind) {
    args = {"valgrind", "--tool=memcheck", "--error-exitcode=99", "--leak-check=full",
            "--errors-for-leak-kinds=definite", "--show-possibly-lost=no", "-q", "--log-file=" + log.string()};
  }
  for (const std::string& a : {o.pd, std::string("-nogui"), std::string("-batch"), std::string("-noprefs"),
                               std::string("-path"), o.package.parent_path().string(), std::string("-lib"),
                               o.package.filename().string(), std::string("-open"), patch.string(),
                               std::string("-send"), std::string("pd quit")})
    args.push_back(a);
  const Run pd = run(args, o.valgrind ? 600 : 60);
  bool ok = true;
  if (pd.status != 0) {
    std::cout << "pd-compare: " << name << ": pd ended with status " << pd.status << '\n' << pd.output;
    if (o.valgrind) {
      bool has_log;
      std::cout << read_file(log, has_log);
    }
    ok = false;
  }
  std::ostringstream report;
  const pdcompare::Outcome c = pdcompare::compare(t, lines_of(pd.output), name, report);
  std::cout << report.str();
  std::cout << "pd-compare: " << name << ": " << (c.ok && ok ? "same" : "DIFFERENT") << " in " << c.compared
            << " steps; " << c.skipped << " about drawing objects; " << t.not_run
            << " command lines without a Pd counterpart" << (o.valgrind ? "; under valgrind" : "") << std::endl;
  for (const std::string& cls : c.exercised) out << "exercised " << cls << '\n';
  for (const std::string& cls : c.drawing) out << "drawing " << cls << '\n';
  return ok && c.ok;
}

int usage() {
  std::cerr << "usage: ko_pdcompare --pd PD --package DIR [--valgrind] [--keep DIR] [--every-plugin] SCRIPT.kpat ...\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string package;
    if (a == "--pd") {
      if (!value(o.pd)) return usage();
    } else if (a == "--package") {
      if (!value(package)) return usage();
      o.package = fs::absolute(package).lexically_normal();
      if (o.package.filename().empty()) o.package = o.package.parent_path();
    } else if (a == "--valgrind") {
      o.valgrind = true;
    } else if (a == "--keep") {
      if (!value(o.keep)) return usage();
    } else if (a == "--every-plugin") {
      o.every_plugin = true;
    } else if (!a.empty() && a[0] == '-') {
      return usage();
    } else {
      o.scripts.push_back(a);
    }
  }
  if (o.pd.empty() || o.package.empty() || o.scripts.empty()) return usage();
  // Both hosts look only in the package's plugins/ folder.
  unsetenv("KOHOST_PATH");

  fs::path work;
  if (!o.keep.empty()) {
    work = o.keep;
    fs::create_directories(work);
  } else {
    std::string templ = (fs::temp_directory_path() / "ko-pdcompare-XXXXXX").string();
    if (!mkdtemp(templ.data())) return 2;
    work = templ;
  }

  bool ok = true;
  std::set<std::string> exercised, drawing;
  for (const std::string& script : o.scripts) {
    int fds[2];
    if (pipe(fds) != 0) return 2;
    std::cout.flush();
    const pid_t pid = fork();
    if (pid == 0) {
      close(fds[0]);
      std::ostringstream found;
      const bool same = compare_script(o, fs::absolute(script), work, found);
      const std::string s = found.str();
      const ssize_t written = write(fds[1], s.data(), s.size());
      std::cout.flush();
      _exit(same && written == static_cast<ssize_t>(s.size()) ? 0 : 1);
    }
    close(fds[1]);
    std::string found;
    char buf[4096];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) found.append(buf, static_cast<std::size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    ok &= WIFEXITED(status) && WEXITSTATUS(status) == 0;
    for (const std::string& line : lines_of(found)) {
      if (line.rfind("exercised ", 0) == 0) exercised.insert(line.substr(10));
      if (line.rfind("drawing ", 0) == 0) drawing.insert(line.substr(8));
    }
  }

  if (o.every_plugin) {
    int plugins = 0;
    for (const auto& e : fs::directory_iterator(o.package / "plugins")) {
      // A link is another name of a class already counted.
      if (e.is_symlink() || e.path().extension() != ".so") continue;
      ++plugins;
      const std::string cls = e.path().stem().string();
      if (!exercised.count(cls) && !drawing.count(cls)) {
        std::cout << "pd-compare: " << cls << " was never created and sent a message in Pd" << '\n';
        ok = false;
      }
    }
    std::cout << "pd-compare: " << plugins << " plug-ins: " << exercised.size() << " exercised in Pd, "
              << drawing.size() << " refused as drawing objects" << std::endl;
  }
  if (o.keep.empty()) fs::remove_all(work);
  return ok ? 0 : 1;
}
