// The steps of `volumar call`, parsed:
//   Name=VALUE          put (putref when the value is an object)
//   Name  Name(ARG,...) get or call
//   $var=Name(ARG,...)  the same, keeping the result in $var
//   $var=VALUE          a variable set to a value
//   $var                the variable's value
// A name may be #0x68030008 (a dispatch id). An ARG is a number (decimal or
// 0x hex), a "quoted string" (\r \n \t \" \\ \xNN escapes), $var (passed by
// reference), True, False, Empty, Nothing, or nothing (omitted).
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "platform/automation/dispatch.h"

namespace volumar_tool {

struct StepArg {
  enum class Kind { Missing, Value, Variable };
  Kind kind = Kind::Missing;
  win::Variant value;    // Kind::Value
  std::string variable;  // Kind::Variable, without the $
};

struct Step {
  enum class Kind { Put, Get, SetVariable, ShowVariable };
  Kind kind = Kind::Get;
  std::string text;               // as written
  std::string member;             // as written: a name or #id
  std::optional<win::DISPID> id;  // given as #id
  std::string target;             // $var that keeps the result (or is shown), without the $
  std::vector<StepArg> args;      // Get
  StepArg value;                  // Put, SetVariable
};

// Raises a usage error naming the step and what is wrong with it.
Step parse_step(const std::string& text);

// A string literal's body (without its quotes) with its escapes resolved.
std::u16string unescape(const std::string& body);

}  // namespace volumar_tool
