// volumar assoc ...: the three members of clsQzVolmCustomFileExtA; the
// extensions they registered, listed, queried and deleted; .reg export and
// import.
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>

#include "platform/ansi_code_page.h"
#include "platform/automation/class_objects.h"
#include "platform/automation/dispatch.h"
#include "platform/automation/variant_conversion.h"
#include "platform/registry/registry.h"
#include "tools/volumar/commands/commands.h"
#include "tools/volumar/host/drive_argument.h"
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

// The registry would refuse the name, and the members say nothing or only
// that a key could not be created.
win::Variant key_name(const std::string& s, const std::string& what) {
  if (s.find_first_of("\r\n") != std::string::npos)
    usage_error(what + ": a registry key name cannot hold a line break (CR or LF)");
  return text(s);
}

// ---- reading the registry back ------------------------------------------------

std::string ansi(const std::string& utf8_text) { return win::utf16_to_ansi(utf16_argument(utf8_text, utf8_text)); }

// The default value of a key under the classes root; nothing when the key is not there.
std::optional<std::string> default_value(const std::string& path) {
  win::LONG size = 0;
  if (win::RegQueryValueA(win::HKEY_CLASSES_ROOT, path.c_str(), nullptr, &size) != win::ERROR_SUCCESS)
    return std::nullopt;
  std::string value(static_cast<std::size_t>(size) + 1, '\0');
  if (win::RegQueryValueA(win::HKEY_CLASSES_ROOT, path.c_str(), value.data(), &size) != win::ERROR_SUCCESS)
    return std::nullopt;
  value.resize(std::strlen(value.c_str()));
  return value;
}

std::vector<std::string> subkeys(const std::string& path) {
  std::vector<std::string> out;
  win::HKEY key = nullptr;
  if (win::RegOpenKeyExA(win::HKEY_CLASSES_ROOT, path.c_str(), 0, win::KEY_READ, &key) != win::ERROR_SUCCESS)
    return out;
  std::string name(1 << 15, '\0');
  for (win::DWORD i = 0;; ++i) {
    win::DWORD chars = static_cast<win::DWORD>(name.size());
    if (win::RegEnumKeyExA(key, i, name.data(), &chars, nullptr, nullptr, nullptr, nullptr) != win::ERROR_SUCCESS)
      break;
    out.emplace_back(name.data(), chars);
  }
  win::RegCloseKey(key);
  return out;
}

// Extension keys and the types they name, in the registry's order.
std::vector<std::pair<std::string, std::string>> extensions() {
  std::vector<std::pair<std::string, std::string>> out;
  for (const std::string& name : subkeys(""))
    if (name.size() > 1 && name[0] == '.') out.emplace_back(name, default_value(name).value_or(""));
  return out;
}

