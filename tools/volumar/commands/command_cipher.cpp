// volumar cipher encode|decode TEXT: the library's string cipher.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>

#include "platform/automation/class_objects.h"
#include "platform/automation/dispatch.h"
#include "platform/automation/variant_conversion.h"
#include "tools/volumar/commands/commands.h"
#include "tools/volumar/host/text.h"

namespace volumar_tool {
namespace {

struct CipherOptions {
  std::string direction;
  std::string text;
};

int run_cipher(const CipherOptions& o) {
  auto editor = win::create_object("Volumar10.clsQzVolmDrwA");
  const char16_t* member = o.direction == "encode" ? u"GetCrypEncString" : u"GetCrypDecString";
  const auto result = win::call_method(editor, member, {win::Variant(utf16_argument(o.text, "TEXT"))});
  std::fputs((utf8(win::to_string(result)) + "\n").c_str(), stdout);
  return 0;
}

}  // namespace

void add_cipher_command(CommandContext& ctx) {
  auto o = std::make_shared<CipherOptions>();
  CLI::App* sub =
      ctx.app.add_subcommand("cipher", "Encipher or decipher a text with the library's letter-and-digit cipher");
  sub->add_option("DIRECTION", o->direction, "encode or decode")
      ->required()
      ->check(CLI::IsMember({"encode", "decode"}));
  sub->add_option("TEXT", o->text, "The text (UTF-8)")->required();
  sub->callback([&run = ctx.run, o] { run = [o] { return run_cipher(*o); }; });
}

}  // namespace volumar_tool
