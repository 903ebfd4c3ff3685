#include "host/plugin_file.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <unordered_map>

namespace kohost {

namespace {

std::string class_name_of(const std::string& real_path) {
  std::string base = real_path.substr(real_path.find_last_of('/') + 1);
  if (base.size() > 3 && base.compare(base.size() - 3, 3, ".so") == 0) base.resize(base.size() - 3);
  return base;
}

// Every plug-in library opened, with the class it is named after.
std::unordered_map<void*, std::string>& opened() {
  static std::unordered_map<void*, std::string> files;
  return files;
}

}  // namespace

bool valid_class_name(const std::string& name) {
  if (name.empty()) return false;
  for (const char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                    c == '_' || c == '-';
    if (!ok) return false;
  }
  return true;
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

std::string find_plugin_file(const std::vector<std::string>& dirs, const std::string& name) {
  for (const std::string& dir : dirs) {
    std::string path = dir + "/" + name + ".so";
    if (access(path.c_str(), F_OK) == 0) return path;
  }
  return {};
}

bool open_plugin_file(const std::string& path, const std::string& name, PluginFile& out, std::string* why) {
  char real[PATH_MAX];
  if (!realpath(path.c_str(), real)) {
    if (why) *why = "cannot load \"" + name + "\": " + std::strerror(errno);
    return false;
  }
  dlerror();
  // The loader hands back the same handle for the same file, whatever the path.
  void* handle = dlopen(real, RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* reason = dlerror();
    if (why) *why = "cannot load \"" + name + "\": " + (reason ? reason : "unknown reason");
    return false;
  }
  auto [entry, fresh] = opened().try_emplace(handle, class_name_of(real));
  out.class_name = entry->second;
  out.main_fn = nullptr;
  if (!fresh) {
    dlclose(handle);  // only drops the reference this dlopen added
    return true;
  }
  out.main_fn = reinterpret_cast<int (*)()>(dlsym(handle, "main"));
  if (!out.main_fn) {
    if (why) *why = path + " has no main";
    return false;
  }
  return true;
}

}  // namespace kohost
