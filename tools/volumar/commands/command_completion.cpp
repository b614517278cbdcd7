// volumar completion bash|zsh (hidden): a shell completion script made from
// the program's own command tree, so it cannot fall behind the commands.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <vector>

#include "tools/volumar/commands/commands.h"
#include "tools/volumar/host/tool_error.h"

namespace volumar_tool {
namespace {

struct CompletionOptions {
  std::string shell;
  std::string output;
};

// "shell word" -> the words the shell's case statement answers for it.
using Table = std::map<std::string, std::string>;

struct Tables {
  Table subcommands, options, value_options, resolve, choices;
};

void add_word(Table& table, const std::string& key, const std::string& word) {
  std::string& words = table[key];
  words += (words.empty() ? "" : " ") + word;
}

// The words of an IsMember check ("{nt,9x}"), or "".
std::string choices_of(CLI::Option* option) {
  for (int i = 0;; ++i) {
    std::string description;
    try {
      description = option->get_validator(i)->get_description();
    } catch (const CLI::OptionNotFound&) {
      return {};
    }
    if (description.size() > 2 && description.front() == '{' && description.back() == '}') {
      description = description.substr(1, description.size() - 2);
      for (char& c : description)
        if (c == ',') c = ' ';
      return description;
    }
  }
}

// Hidden options and commands (group "") are for tests and for this one.
void walk(CLI::App* app, const std::string& path, Tables& t) {
  int positional = 0;
  for (CLI::Option* option : app->get_options()) {
    if (option->get_group().empty()) continue;
    const std::string choices = choices_of(option);
    if (option->get_positional()) {
      if (!choices.empty()) t.choices[path + "|#" + std::to_string(positional)] = choices;
      ++positional;
      continue;
    }
    std::vector<std::string> names;
    for (const std::string& s : option->get_snames()) names.push_back("-" + s);
    for (const std::string& l : option->get_lnames()) names.push_back("--" + l);
    for (const std::string& name : names) {
      add_word(t.options, path, name);
      if (option->get_expected_max() == 0) continue;
      add_word(t.value_options, path, name);
      if (!choices.empty()) t.choices[path + "|" + name] = choices;
    }
  }
  for (CLI::App* sub : app->get_subcommands([](CLI::App* a) { return !a->get_group().empty(); })) {
    add_word(t.subcommands, path, sub->get_name());
    t.resolve[path + "|" + sub->get_name()] = sub->get_name();
    for (const std::string& alias : sub->get_aliases()) t.resolve[path + "|" + alias] = sub->get_name();
    walk(sub, path.empty() ? sub->get_name() : path + " " + sub->get_name(), t);
  }
}

// A function of the script: a case over its arguments, each answer a line of words.
std::string case_function(const char* name, const char* key, const Table& table) {
  std::string out = std::string(name) + "() {\n  case \"" + key + "\" in\n";
  for (const auto& [word, answer] : table) out += "    \"" + word + "\") echo \"" + answer + "\" ;;\n";
  return out + "  esac\n}\n";
}

std::string tables_text(const Tables& t) {
  return case_function("_volumar_subcommands", "$1", t.subcommands) +
         case_function("_volumar_options", "$1", t.options) +
         case_function("_volumar_value_options", "$1", t.value_options) +
         case_function("_volumar_resolve", "$1|$2", t.resolve) + case_function("_volumar_choices", "$1|$2", t.choices) +
         "_volumar_has() { [[ \" $1 \" == *\" $2 \"* ]]; }\n";
}

// The words before the cursor give the command path and how many of its
// positionals are there; an option that takes a value takes the next word.
const char* const kWalk = R"sh(    case $w in
      -*=*) ;;
      -*) _volumar_has "$(_volumar_value_options "$cmd")" "$w" && ((i++)) ;;
      *)
        sub=$(_volumar_resolve "$cmd" "$w")
        if [[ -n $sub ]]; then cmd=${cmd:+$cmd }$sub n=0; else ((n++)); fi ;;
    esac
  done
)sh";

const char* const kBash = R"sh(_volumar() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev= cmd= w sub i n=0 words
  ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
  for ((i = 1; i < COMP_CWORD; i++)); do
    w=${COMP_WORDS[i]}
%s  COMPREPLY=()
  if [[ $prev == -* ]] && _volumar_has "$(_volumar_value_options "$cmd")" "$prev"; then
    words=$(_volumar_choices "$cmd" "$prev")
  elif [[ $cur == -* ]]; then
    words=$(_volumar_options "$cmd")
  else
    words=$(_volumar_subcommands "$cmd")
    [[ -n $words ]] || words=$(_volumar_choices "$cmd" "#$n")
  fi
  if [[ -n $words ]]; then
    COMPREPLY=($(compgen -W "$words" -- "$cur"))
  else
    COMPREPLY=($(compgen -f -- "$cur"))
  fi
}
complete -o filenames -F _volumar volumar
)sh";

const char* const kZsh = R"sh(_volumar() {
  local cur=${words[CURRENT]} prev=${words[CURRENT-1]} cmd= w sub i n=0
  local -a reply
  for ((i = 2; i < CURRENT; i++)); do
    w=${words[i]}
%s  if [[ $prev == -* ]] && _volumar_has "$(_volumar_value_options "$cmd")" "$prev"; then
    reply=(${=$(_volumar_choices "$cmd" "$prev")})
  elif [[ $cur == -* ]]; then
    reply=(${=$(_volumar_options "$cmd")})
  else
    reply=(${=$(_volumar_subcommands "$cmd")})
    ((${#reply})) || reply=(${=$(_volumar_choices "$cmd" "#$n")})
  fi
  if ((${#reply})); then compadd -a reply; else _files; fi
}
_volumar "$@"
)sh";

std::string script(CLI::App& app, const std::string& shell) {
  Tables t;
  walk(&app, "", t);
  const bool bash = shell == "bash";
  std::string out = bash ? "# bash completion for volumar" : "#compdef volumar\n# zsh completion for volumar";
  out += ", made by 'volumar completion " + shell + "'.\n" + tables_text(t);
  const char* body = bash ? kBash : kZsh;
  const std::string main = body;
  const auto at = main.find("%s");
  return out + main.substr(0, at) + kWalk + main.substr(at + 2);
}

int run_completion(CLI::App& app, const CompletionOptions& o) {
  const std::string text = script(app, o.shell);
  if (o.output.empty()) {
    std::fputs(text.c_str(), stdout);
    return 0;
  }
  std::ofstream file(o.output, std::ios::trunc);
  file << text;
  file.close();
  if (!file) fail("cannot write " + o.output);
  return 0;
}

}  // namespace

void add_completion_command(CommandContext& ctx) {
  auto o = std::make_shared<CompletionOptions>();
  CLI::App* sub = ctx.app.add_subcommand("completion", "Print a shell completion script");
  sub->group("");
  sub->add_option("SHELL", o->shell, "bash or zsh")->required()->check(CLI::IsMember({"bash", "zsh"}));
  sub->add_option("-o,--output", o->output, "Write it to FILE")->type_name("FILE");
  sub->callback([&run = ctx.run, &app = ctx.app, o] { run = [&app, o] { return run_completion(app, *o); }; });
}

}  // namespace volumar_tool
