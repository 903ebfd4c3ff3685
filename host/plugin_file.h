// How a plug-in file becomes a class, for any host of the plug-ins: which class names may
// become file names, where a name's file is looked for, and loading a file once however
// many names lead to it. The host runs the file's main itself, with the class name given
// here, since only the host knows where its setup call puts the class.
#pragma once

#include <string>
#include <vector>

namespace kohost {

// A class name becomes part of a file name: letters, digits, '.', '_' and '-' only, so it
// cannot leave the plug-in folder or be cut short by a NUL.
bool valid_class_name(const std::string& name);

// The folders of a colon-separated list (KOHOST_PATH); empty entries are skipped.
std::vector<std::string> split_path(const char* value);

// DIR/NAME.so in the first folder that has it; "" when none does.
std::string find_plugin_file(const std::vector<std::string>& dirs, const std::string& name);

struct PluginFile {
  // The class of a plug-in file is named after the file itself, so a link such as
  // ko-tobearing.so -> ko-bearing.so leads to the class ko-bearing.
  std::string class_name;
  // The file's main when this is the first time the file was opened, else null: it has
  // run already.
  int (*main_fn)() = nullptr;
};

// Opens the plug-in file at path (reached under the class name `name`). Each file is
// opened once per process and stays loaded: its class lives as long as the host. False,
// with the reason, when it cannot be loaded or has no main.
bool open_plugin_file(const std::string& path, const std::string& name, PluginFile& out, std::string* why);

}  // namespace kohost
