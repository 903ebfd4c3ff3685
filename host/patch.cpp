#include "host/patch.h"

#include <algorithm>
#include <cstdlib>

#include "host/plugin_file.h"
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

// Loads the plug-in file at path and runs its main, once per file however many names
// lead to it. Gives the class the file registered under its own name, or null with a
// reason.
max::Class* load_file(const std::string& path, const std::string& name, std::string* why) {
  HostState& st = state();
  PluginFile file;
  if (!open_plugin_file(path, name, file, why)) return nullptr;
  if (file.main_fn) run_main(file.class_name, file.main_fn);
  auto it = st.classes.find(file.class_name);
  if (it == st.classes.end()) {
    if (why) *why = path + " registered no class";
    return nullptr;
  }
  return it->second;
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
  // The first file found is the plug-in: if it fails to load, say why, rather than look
  // further and report no class.
  const std::string path = find_plugin_file(dirs_, name);
  if (path.empty()) {
    if (why) *why = "no class \"" + name + "\"";
    return nullptr;
  }
  max::Class* file_class = load_file(path, name, why);
  if (!file_class) return nullptr;
  if (auto it = st.classes.find(name); it != st.classes.end()) return it->second;
  // A link under a name the class does not know: that class under another name.
  st.classes[name] = file_class;
  return file_class;
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
