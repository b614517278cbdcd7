// volumar assoc ...: the three members of clsQzVolmCustomFileExtA, and the
// export of what they wrote as a .reg file.
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "platform/automation/class_objects.h"
#include "platform/automation/dispatch.h"
#include "platform/automation/variant_conversion.h"
#include "platform/registry/registry.h"
#include "tools/volumar/commands/commands.h"
#include "tools/volumar/host/global_options.h"
#include "tools/volumar/host/message_box_printer.h"
#include "tools/volumar/host/text.h"
#include "tools/volumar/host/tool_error.h"

namespace volumar_tool {
namespace {

struct AssocOptions {
  std::vector<std::string> texts;  // positional texts of the chosen member
  std::string identifier, description, icon, action, command;
  std::string file, key = "HKEY_CLASSES_ROOT";
};

win::Variant text(const std::string& s) {
  return win::Variant(utf16_argument(s, std::string("'").append(s).append("'")));
}

// The members report failures only by message box; any box is a failure.
int call_member(const std::u16string& member, std::vector<win::Variant> args) {
  auto object = win::create_object("Volumar10.clsQzVolmCustomFileExtA");
  clear_boxes();
  win::invoke_by_name(object, member, win::DISPATCH_METHOD, args);
  return shown_boxes().empty() ? 0 : kExitFailed;
}

int reg_extension(const AssocOptions& o) {
  return call_member(u"RegExtension", {text(o.texts[0]), text(o.texts[1]), text(o.texts[2]), text(o.texts[3])});
}

int associate_extension(const AssocOptions& o) {
  win::Variant identifier = text(o.identifier);
  auto object = win::create_object("Volumar10.clsQzVolmCustomFileExtA");
  clear_boxes();
  std::vector<win::Variant> args{text(o.texts[0]), text(o.texts[1]), win::Variant::ref(identifier), text(o.description),
                                 text(o.icon)};
  win::invoke_by_name(object, u"AssociateFileExtension", win::DISPATCH_METHOD, args);
  std::printf("Command key: %s\n", utf8(win::to_string(identifier)).c_str());
  return shown_boxes().empty() ? 0 : kExitFailed;
}

int associate_command(const AssocOptions& o) {
  return call_member(u"AssociateFileCommand", {text(o.texts[0]), text(o.action), text(o.command)});
}

int export_reg(const AssocOptions& o) {
  const win::LONG status = win::registry_export_file(o.key, o.file);
  if (status == win::ERROR_FILE_NOT_FOUND) fail(o.key + ": no such key in the registry");
  if (status == win::ERROR_SUCCESS) return 0;
  // The store's status says no more than that the file was not written.
  std::string why;
  struct stat st {};
  std::string folder = std::filesystem::path(o.file).parent_path().string();
  if (folder.empty()) folder = ".";
  if (::stat(o.file.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
    why = "it is a folder";
  else if (::access(folder.c_str(), W_OK) != 0)
    why = folder + ": " + std::strerror(errno);
  else if (::access(o.file.c_str(), F_OK) == 0 && ::access(o.file.c_str(), W_OK) != 0)
    why = std::strerror(errno);
  else
    why = "error " + std::to_string(status);
  fail("cannot export " + o.key + " to " + o.file + ": " + why);
}

}  // namespace

void add_assoc_command(CommandContext& ctx) {
  CLI::App* assoc = ctx.app.add_subcommand(
      "assoc", "File-type associations in the registry (HKEY_CLASSES_ROOT of the --registry store)");
  assoc->require_subcommand(1);
  auto o = std::make_shared<AssocOptions>();
  auto bind = [&ctx, o](CLI::App* sub, int (*work)(const AssocOptions&)) {
    sub->callback([&run = ctx.run, &globals = ctx.globals, o, work] {
      run = [o, &globals, work] {
        open_registry(globals);
        return work(*o);
      };
    });
  };

  CLI::App* reg =
      assoc->add_subcommand("reg-extension", "RegExtension: extension -> type, its description and open command");
  reg->alias("RegExtension");
  reg->add_option("TEXTS", o->texts,
                  "EXT TYPE DESCRIPTION COMMAND (\".xyz\" \"Xyz.Document\" \"Xyz document\" \"C:\\App\\app.exe\")")
      ->required()
      ->expected(4);
  bind(reg, reg_extension);

  CLI::App* ext = assoc->add_subcommand(
      "associate-extension", "AssociateFileExtension: extension -> identifier, description, icon, open command");
  ext->alias("AssociateFileExtension");
  ext->add_option("TEXTS", o->texts, "APPLICATION_PATH EXT")->required()->expected(2);
  ext->add_option("--identifier", o->identifier, "File type identifier (ProgID)");
  ext->add_option("--description", o->description, "Type description");
  ext->add_option("--icon", o->icon, "Icon path");
  bind(ext, associate_extension);

  CLI::App* cmd =
      assoc->add_subcommand("associate-command", "AssociateFileCommand: a shell verb of the extension's type");
  cmd->alias("AssociateFileCommand");
  cmd->add_option("TEXTS", o->texts, "EXT")->required()->expected(1);
  cmd->add_option("--action", o->action, "Verb, such as print");
  cmd->add_option("--command", o->command, "Command line (taken unchanged)");
  bind(cmd, associate_command);

  CLI::App* exp =
      assoc->add_subcommand("export", "Write the registry's classes root as a .reg file (registry editor format)");
  exp->add_option("FILE", o->file, "The .reg file to write")->required();
  exp->add_option("--key", o->key, "Key to export (default HKEY_CLASSES_ROOT)");
  bind(exp, export_reg);
}

}  // namespace volumar_tool
