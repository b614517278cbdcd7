// basQzVolmCustomFileExtA: the two procedures behind AssociateFileExtension
// and AssociateFileCommand, and the registry steps they share with
// RegExtension. Keys are opened and closed within each call.
#pragma once
#include "frame/value_types.h"
#include "platform/win_types.h"

namespace volumar {

inline constexpr const char* kMsgOpeningKey = "Error: Opening Registry Key!";
inline constexpr const char* kMsgQueryingValue = "Error: Querying Value!";
inline constexpr const char* kMsgCreatingKey = "Error: Creating Key!";
inline constexpr const char* kMsgSettingValue = "Error Setting String Value!";

// Writes the extension, the type with its description and icon, and the
// type's open command. Once the icon is written, sIdentifier grows in place
// into the path of the command key. Failures show a message box.
void AssociateFileExtension_Pro(String& sApplicationPath, String& sAppFileExtension, String& sIdentifier,
                                String& sDescription, String& sIconPath);

// Adds the verb sAction with its command line to the type that the
// extension's default value names. Failures show a message box; a default
// value of length 0 raises "invalid procedure call" (5).
void AssociateFileCommand_Pro(String& sAppFileExtension, String& sAction, String& sCommand);

}  // namespace volumar