bool same_name(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// ".xyz" for "xyz" too, in the registry's ANSI text.
std::string extension_key(const std::string& ext) {
  if (ext.find_first_of("\\\r\n") != std::string::npos || ext.empty() || ext == ".")
    usage_error("EXT '" + ext + "': not an extension");
  return ansi(ext[0] == '.' ? ext : "." + ext);
}

// The members report failures only by message box; any box is a failure.
int call_member(const std::u16string& member, std::vector<win::Variant> args) {
  auto object = win::create_object("Volumar10.clsQzVolmCustomFileExtA");
  clear_boxes();
  win::invoke_by_name(object, member, win::DISPATCH_METHOD, args);
  return shown_boxes().empty() ? 0 : kExitFailed;
}

int reg_extension(const AssocOptions& o) {
  return call_member(u"RegExtension",
                     {key_name(o.texts[0], "EXT"), key_name(o.texts[1], "TYPE"), text(o.texts[2]), text(o.texts[3])});
}

int associate_extension(const AssocOptions& o) {
  win::Variant identifier = key_name(o.identifier, "--identifier");
  auto object = win::create_object("Volumar10.clsQzVolmCustomFileExtA");
  clear_boxes();
  std::vector<win::Variant> args{text(o.texts[0]), key_name(o.texts[1], "EXT"), win::Variant::ref(identifier),
                                 text(o.description), text(o.icon)};
  win::invoke_by_name(object, u"AssociateFileExtension", win::DISPATCH_METHOD, args);
  std::printf("Command key: %s\n", utf8(win::to_string(identifier)).c_str());
  return shown_boxes().empty() ? 0 : kExitFailed;
}

int associate_command(const AssocOptions& o) {
  return call_member(u"AssociateFileCommand",
                     {key_name(o.texts[0], "EXT"), key_name(o.action, "--action"), text(o.command)});
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

int list_extensions(const AssocOptions&) {
  std::vector<std::array<std::string, 3>> rows;
  for (const auto& [ext, type] : extensions())
    rows.push_back({ansi_to_utf8(ext), ansi_to_utf8(type), ansi_to_utf8(default_value(type).value_or(""))});
  if (rows.empty()) return 0;
  rows.insert(rows.begin(), {"EXTENSION", "TYPE", "DESCRIPTION"});
  std::size_t width[2] = {0, 0};
  for (const auto& row : rows)
    for (int c = 0; c < 2; ++c) width[c] = std::max(width[c], row[c].size());
  for (const auto& row : rows) {
    std::string line = row[0] + std::string(width[0] + 2 - row[0].size(), ' ') + row[1];
    if (!row[2].empty()) line += std::string(width[1] + 2 - row[1].size(), ' ') + row[2];
    std::puts(line.c_str());
  }
  return 0;
}

int query_extension(const AssocOptions& o) {
  const std::string ext = extension_key(o.texts[0]);
  const auto type = default_value(ext);
  if (!type) fail(ansi_to_utf8(ext) + ": no file type is registered for it");
  std::string out = "Extension: " + ansi_to_utf8(ext) + "\n";
  if (!type->empty()) {
    out += "Type: " + ansi_to_utf8(*type) + "\n";
    if (const auto description = default_value(*type)) out += "Description: " + ansi_to_utf8(*description) + "\n";
    if (const auto icon = default_value(*type + "\\DefaultIcon")) out += "Icon: " + ansi_to_utf8(*icon) + "\n";
    for (const std::string& verb : subkeys(*type + "\\shell"))
      if (const auto command = default_value(*type + "\\shell\\" + verb + "\\command"))
        out += "Command " + ansi_to_utf8(verb) + ": " + ansi_to_utf8(*command) + "\n";
  }
  std::fputs(out.c_str(), stdout);
  return 0;
}

// Keys the shell and the component runtime own, whatever an extension says.
bool shared_key(const std::string& type) {
  static const char* const kShared[] = {"CLSID", "Interface", "TypeLib", "AppID", "*"};
  for (const char* name : kShared)
    if (same_name(type, name)) return true;
  return type[0] == '.' ||
         std::ranges::any_of(subkeys(type), [](const std::string& k) { return same_name(k, "CLSID"); });
}

void delete_key(const std::string& path) {
  if (const win::LONG rc = win::RegDeleteTreeA(win::HKEY_CLASSES_ROOT, path.c_str()); rc != win::ERROR_SUCCESS)
    fail("cannot delete HKEY_CLASSES_ROOT\\" + ansi_to_utf8(path) + ": error " + std::to_string(rc));
  std::printf("Deleted HKEY_CLASSES_ROOT\\%s\n", ansi_to_utf8(path).c_str());
}

int delete_extension(const AssocOptions& o) {
  const std::string ext = extension_key(o.texts[0]);
  const auto type = default_value(ext);
  if (!type) fail(ansi_to_utf8(ext) + ": no file type is registered for it");
  delete_key(ext);
  if (type->empty() || !default_value(*type)) return 0;
  std::string users;
  for (const auto& [other, its_type] : extensions())
    if (same_name(its_type, *type)) users += (users.empty() ? "" : ", ") + ansi_to_utf8(other);
  if (!users.empty() || shared_key(*type)) {
    std::printf("Kept HKEY_CLASSES_ROOT\\%s (%s)\n", ansi_to_utf8(*type).c_str(),
                users.empty() ? "a key of its own" : ("the type of " + users + " too").c_str());
    return 0;
  }
  delete_key(*type);
  return 0;
}

int import_reg(const AssocOptions& o) {
  struct stat st {};
  if (::stat(o.file.c_str(), &st) != 0) fail("cannot import " + o.file + ": " + std::strerror(errno));
  if (const char* kind = unusable_file_kind(st.st_mode)) fail("cannot import " + o.file + ": " + kind + ", not a file");
  std::size_t line = 0;
  const win::LONG rc = win::registry_import_file(o.file, &line);
  if (rc == win::ERROR_SUCCESS) return 0;
  if (rc == win::ERROR_INVALID_DATA)
    fail(o.file + ":" + std::to_string(line) + ": not a line of a .reg file; nothing was imported");
  if (::access(o.file.c_str(), R_OK) != 0) fail("cannot import " + o.file + ": " + std::strerror(errno));
  fail("cannot import " + o.file + ": error " + std::to_string(rc));
}

// Why the store failed a call since `before`, in the words a user can act on.
void check_store(std::uint64_t before, const std::string& what, const GlobalOptions& globals) {
  const win::RegistryStoreFailure failure = win::registry_store_failure();
  if (failure.serial == before) return;
  const std::string path = globals.registry.empty() ? default_registry_path() : globals.registry;
  std::string why = "the registry store " + path;
  if (failure.status == static_cast<win::LONG>(win::ERROR_REGISTRY_CORRUPT))
    why += " is damaged (" + failure.detail + ")";
  else if (::access(path.c_str(), W_OK) != 0)
    why += " cannot be written (" + std::string(std::strerror(errno)) + ")";
  else if (failure.status == static_cast<win::LONG>(win::ERROR_DISK_FULL))
    why += " has no room left on its disk";
  else
    why += " failed (" + failure.detail + ")";
  fail(what + ": " + why);
}

}  // namespace

void add_assoc_command(CommandContext& ctx) {
  CLI::App* assoc = ctx.app.add_subcommand(
      "assoc", "File-type associations in the registry (HKEY_CLASSES_ROOT of the --registry store)");
  assoc->require_subcommand(1);
  auto o = std::make_shared<AssocOptions>();
  // `what` names, for a message, the work a failing store leaves undone.
  using What = std::string (*)(const AssocOptions&);
  auto bind = [&ctx, o](CLI::App* sub, int (*work)(const AssocOptions&), What what) {
    sub->callback([&run = ctx.run, &globals = ctx.globals, o, work, what] {
      run = [o, &globals, work, what] {
        open_registry(globals);
        const std::uint64_t before = win::registry_store_failure().serial;
        int status = kExitFailed;
        try {
          status = work(*o);
        } catch (const ToolError&) {
          check_store(before, what(*o), globals);
          throw;
        }
        check_store(before, what(*o), globals);
        return status;
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
  bind(reg, reg_extension, [](const AssocOptions& a) { return a.texts.at(0) + " was not registered"; });

  CLI::App* ext = assoc->add_subcommand(
      "associate-extension", "AssociateFileExtension: extension -> identifier, description, icon, open command");
  ext->alias("AssociateFileExtension");
  ext->add_option("TEXTS", o->texts, "APPLICATION_PATH EXT")->required()->expected(2);
  ext->add_option("--identifier", o->identifier, "File type identifier (ProgID)");
  ext->add_option("--description", o->description, "Type description");
  ext->add_option("--icon", o->icon, "Icon path");
  bind(ext, associate_extension, [](const AssocOptions& a) { return a.texts.at(1) + " was not registered"; });

  CLI::App* cmd =
      assoc->add_subcommand("associate-command", "AssociateFileCommand: a shell verb of the extension's type");
  cmd->alias("AssociateFileCommand");
  cmd->add_option("TEXTS", o->texts, "EXT")->required()->expected(1);
  cmd->add_option("--action", o->action, "Verb, such as print");
  cmd->add_option("--command", o->command, "Command line (taken unchanged)");
  bind(cmd, associate_command, [](const AssocOptions& a) { return a.texts.at(0) + " was not given its command"; });

  CLI::App* exp =
      assoc->add_subcommand("export", "Write the registry's classes root as a .reg file (registry editor format)");
  exp->add_option("FILE", o->file, "The .reg file to write")->required();
  exp->add_option("--key", o->key, "Key to export (default HKEY_CLASSES_ROOT)");
  bind(exp, export_reg, [](const AssocOptions& a) { return "cannot export " + a.key + " to " + a.file; });

  CLI::App* list = assoc->add_subcommand("list", "The registered extensions, their types and type descriptions");
  bind(list, list_extensions, [](const AssocOptions&) { return std::string("cannot list the extensions"); });

  CLI::App* query = assoc->add_subcommand(
      "query", "What is registered for an extension: its type, description, icon and commands (exit 1: nothing)");
  query->add_option("EXT", o->texts, "The extension (.xyz; the dot may be left out)")->required()->expected(1);
  bind(query, query_extension, [](const AssocOptions& a) { return "cannot query " + a.texts.at(0); });

  CLI::App* del = assoc->add_subcommand(
      "delete", "Remove an extension's key and, when no other extension uses it, its type's key (exit 1: not there)");
  del->add_option("EXT", o->texts, "The extension (.xyz; the dot may be left out)")->required()->expected(1);
  bind(del, delete_extension, [](const AssocOptions& a) { return a.texts.at(0) + " was not deleted"; });

  CLI::App* imp = assoc->add_subcommand(
      "import", "Apply a .reg file (registry editor format, 5.00 or REGEDIT4) as one change: all of it or nothing");
  imp->add_option("FILE", o->file, "The .reg file to read")->required();
  bind(imp, import_reg, [](const AssocOptions& a) { return a.file + " was not imported"; });
}

}  // namespace volumar_tool
