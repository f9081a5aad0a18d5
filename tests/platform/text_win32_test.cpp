#include <gtest/gtest.h>

#include "platform/text.h"
#include "platform/win32.h"

namespace quillary {
namespace {

TEST(text_win32, ansi_uses_the_thread_code_page) {
  const std::u16string text = u"caf\u00E9 \u65E5";
  if (GetACP() == 1252) {
    EXPECT_EQ(to_ansi(text), "caf\xE9 ?") << "a character the code page lacks becomes '?'";
    EXPECT_EQ(from_ansi("caf\xE9"), u"caf\u00E9");
  }
  EXPECT_EQ(from_ansi(to_ansi(u"plain ascii")), u"plain ascii");
  EXPECT_EQ(to_ansi(u""), "");
}

}  // namespace
}  // namespace quillary
