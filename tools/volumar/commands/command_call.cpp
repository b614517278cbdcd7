// volumar call CLASS STEP...: a script host. Creates one object by ProgID
// and runs each step on it through dispatch by name or by id, printing one
// line per step. volumar call --list CLASS prints the class's member table.
#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <unordered_map>

#include "platform/automation/automation_error.h"
#include "platform/automation/class_objects.h"
#include "platform/volume_shortfall.h"
#include "server/class_registry.h"
#include "tools/volumar/commands/commands.h"
#include "tools/volumar/host/editor_session.h"
#include "tools/volumar/host/global_options.h"
#include "tools/volumar/host/json_output.h"
#include "tools/volumar/host/script_steps.h"
#include "tools/volumar/host/text.h"
#include "tools/volumar/host/tool_error.h"
#include "tools/volumar/host/value_format.h"

namespace volumar_tool {
namespace {

struct CallOptions {
  bool list = false;
  bool json = false;
  std::string class_name;
  std::vector<std::string> steps;
  std::string script;  // a file of steps, one per line; "-" is standard input
};

const char* kind_word(volumar::MemberKind k) {
  switch (k) {
    case volumar::MemberKind::Get: return "get";
    case volumar::MemberKind::Put: return "put";
    case volumar::MemberKind::PutRef: return "putref";
    case volumar::MemberKind::Method: return "method";
  }
  return "?";
}

std::string hex_id(win::DISPID id) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08x", static_cast<unsigned>(id));
  return buf;
}

int list_members(const std::string& class_name, bool json) {
  const volumar::ClassInfo* info = volumar::find_class(progid_for(class_name));
  if (!info) info = volumar::find_class(class_name);
  if (!info) fail(class_name + ": not a class of the library (its member table is not known)");
  std::string out;
  Json members = Json::array();
  for (const volumar::MemberInfo& m : info->members()) {
    if (json) {
      Json params = Json::array();
      for (const volumar::ParamDesc& p : m.params)
        params.push_back({{"name", p.name},
                          {"type", p.type.name},
                          {"by_ref", p.by_ref},
                          {"optional", p.optional},
                          {"default", p.default_value ? Json(format_scalar(*p.default_value)) : Json()}});
      const bool typed = m.result.vt != win::VarType::Empty || *m.result.name;
      members.push_back({{"name", m.name},
                         {"kind", kind_word(m.kind)},
                         {"dispid", m.id},
                         {"params", params},
                         {"result", typed ? Json(m.result.name) : Json()}});
      continue;
    }
    out += std::string(m.name) + " " + kind_word(m.kind) + " " + hex_id(m.id) + " (";
    for (std::size_t i = 0; i < m.params.size(); ++i) {
      const volumar::ParamDesc& p = m.params[i];
      if (i) out += ", ";
      out += std::string(p.name) + " As " + p.type.name + (p.by_ref ? " ref" : " val");
      if (p.optional) out += " opt";
      if (p.default_value) out += " = " + format_scalar(*p.default_value);
    }
    out += ")";
    if (m.result.vt != win::VarType::Empty || *m.result.name) out += std::string(" As ") + m.result.name;
    out += "\n";
  }
  if (json)
    print_json({{"class", class_name}, {"members", members}});
  else
    std::fputs(out.c_str(), stdout);
  return 0;
}

class ScriptHost {
 public:
  explicit ScriptHost(win::ObjectRef object) : object_(std::move(object)) {}

  // Runs one step; false after a run-time error (already reported).
  bool run(const Step& step) {
    try {
      switch (step.kind) {
        case Step::Kind::SetVariable:
          vars_[step.target] = value_of(step.value);
          print_variable(step.target);
          return true;
        case Step::Kind::ShowVariable: print_variable(step.target); return true;
        case Step::Kind::Put: return put(step);
        case Step::Kind::Get: return get(step);
      }
    } catch (const win::AutomationError& e) {
      std::fflush(stdout);
      std::fprintf(
          stderr, "%s: error %d: %s\n", step.member.c_str(), e.number(),
          ansi_to_utf8(e.description().empty() ? win::error_description(e.number()) : e.description()).c_str());
      return false;
    }
    return true;
  }

 private:
  win::DISPID id_of(const Step& step) {
    if (step.id) return *step.id;
    // An object's names keep their ids: a long script asks once per name.
    if (auto known = ids_.find(step.member); known != ids_.end()) return known->second;
    // A step's name is ASCII letters, digits and _, which widen as they are.
    const std::u16string name(step.member.begin(), step.member.end());
    auto id = object_->GetIDsOfNames(name);
    if (!id) win::raise_error(win::kErrNotSupported);
    ids_.emplace(step.member, *id);
    return *id;
  }

  win::Variant value_of(const StepArg& a) {
    switch (a.kind) {
      case StepArg::Kind::Missing: return win::Variant::missing();
      case StepArg::Kind::Value: return a.value;
      case StepArg::Kind::Variable: return vars_[a.variable];
    }
    return {};
  }

  bool put(const Step& step) {
    win::Variant value = value_of(step.value);
    const win::DispatchKind kind = value.is_object() ? win::DISPATCH_PROPERTYPUTREF : win::DISPATCH_PROPERTYPUT;
    std::vector<win::Variant> args{value};
    object_->Invoke(id_of(step), kind, args);
    line_.assign(step.member).append(" <- ");
    append_value(line_, value);
    print_line();
    return true;
  }

