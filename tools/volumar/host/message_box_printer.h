// The host's message-box sink: every box the library shows is printed as
// "caption: text" on standard error and answered with its first button, so
// nothing waits for a key. The boxes are also kept for the command to look at.
#pragma once
#include <string_view>
#include <vector>

#include "platform/user32/message_box.h"

namespace volumar_tool {

void install_message_box_printer();

// Prints a box the way the printer does (for hosts with their own sink).
void print_message_box(const win::MessageBoxRequest& box);

// Every box shown since the last clear_boxes(), printed or not.
void record_box(const win::MessageBoxRequest& box);
const std::vector<win::MessageBoxRequest>& shown_boxes();
bool box_shown(std::string_view text);
void clear_boxes();

}  // namespace volumar_tool
