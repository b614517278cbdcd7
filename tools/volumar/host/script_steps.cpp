// Parsing the steps of the script host.
#include "tools/volumar/host/script_steps.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>

#include "platform/ansi_code_page.h"
#include "tools/volumar/host/text.h"
#include "tools/volumar/host/tool_error.h"

namespace volumar_tool {
namespace {

[[noreturn]] void bad_step(const std::string& step, const std::string& why) {
  usage_error("step '" + step + "': " + why);
}

bool is_name_char(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

std::string trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

bool equals_word(const std::string& a, const char* b) {
  std::string x = a;
  for (char& c : x) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return x == b;
}

std::optional<win::Variant> parse_number(const std::string& t) {
  if (t.empty()) return std::nullopt;
  std::string s = t;
  bool negative = false;
  if (s[0] == '-' || s[0] == '+') {
    negative = s[0] == '-';
    s = s.substr(1);
  }
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    std::uint32_t v = 0;
    auto [end, ec] = std::from_chars(s.data() + 2, s.data() + s.size(), v, 16);
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    // A 32-bit pattern, as a dispatch id or a Long with its top bit set.
    std::int32_t l = static_cast<std::int32_t>(v);
    return win::Variant(negative ? static_cast<std::int32_t>(0u - v) : l);
  }
  if (s.empty() || !std::isdigit(static_cast<unsigned char>(s[0]))) return std::nullopt;
  std::int64_t whole = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), whole, 10);
  if (ec == std::errc() && end == s.data() + s.size()) {
    if (negative) whole = -whole;
    if (whole >= INT32_MIN && whole <= INT32_MAX) return win::Variant(static_cast<std::int32_t>(whole));
    return win::Variant(static_cast<double>(whole));
  }
  char* stop = nullptr;
  const double d = std::strtod(t.c_str(), &stop);
  if (stop && *stop == '\0') return win::Variant(d);
  return std::nullopt;
}

StepArg parse_arg(const std::string& step, const std::string& raw) {
  const std::string t = trim(raw);
  StepArg a;
  if (t.empty()) return a;
  if (t[0] == '"') {
    if (t.size() < 2 || t.back() != '"') bad_step(step, "unterminated string " + t);
    a.kind = StepArg::Kind::Value;
    a.value = win::Variant(unescape(t.substr(1, t.size() - 2)));
    return a;
  }
  if (t[0] == '$') {
    if (t.size() < 2 || !std::all_of(t.begin() + 1, t.end(), is_name_char)) bad_step(step, "bad variable " + t);
    a.kind = StepArg::Kind::Variable;
    a.variable = t.substr(1);
    return a;
  }
  a.kind = StepArg::Kind::Value;
  if (equals_word(t, "true")) {
    a.value = win::Variant(true);
  } else if (equals_word(t, "false")) {
    a.value = win::Variant(false);
  } else if (equals_word(t, "empty")) {
    a.value = win::Variant();
  } else if (equals_word(t, "nothing")) {
    a.value = win::Variant(win::ObjectRef());
  } else if (auto n = parse_number(t)) {
    a.value = *n;
  } else {
    bad_step(step, "'" + t + "' is not a number, a \"string\" or a $variable");
  }
  return a;
}

