// volumar assoc as a user meets it: transcripts over a healthy store, a
// damaged one and one that cannot be written.
#include <unistd.h>

#include "tests/tools/volumar_transcript.h"

namespace tooltest {
namespace {

const std::string kAssoc = "assoc() { volumar --registry r.db assoc \"$@\"; }";

TEST(VolumarAssocTranscript, RegisterListQueryDeleteExportAndImport) {
  expect_transcript(R"(
$ assoc list
$ assoc reg-extension .xyz Xyz.Document 'Xyz document' 'C:\App\app.exe'
$ assoc RegExtension .xy2 Xyz.Document 'Xyz document' 'C:\App\app.exe'
$ assoc associate-extension 'C:\App\abc.exe' .abc --identifier Abc.Doc --description 'Abc doc' --icon 'C:\App\abc.ico'
Command key: Abc.Doc\shell\open\command
$ assoc associate-command .xyz --action print --command 'C:\App\app.exe /p'
$ assoc list
EXTENSION  TYPE          DESCRIPTION
.abc       Abc.Doc       Abc doc
.xy2       Xyz.Document  Xyz document
.xyz       Xyz.Document  Xyz document
$ assoc query xyz
Extension: .xyz
Type: Xyz.Document
Description: Xyz document
Command open: C:\App\app.exe %1
Command print: C:\App\app.exe /p
$ assoc query .none
! volumar: .none: no file type is registered for it
? 1
$ assoc delete .xyz
Deleted HKEY_CLASSES_ROOT\.xyz
Kept HKEY_CLASSES_ROOT\Xyz.Document (the type of .xy2 too)
$ assoc delete xy2
Deleted HKEY_CLASSES_ROOT\.xy2
Deleted HKEY_CLASSES_ROOT\Xyz.Document
$ assoc delete .xy2
! volumar: .xy2: no file type is registered for it
? 1
$ assoc export out.reg && assoc delete .abc && assoc list && assoc import out.reg && assoc query abc
Deleted HKEY_CLASSES_ROOT\.abc
Deleted HKEY_CLASSES_ROOT\Abc.Doc
Extension: .abc
Type: Abc.Doc
Description: Abc doc
Icon: C:\App\abc.ico
Command open: "C:\App\abc.exe" "%1"
$ printf 'REGEDIT4\n\n[HKEY_CLASSES_ROOT\\.q]\n@=oops\n' > bad.reg; assoc import bad.reg
! volumar: bad.reg:4: not a line of a .reg file; nothing was imported
? 1
$ assoc import none.reg
! volumar: cannot import none.reg: No such file or directory
? 1
$ assoc import .
! volumar: cannot import .: a folder, not a file
? 1
$ assoc reg-extension .odd CLSID 'Class ids' app && assoc delete .odd
Deleted HKEY_CLASSES_ROOT\.odd
Kept HKEY_CLASSES_ROOT\CLSID (a key of its own)
$ assoc reg-extension $'.a\nb' T d c
! volumar: EXT: a registry key name cannot hold a line break (CR or LF)
? 2
$ assoc associate-extension app .abc --identifier $'A\r'
! volumar: --identifier: a registry key name cannot hold a line break (CR or LF)
? 2
$ assoc associate-command .abc --action $'pr\nint' --command x
! volumar: --action: a registry key name cannot hold a line break (CR or LF)
? 2
$ assoc list
EXTENSION  TYPE     DESCRIPTION
.abc       Abc.Doc  Abc doc
)",
                    kAssoc);
}

TEST(VolumarAssocTranscript, ADamagedStoreStoresNothingAndEveryCommandSaysWhy) {
  expect_transcript(R"(
$ assoc reg-extension .xyz Xyz.Document 'Xyz document' app && assoc export out.reg
$ head -c 4096 /dev/zero | tr '\0' '\377' | dd of=r.db bs=4096 seek=1 conv=notrunc status=none
$ assoc reg-extension .b B.Doc 'B doc' app
! volumar: .b was not registered: the registry store r.db is damaged (database disk image is malformed)
? 1
$ assoc associate-command .xyz --action print
! Volumar10: Error: Opening Registry Key!
! volumar: .xyz was not given its command: the registry store r.db is damaged (database disk image is malformed)
? 1
$ assoc list
! volumar: cannot list the extensions: the registry store r.db is damaged (database disk image is malformed)
? 1
$ assoc import out.reg
! volumar: out.reg was not imported: the registry store r.db is damaged (database disk image is malformed)
? 1
$ assoc export out.reg
! volumar: cannot export HKEY_CLASSES_ROOT to out.reg: the registry store r.db is damaged (database disk image is malformed)
? 1
)",
                    kAssoc);
}

TEST(VolumarAssocTranscript, AStoreThatCannotBeWrittenGivesExitOneAndWhy) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes a read-only file";
  expect_transcript(R"(
$ assoc reg-extension .xyz Xyz.Document 'Xyz document' app && chmod 444 r.db
$ assoc reg-extension .b B.Doc 'B doc' app
! volumar: .b was not registered: the registry store r.db cannot be written (Permission denied)
? 1
)",
                    kAssoc);
}

}  // namespace
}  // namespace tooltest
