// volumar cipher in a pipe: each line of standard input is one text.
#include "tests/tools/volumar_transcript.h"

namespace tooltest {
namespace {

TEST(VolumarCipherInput, EachLineOfStandardInputIsOneText) {
  expect_transcript(R"sh(
$ [ "$(echo hello | volumar cipher encode)" = "$(volumar cipher encode hello)" ] && echo same
same
$ printf 'Hello 42\na\r\n\nlast' | volumar cipher encode | volumar cipher decode | cat -A
Hello 42$
a^M$
$
last$
$ echo plain 123 | volumar cipher decode
plain 123
$ volumar cipher encode < /dev/null
$ set -o pipefail; printf 'hello\n\377\nnever\n' | volumar cipher encode | volumar cipher decode
hello
! volumar: standard input, line 2: not valid UTF-8 (byte 0xFF at offset 0)
? 1
$ head -c 32767 /dev/zero | tr '\0' a | volumar cipher encode
! volumar: standard input, line 1: error 6: Overflow
? 1
$ echo ignored | volumar cipher decode given
given
$ volumar cipher --help | grep -c 'each line of standard input is one text'
1
)sh");
}

}  // namespace
}  // namespace tooltest