  bool get(const Step& step) {
    std::vector<win::Variant> args;
    std::vector<std::string> by_ref;
    for (const StepArg& a : step.args) {
      if (a.kind == StepArg::Kind::Variable) {
        args.push_back(win::Variant::ref(vars_[a.variable]));
        if (std::find(by_ref.begin(), by_ref.end(), a.variable) == by_ref.end()) by_ref.push_back(a.variable);
      } else {
        args.push_back(value_of(a));
      }
    }
    const win::DISPID id = id_of(step);
    const std::uint64_t shortfalls = win::volume_shortfalls();
    win::Variant result = object_->Invoke(id, win::DISPATCH_METHOD | win::DISPATCH_PROPERTYGET, args);
    // The library pads bytes the volume does not hold with zeros; they are
    // no data to print.
    if (win::volume_shortfalls() != shortfalls) {
      std::fflush(stdout);
      std::fprintf(stderr, "%s: the sector lies past the end of the image or device; its bytes were not read\n",
                   step.member.c_str());
      return false;
    }
    if (result.is_ref()) result = win::Variant(result.deref());
    line_.assign(step.member).append(" = ");
    append_value(line_, result);
    for (const std::string& v : by_ref) {
      line_.append("\n  $").append(v).append(" = ");
      append_value(line_, vars_[v], "  ");
    }
    print_line();
    if (!step.target.empty()) vars_[step.target] = result;
    return true;
  }

  void print_variable(const std::string& name) {
    line_.assign("$").append(name).append(" = ");
    append_value(line_, vars_[name]);
    print_line();
  }

  // Lines go through stdout's buffer; whatever writes to stderr (errors,
  // message boxes, the trace) flushes stdout first, so the order holds.
  void print_line() {
    line_ += '\n';
    std::fputs(line_.c_str(), stdout);
  }

  win::ObjectRef object_;
  std::map<std::string, win::Variant> vars_;
  std::string line_;  // the step's output, its room kept between steps
  std::unordered_map<std::string, win::DISPID> ids_;
};

// Steps from a file, one per line, after those on the command line: a long
// script outgrows the command line. Blank lines are skipped.
void read_script(const std::string& path, std::vector<Step>& steps) {
  std::ifstream file;
  std::istream* in = &std::cin;
  if (path != "-") {
    file.open(path);
    if (!file) usage_error(path + ": " + std::strerror(errno));
    if (std::filesystem::is_directory(path)) usage_error(path + ": " + std::strerror(EISDIR));
    in = &file;
  }
  std::string line;
  for (unsigned number = 1; std::getline(*in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    try {
      steps.push_back(parse_step(line));
    } catch (const ToolError& e) {
      usage_error(path + ":" + std::to_string(number) + ": " + e.what());
    }
  }
  if (in->bad() || (path != "-" && !in->eof())) fail(path + ": could not be read to the end");
}

int run_call(const CallOptions& o, const GlobalOptions& globals) {
  if (o.json && !o.list) usage_error("--json goes with --list: steps print their own values");
  if (o.list) {
    if (!o.steps.empty() || !o.script.empty()) usage_error("--list takes a class and no steps");
    return list_members(o.class_name, o.json);
  }
  std::vector<Step> steps;
  steps.reserve(o.steps.size());
  for (const std::string& s : o.steps) steps.push_back(parse_step(s));
  if (!o.script.empty()) read_script(o.script, steps);
  open_registry_when_needed(globals);
  const std::string progid = progid_for(o.class_name);
  win::ObjectRef object;
  try {
    object = win::create_object(progid);
  } catch (const win::AutomationError& e) {
    fail(progid + ": error " + std::to_string(e.number()) + ": " + ansi_to_utf8(e.description()));
  }
  ScriptHost host(object);
  bool ran = true;
  for (const Step& step : steps)
    if (!(ran = host.run(step))) break;
  // The member that needed the store could tell no more than that it failed.
  if (const auto& why = registry_open_failure()) fail(*why);
  return ran ? 0 : kExitFailed;
}

}  // namespace

void add_call_command(CommandContext& ctx) {
  auto o = std::make_shared<CallOptions>();
  CLI::App* sub = ctx.app.add_subcommand("call", "Script host: run members of a class by name or dispatch id");
  sub->footer(
      "Creates Volumar10.CLASS (or any registered ProgID) and runs each STEP on it\n"
      "through dispatch by name, in order, printing one line per step.\n"
      "  Name=VALUE          put (putref when the value is an object); prints Name <- VALUE\n"
      "  Name, Name(ARG,...) get or call; prints Name = RESULT\n"
      "  $var=Name(ARG,...)  also keeps the result in $var\n"
      "  $var=VALUE          sets a variable; $var prints it\n"
      "  #0x68030008         in place of a name addresses a member by dispatch id\n"
      "ARG: a number (decimal or 0x hex), a \"string\" (\\r \\n \\xNN escapes), $var (by reference;\n"
      "printed after the call as '  $var = VALUE'), True, False, Empty, Nothing, or nothing (omitted).\n"
      "A step in a --script file is written as on the command line, without shell quoting.\n"
      "A run-time error prints 'Name: error N: description' and ends with exit status 1.\n"
      "The registry store is opened at the first member that uses it; a script that\n"
      "does not creates none.\n"
      "Example: volumar -d C=fd.img call clsQzVolmDrwA 'DrivePP=\"C:\"' DiskSectionPP=3 MinSectorPP");
  sub->add_flag("--list", o->list, "Print the class's member table: name, kind, dispatch id, arguments");
  add_json_flag(*sub, o->json);
  sub->add_option("CLASS", o->class_name, "clsQzVolmDrwA, clsQzVolumarA, ... or a ProgID")->required();
  sub->add_option("STEP", o->steps, "Steps to run in order");
  sub->add_option("--script", o->script, "Then the steps in FILE, one per line (- reads standard input)")
      ->type_name("FILE");
  sub->callback([&run = ctx.run, &globals = ctx.globals, o] { run = [o, &globals] { return run_call(*o, globals); }; });
}

}  // namespace volumar_tool
