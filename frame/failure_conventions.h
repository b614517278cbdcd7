// The three ways a member lets a run-time error reach its caller. The
// default is to pass it on (let the exception leave the member); these two
// helpers name the other conventions so a member's code shows which it uses.
#pragma once
#include <string_view>

#include "frame/runtime_error.h"

namespace volumar {

// Runs one statement and ignores its run-time error, as "On Error Resume
// Next" does for each statement that follows it.
template <class Statement>
void resume_next(Statement&& statement) {
  try {
    statement();
  } catch (const RuntimeError&) {
  }
}

// Reports a run-time error to the companion's error handler with the given
// source text (module name constant + ".Procedure"). If the report itself
// fails, that error leaves the member.
void report_runtime_error(const RuntimeError& error, std::string_view source);

// Runs one statement; on a run-time error reports it and continues with the
// next statement.
template <class Statement>
void report_and_continue(std::string_view source, Statement&& statement) {
  try {
    statement();
  } catch (const RuntimeError& error) {
    report_runtime_error(error, source);
  }
}

}  // namespace volumar