// Splits an argument list at the commas outside string literals.
std::vector<std::string> split_args(const std::string& step, const std::string& list) {
  std::vector<std::string> out;
  std::string current;
  bool quoted = false;
  for (std::size_t i = 0; i < list.size(); ++i) {
    const char c = list[i];
    if (quoted && c == '\\' && i + 1 < list.size()) {
      current += c;
      current += list[++i];
      continue;
    }
    if (c == '"') quoted = !quoted;
    if (c == ',' && !quoted) {
      out.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (quoted) bad_step(step, "unterminated string");
  out.push_back(current);
  return out;
}

bool looks_like_value(const std::string& t) {
  if (t.empty()) return false;
  const char c = t[0];
  if (c == '"' || c == '$' || c == '-' || c == '+' || std::isdigit(static_cast<unsigned char>(c))) return true;
  return equals_word(t, "true") || equals_word(t, "false") || equals_word(t, "empty") || equals_word(t, "nothing");
}

// Reads the member at the start of `rest`: a name or #id.
std::size_t parse_member(const std::string& step, const std::string& rest, Step& s) {
  std::size_t i = 0;
  if (!rest.empty() && rest[0] == '#') {
    i = 1;
    while (i < rest.size() && is_name_char(rest[i])) ++i;
    auto n = parse_number(rest.substr(1, i - 1));
    if (!n || n->type() != win::VarType::Long) bad_step(step, "a dispatch id is #0xHEX or #DECIMAL");
    s.id = n->long_value();
  } else {
    while (i < rest.size() && is_name_char(rest[i])) ++i;
    if (i == 0 || std::isdigit(static_cast<unsigned char>(rest[0]))) bad_step(step, "no member name");
  }
  s.member = rest.substr(0, i);
  return i;
}

}  // namespace

std::u16string unescape(const std::string& body) {
  std::u16string out;
  std::string plain;
  auto flush = [&] {
    out += utf16(plain);
    plain.clear();
  };
  for (std::size_t i = 0; i < body.size(); ++i) {
    if (body[i] != '\\' || i + 1 >= body.size()) {
      plain += body[i];
      continue;
    }
    const char e = body[++i];
    flush();
    switch (e) {
      case 'r': out += u'\r'; break;
      case 'n': out += u'\n'; break;
      case 't': out += u'\t'; break;
      case '0': out += u'\0'; break;
      case 'x': {
        unsigned v = 0;
        if (i + 2 < body.size() &&
            std::from_chars(body.data() + i + 1, body.data() + i + 3, v, 16).ptr == body.data() + i + 3) {
          out += win::ansi_char(static_cast<std::uint8_t>(v));
          i += 2;
        } else {
          usage_error("\\x wants two hex digits in \"" + body + "\"");
        }
        break;
      }
      default: out += static_cast<char16_t>(static_cast<unsigned char>(e)); break;
    }
  }
  flush();
  return out;
}

Step parse_step(const std::string& text) {
  Step s;
  s.text = text;
  std::string rest = text;
  if (!rest.empty() && rest[0] == '$') {
    const auto eq = rest.find('=');
    s.target = rest.substr(1, eq == std::string::npos ? std::string::npos : eq - 1);
    if (s.target.empty() || !std::all_of(s.target.begin(), s.target.end(), is_name_char))
      bad_step(text, "bad variable name");
    if (eq == std::string::npos) {
      s.kind = Step::Kind::ShowVariable;
      return s;
    }
    rest = rest.substr(eq + 1);
    if (looks_like_value(rest)) {
      s.kind = Step::Kind::SetVariable;
      s.value = parse_arg(text, rest);
      return s;
    }
  }
  const std::size_t n = parse_member(text, rest, s);
  if (n == rest.size()) {
    s.kind = Step::Kind::Get;
    return s;
  }
  if (rest[n] == '=' && s.target.empty()) {
    s.kind = Step::Kind::Put;
    const std::string value = rest.substr(n + 1);
    if (trim(value).empty()) bad_step(text, "a put needs a value");
    s.value = parse_arg(text, value);
    return s;
  }
  if (rest[n] == '(' && rest.back() == ')') {
    s.kind = Step::Kind::Get;
    const std::string list = rest.substr(n + 1, rest.size() - n - 2);
    if (!trim(list).empty())
      for (const std::string& a : split_args(text, list)) s.args.push_back(parse_arg(text, a));
    return s;
  }
  bad_step(text, "expected Name, Name(ARG,...), Name=VALUE or $var=Name(...)");
}

}  // namespace volumar_tool
