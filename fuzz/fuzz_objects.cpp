// Drives every plug-in with random creation arguments and random messages (each of its
// selectors, with numbers of every kind, keys and stray symbols), to show that no input
// crashes, hangs or trips the sanitizers. Deterministic: the seed is the first argument.
//
//   ko_fuzz PLUGIN_DIR [SEED] [MESSAGES_PER_OBJECT]
#include <dirent.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "host/host.h"
#include "host/patch.h"

namespace {

class Fuzzer {
 public:
  explicit Fuzzer(std::uint32_t seed) : rng_(seed) {}

  max::Atom atom(const std::vector<max::Symbol*>& words) {
    switch (pick(8)) {
      case 0:
        return kohost::long_atom(static_cast<std::int32_t>(pick(21)) - 10);
      case 1:
        return kohost::long_atom(static_cast<std::int32_t>(rng_()));
      case 2:
        return kohost::float_atom(std::uniform_real_distribution<float>(-400.0f, 400.0f)(rng_));
      case 3: {
        static const float odd[] = {0.0f,       -0.0f,  0.5f,   -2.7f,  1e-40f, 1e30f, -1e30f,
                                    3.4e38f,    65537.f, 2.9f,  std::numeric_limits<float>::infinity(),
                                    -std::numeric_limits<float>::infinity(),
                                    std::numeric_limits<float>::quiet_NaN()};
        return kohost::float_atom(odd[pick(sizeof odd / sizeof odd[0])]);
      }
      case 4:
      case 5:
        if (!words.empty()) {
          max::Atom a;
          a.a_type = max::A_SYM;
          a.a_w.w_sym = words[pick(words.size())];
          return a;
        }
        [[fallthrough]];
      default:
        return kohost::sym_atom(pick(2) ? "@" : "zz");
    }
  }

  std::vector<max::Atom> atoms(const std::vector<max::Symbol*>& words) {
    std::vector<max::Atom> out(pick(14));
    for (auto& a : out) a = atom(words);
    return out;
  }

  std::size_t pick(std::size_t n) { return n ? rng_() % n : 0; }

 private:
  std::mt19937 rng_;
};

std::vector<std::string> plugin_names(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      std::string n = e->d_name;
      if (n.size() > 3 && n.compare(n.size() - 3, 3, ".so") == 0) names.push_back(n.substr(0, n.size() - 3));
    }
    closedir(d);
  }
  return names;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: ko_fuzz PLUGIN_DIR [SEED] [MESSAGES_PER_OBJECT]\n");
    return 2;
  }
  const std::uint32_t seed = argc > 2 ? static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10)) : 1;
  const int messages = argc > 3 ? std::atoi(argv[3]) : 3000;
  Fuzzer f(seed);
  kohost::Patch patch({argv[1]});
  long emissions = 0, lines = 0;
  patch.on_emit([](void* c, const kohost::Emission&) { ++*static_cast<long*>(c); }, &emissions);
  patch.on_console([](void* c, bool, std::string_view) { ++*static_cast<long*>(c); }, &lines);

  const auto names = plugin_names(argv[1]);
  for (const std::string& name : names) {
    max::Class* cls = patch.find_class(name);
    if (!cls) {
      std::fprintf(stderr, "ko_fuzz: cannot load %s\n", name.c_str());
      return 1;
    }
    // Every selector the class knows, and its creation keys as they would be typed.
    std::vector<max::Symbol*> sels;
    for (const auto& [sel, m] : cls->methods)
      if (!m.codes.cant()) sels.push_back(const_cast<max::Symbol*>(sel));
    std::vector<max::Symbol*> words = sels;
    for (max::Symbol* s : sels) words.push_back(max::gensym(("@" + std::string(s->s_name)).c_str()));
    for (const char* k : {"@pos", "@look", "@up", "@right", "@min", "@max", "@map", "@mode", "@silence", "@size",
                          "@center", "@c", "@move", "@om", "@p1", "@p2", "@p3", "@xy", "@plane", "@4", "@a", "@b",
                          "@d", "fold", "clip", "wrap", "polate"})
      words.push_back(max::gensym(k));

    for (int instance = 0; instance < 8; ++instance) {
      const std::string id = name + "-" + std::to_string(instance);
      max::Object* x = patch.create(id, name, f.atoms(words));
      if (!x) continue;
      for (int i = 0; i < messages; ++i) {
        const int inlet = static_cast<int>(f.pick(static_cast<std::size_t>(patch.inlets(x)) + 1));
        std::vector<max::Atom> args = f.atoms(words);
        if (f.pick(4) == 0)
          patch.send_box(x, inlet, args);
        else
          patch.send(x, inlet, sels.empty() ? max::gensym("bang") : sels[f.pick(sels.size())], args);
        if (f.pick(64) == 0) patch.assist(x, static_cast<int>(f.pick(3)), static_cast<int>(f.pick(6)) - 1);
      }
      patch.run_deferred();
      patch.free(x);
    }
  }
  std::printf("ko_fuzz: %zu plug-ins, seed %u: %ld emissions, %ld console lines\n", names.size(), seed, emissions,
              lines);
  return 0;
}
