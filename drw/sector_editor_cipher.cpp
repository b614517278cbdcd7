// The cipher members of the sector editor.
#include "cipher/string_cipher.h"
#include "drw/sector_editor.h"

namespace volumar {

String clsQzVolmDrwA::GetCrypEncString(String& sInputString) { return cipher::GetCrypEncString(sInputString); }
String clsQzVolmDrwA::GetCrypDecString(String& sInputString) { return cipher::GetCrypDecString(sInputString); }

}  // namespace volumar
