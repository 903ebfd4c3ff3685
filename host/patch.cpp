#include "host/patch.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "host/state.h"

namespace kohost {

namespace {

bool run_main(const std::string& name, int (*main_fn)()) {
  HostState& st = state();
  st.loading_name = name;
  st.setup_class = nullptr;
  main_fn();
  st.setup_class = nullptr;
  return st.classes.count(name) != 0;
}

// A class name becomes part of a file name: letters, digits, '.', '_' and '-' only, so it
// cannot leave the plug-in folder or be cut short by a NUL.
bool valid_class_name(const std::string& name) {
  if (name.empty()) return false;
  for (const char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                    c == '_' || c == '-';
    if (!ok) return false;
  }
  return true;
}

// The class of a plug-in file is named after the file itself, so a link such as
// ko-tobearing.so -> ko-bearing.so loads the class ko-bearing, which registers the
// link's name as its alias.
std::string class_name_of(const std::string& real_path) {
  std::string base = real_path.substr(real_path.find_last_of('/') + 1);
  if (base.size() > 3 && base.compare(base.size() - 3, 3, ".so") == 0) base.resize(base.size() - 3);
  return base;
}

// Every plug-in library loaded, with the class it registered. Process-wide, like the
// class table: a library is loaded once, whichever patch asks.
std::unordered_map<void*, std::string>& loaded_plugins() {
  static std::unordered_map<void*, std::string> loaded;
  return loaded;
}

// Loads the plug-in file at path and runs its main, once per file however many names
// lead to it: the loader hands back the same handle for the same file. Gives the class
// the file registered under its own name, or null with a reason.
max::Class* load_file(const std::string& path, const std::string& name, std::string* why) {
  HostState& st = state();
  char real[PATH_MAX];
  if (!realpath(path.c_str(), real)) {
    if (why) *why = "cannot load \"" + name + "\": " + std::strerror(errno);
    return nullptr;
  }
  dlerror();
  void* handle = dlopen(real, RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* reason = dlerror();
    if (why) *why = "cannot load \"" + name + "\": " + (reason ? reason : "unknown reason");
    return nullptr;
  }
  auto [loaded, fresh] = loaded_plugins().try_emplace(handle, class_name_of(real));
  if (!fresh) {
    dlclose(handle);  // only drops the reference this dlopen added
  } else {
    auto main_fn = reinterpret_cast<int (*)()>(dlsym(handle, "main"));
    if (!main_fn) {
      if (why) *why = path + " has no main";
      return nullptr;
    }
    // The library stays loaded: its class lives as long as the host.
    run_main(loaded->second, main_fn);
  }
  auto it = st.classes.find(loaded->second);
  if (it == st.classes.end()) {
    if (why) *why = path + " registered no class";
    return nullptr;
  }
  return it->second;
}

std::vector<std::string> split_path(const char* value) {
  std::vector<std::string> out;
  if (!value) return out;
  std::string cur;
  for (const char* p = value;; ++p) {
    if (*p == ':' || *p == '\0') {
      if (!cur.empty()) out.push_back(cur);
      cur.clear();
      if (*p == '\0') break;
    } else {
      cur += *p;
    }
  }
  return out;
}

}  // namespace

void register_class(const std::string& name, int (*main_fn)()) {
  if (state().classes.count(name)) return;
  run_main(name, main_fn);
}

Patch::Patch(std::vector<std::string> plugin_dirs) : dirs_(std::move(plugin_dirs)) {
  for (auto& d : split_path(std::getenv("KOHOST_PATH"))) dirs_.push_back(d);
  previous_ = run.active;
  run.active = this;
}

Patch::~Patch() {
  on_emit(nullptr, nullptr);
  {
    Active active(this);
    while (!by_id_.empty()) max::freeobject(by_id_.begin()->second);
  }
  if (run.active == this) run.active = previous_;
}

void Patch::on_emit(EmitFn fn, void* ctx) {
  if (!emit_fn_ != !fn) run.observers += fn ? 1 : -1;
  emit_fn_ = fn;
  emit_ctx_ = ctx;
  update_watch();
}

max::Class* Patch::find_class(const std::string& name, std::string* why) {
  HostState& st = state();
  if (auto it = st.classes.find(name); it != st.classes.end()) return it->second;
  if (!valid_class_name(name)) {
    if (why) *why = "bad class name \"" + name + "\"";
    return nullptr;
  }
  Active active(this);
  for (const std::string& dir : dirs_) {
    const std::string path = dir + "/" + name + ".so";
    if (access(path.c_str(), F_OK) != 0) continue;
    // The first file found is the plug-in: if it fails to load, say why, rather than
    // look further and report no class.
    max::Class* file_class = load_file(path, name, why);
    if (!file_class) return nullptr;
    if (auto it = st.classes.find(name); it != st.classes.end()) return it->second;
    // A link under a name the class does not know: that class under another name.
    st.classes[name] = file_class;
    return file_class;
  }
  if (why) *why = "no class \"" + name + "\"";
  return nullptr;
}

max::Object* Patch::create(const std::string& id, const std::string& cls_name, const std::vector<max::Atom>& args,
                           std::string* why) {
  if (by_id_.count(id)) {
    if (why) *why = "\"" + id + "\" exists already";
    return nullptr;
  }
  max::Class* cls = find_class(cls_name, why);
  if (!cls) return nullptr;
  Active active(this);
  Entry entry(budget_);
  pending_id_ = id;
  max::Object* x = nullptr;
  if (cls->new_codes.gimme()) {
    x = reinterpret_cast<max::gimme_new_fn>(cls->new_fn)(max::gensym(cls_name.c_str()),
                                                         static_cast<std::int32_t>(args.size()), args.data());
  } else {
    TypedArg typed[kMaxTypedArgs];
    if (!cls->new_caller || !convert_typed(cls->new_codes, static_cast<int>(args.size()), args.data(), typed)) {
      pending_id_.clear();
      if (why) *why = cls_name + ": bad creation arguments";
      return nullptr;
    }
    x = cls->new_caller(cls->new_fn, typed);
  }
  pending_id_.clear();
  if (!x) {
    // A routine that gives up without freeing what it made leaves nothing behind.
    if (max::Object* orphan = find(id)) max::freeobject(orphan);
    if (why) *why = "could not create \"" + cls_name + "\"";
    return nullptr;
  }
  if (find(id) != x) {
    forget(find(id));
    forget(x);
    by_id_[id] = x;
    x->o_host->id = id;
  }
  x->o_host->patch = this;
  return x;
}

max::Object* Patch::find(std::string_view id) const {
  auto it = by_id_.find(id);
  return it == by_id_.end() ? nullptr : it->second;
}

const std::string& Patch::id_of(const max::Object* x) const {
  static const std::string none;
  return x ? x->o_host->id : none;
}

void Patch::free(max::Object* x) {
  if (!x) return;
  Active active(this);
  max::freeobject(x);
}

void Patch::adopt(max::Object* x) {
  if (pending_id_.empty()) return;
  by_id_[pending_id_] = x;
  x->o_host->id = pending_id_;
  pending_id_.clear();
}

void Patch::forget(max::Object* x) {
  if (!x || x->o_host->id.empty()) return;
  if (auto it = by_id_.find(x->o_host->id); it != by_id_.end() && it->second == x) by_id_.erase(it);
  x->o_host->id.clear();
}

void Patch::send_box(max::Object* x, int inlet, const std::vector<max::Atom>& atoms) {
  if (!x || atoms.empty()) return;
  const max::Atom& first = atoms[0];
  if (first.a_type == max::A_SYM) {
    std::vector<max::Atom> rest(atoms.begin() + 1, atoms.end());
    send(x, inlet, first.a_w.w_sym, rest);
  } else if (atoms.size() == 1) {
    send(x, inlet, first.a_type == max::A_LONG ? syms().int_ : syms().float_, atoms);
  } else {
    send(x, inlet, syms().list, atoms);
  }
}

bool Patch::connect(max::Object* from, int outlet, max::Object* to, int inlet) {
  if (!from || !to || outlet < 0 || outlet >= outlets(from) || inlet < 0 || inlet >= inlets(to)) return false;
  if (from->o_host->freed || to->o_host->freed) return false;
  max::Outlet* o = from->o_host->outlets[static_cast<std::size_t>(outlet)];
  for (const max::Cord& c : o->cords)
    if (c.to == to && c.inlet == inlet) return true;
  o->cords.push_back({to, inlet});
  o->changed();
  to->o_host->incoming.push_back(o);
  return true;
}

bool Patch::disconnect(max::Object* from, int outlet, max::Object* to, int inlet) {
  if (!from || !to || outlet < 0 || outlet >= outlets(from)) return false;
  max::Outlet* o = from->o_host->outlets[static_cast<std::size_t>(outlet)];
  for (std::size_t i = 0; i < o->cords.size(); ++i) {
    if (o->cords[i].to == to && o->cords[i].inlet == inlet) {
      cut_cord(o, i);
      auto& inc = to->o_host->incoming;
      if (auto it = std::find(inc.begin(), inc.end(), o); it != inc.end()) inc.erase(it);
      return true;
    }
  }
  return false;
}

int Patch::outlets(const max::Object* x) const { return x ? static_cast<int>(x->o_host->outlets.size()) : 0; }
int Patch::inlets(const max::Object* x) const { return x ? x->o_host->inlets : 0; }

std::string Patch::assist(max::Object* x, int kind, int index) {
  if (!x) return {};
  const Method* m = x->o_class->methods.find_any(syms().assist);
  if (!m) return {};
  char text[max::kTextBufferSize] = {};
  Active active(this);
  Entry entry(budget_);
  reinterpret_cast<max::assist_fn>(m->fn)(x, nullptr, kind, index, text);
  text[max::kTextBufferSize - 1] = '\0';
  return text;
}

int Patch::run_deferred() {
  Active active(this);
  return kohost::run_deferred();
}

void Patch::notify_console(bool is_error, std::string_view text) {
  if (console_fn_) console_fn_(console_ctx_, is_error, text);
}

max::Atom long_atom(std::int32_t v) {
  max::Atom a;
  a.a_type = max::A_LONG;
  a.a_w.w_long = v;
  return a;
}

max::Atom float_atom(float v) {
  max::Atom a;
  a.a_type = max::A_FLOAT;
  a.a_w.w_float = v;
  return a;
}

max::Atom sym_atom(const char* s) {
  max::Atom a;
  a.a_type = max::A_SYM;
  a.a_w.w_sym = max::gensym(s);
  return a;
}

}  // namespace kohost
