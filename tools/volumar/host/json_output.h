// --json: the commands that scripts read print one JSON document, keys in
// the order the plain listing shows them, so that the shape stays stable.
#pragma once
#include <nlohmann/json.hpp>

#include <cstdio>
#include <string>

namespace CLI {
class App;
}

namespace volumar_tool {

using Json = nlohmann::ordered_json;

// Adds --json to a command.
void add_json_flag(CLI::App& command, bool& json);

// The document, indented, and a newline.
inline void print_json(const Json& document) {
  const std::string text = document.dump(2) + "\n";
  std::fputs(text.c_str(), stdout);
}

}  // namespace volumar_tool
