// volumar cipher encode|decode [TEXT]: the library's string cipher, on one
// text or on each line of standard input.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <memory>

#include "platform/automation/automation_error.h"
#include "platform/automation/class_objects.h"
#include "platform/automation/dispatch.h"
#include "platform/automation/variant_conversion.h"
#include "tools/volumar/commands/commands.h"
#include "tools/volumar/host/text.h"
#include "tools/volumar/host/tool_error.h"

namespace volumar_tool {
namespace {

struct CipherOptions {
  std::string direction;
  std::string text;
  bool has_text = false;  // "" is a text too
};

std::string cipher(const win::ObjectRef& editor, const char16_t* member, const std::u16string& text) {
  return utf8(win::to_string(win::call_method(editor, member, {win::Variant(text)})));
}

// Line by line: the cipher leaves line ends alone, so this is the whole
// input's cipher, and no line meets the cipher's length limit for another's.
int cipher_lines(const win::ObjectRef& editor, const char16_t* member) {
  std::string line;
  for (unsigned number = 1; std::getline(std::cin, line); ++number) {
    const std::string where = "standard input, line " + std::to_string(number);
    std::u16string text;
    try {
      text = utf16_argument(line, where);
      line = cipher(editor, member, text);
    } catch (const ToolError& e) {
      fail(e.what());
    } catch (const win::AutomationError& e) {
      fail(where + ": error " + std::to_string(e.number()) + ": " + ansi_to_utf8(e.description()));
    }
    line += '\n';
    std::fputs(line.c_str(), stdout);
  }
  if (std::cin.bad()) fail("standard input could not be read to the end");
  return 0;
}

int run_cipher(const CipherOptions& o) {
  auto editor = win::create_object("Volumar10.clsQzVolmDrwA");
  const char16_t* member = o.direction == "encode" ? u"GetCrypEncString" : u"GetCrypDecString";
  if (!o.has_text) {
    // Nobody types at a program that seems to hang.
    if (isatty(STDIN_FILENO) == 1) usage_error("TEXT is required when standard input is a terminal");
    return cipher_lines(editor, member);
  }
  std::fputs((cipher(editor, member, utf16_argument(o.text, "TEXT")) + "\n").c_str(), stdout);
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
  CLI::Option* text = sub->add_option("TEXT", o->text, "The text (UTF-8); without it, each line of standard input");
  sub->footer(
      "Without TEXT, each line of standard input is one text and gives one line of\n"
      "output: echo hello | volumar cipher encode. Only ASCII letters and digits\n"
      "change, so lines come out as they went in, CR LF ends included.");
  sub->callback([&run = ctx.run, o, text] {
    o->has_text = text->count() > 0;
    run = [o] { return run_cipher(*o); };
  });
}

}  // namespace volumar_tool
