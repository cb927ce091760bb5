// The message view: where message.txt is found, how its bytes are decoded, and what a bad file does.
#include <gtest/gtest.h>

#include "app/ostraelen.h"
#include "fake_platform.h"
#include "panel/message_file.h"

namespace ostrael {
namespace {

using testing::FakePlatform;

struct MessageFile : ::testing::Test {
  FakePlatform fake;
  Platform platform = fake.platform();
  ostraelen form{platform};

  std::string shown(const std::string& bytes) {
    fake.files["E:\\message.txt"] = bytes;
    fake.text1.clear();
    EXPECT_TRUE(form.LoadTextFile());
    return fake.text1;
  }
};

TEST(MessagePath, SeparatorIsAddedOnlyWhereMissing) {
  EXPECT_EQ(join_path("E:\\", "message.txt"), "E:\\message.txt");
  EXPECT_EQ(join_path("E:\\tools", "message.txt"), "E:\\tools\\message.txt");
  EXPECT_EQ(join_path("\\\\server\\share\\pen", "message.txt"), "\\\\server\\share\\pen\\message.txt");
  EXPECT_EQ(join_path("/", "message.txt"), "/message.txt");
  EXPECT_EQ(join_path("/media/my pen", "message.txt"), "/media/my pen/message.txt");
  EXPECT_EQ(join_path("/media/a\\b", "message.txt"), "/media/a\\b/message.txt");
}

TEST_F(MessageFile, ReadFromTheRootAndFromASubdirectory) {
  fake.files["E:\\message.txt"] = "root";
  fake.files["E:\\tools\\message.txt"] = "inside tools";
  fake.files["E:\\toolsmessage.txt"] = "beside tools";
  EXPECT_TRUE(form.LoadTextFile());
  EXPECT_EQ(fake.text1, "root");
  fake.directory = "E:\\tools";
  EXPECT_TRUE(form.LoadTextFile());
  EXPECT_EQ(fake.text1, "inside tools");
  EXPECT_EQ(fake.opened_path, "E:\\tools\\message.txt");
}

TEST_F(MessageFile, MissingOrUnreadableFileLeavesTheViewEmptyAndSaysNothing) {
  form.dispatch(EventSource::Form, Event::Load);
  EXPECT_EQ(fake.text1, "");
  EXPECT_TRUE(fake.text1_visible);
  EXPECT_TRUE(fake.diagnostics.empty());

  fake.non_regular.insert("E:\\message.txt");
  fake.files["E:\\message.txt"] = "a FIFO would never end";
  form.dispatch(EventSource::Form, Event::Load);
  EXPECT_EQ(fake.text1, "");
}

TEST_F(MessageFile, AFailedReadStillClosesTheFile) {
  fake.files["E:\\message.txt"] = "text";
  fake.fail("Read");
  EXPECT_TRUE(form.LoadTextFile());
  EXPECT_EQ(fake.text1, "");
  EXPECT_EQ(fake.count("Close"), 1);
  fake.failing.clear();
  EXPECT_TRUE(form.LoadTextFile());  // file number 1 is free again
  EXPECT_EQ(fake.text1, "text");
}

TEST_F(MessageFile, LineBreaksReachTheViewAsTheyAre) {
  EXPECT_EQ(shown("one\r\ntwo\nthree\rfour"), "one\r\ntwo\nthree\rfour");
}

TEST_F(MessageFile, Decoding) {
  struct Case {
    const char* what;
    std::string bytes;
    std::string text;
  };
  const std::vector<Case> cases{
      {"UTF-8 with BOM", "\xEF\xBB\xBFGr\xC3\xBC\xC3\x9F" "e", "Gr\xC3\xBC\xC3\x9F" "e"},
      {"UTF-8 without BOM", "\xE2\x82\xAC 5", "\xE2\x82\xAC 5"},
      {"UTF-16 LE", std::string("\xFF\xFEH\0i\0\xAC\x20", 8), "Hi\xE2\x82\xAC"},
      {"UTF-16 BE", std::string("\xFE\xFF\0H\0i", 6), "Hi"},
      {"UTF-16 odd last byte", std::string("\xFF\xFEH\0i", 5), "H"},
      {"UTF-16 surrogate pair", std::string("\xFF\xFE\x3D\xD8\x00\xDE", 6), "\xF0\x9F\x98\x80"},
      {"UTF-16 lone surrogate", std::string("\xFF\xFE\x3D\xD8" "A\0", 6), "\xEF\xBF\xBD" "A"},
      {"8-bit code page", "caf\xE9 \x80", "caf\xC3\xA9 \xE2\x82\xAC"},
      {"bad sequence after BOM", "\xEF\xBB\xBF" "a\xFF" "b", "a\xEF\xBF\xBD" "b"},
      {"NUL does not cut short", std::string("ab\0cd", 5), "ab\xEF\xBF\xBD" "cd"},
      {"NUL just after a multi-byte character", std::string("\xE2\x82\xAC\0x", 5), "\xE2\x82\xAC\xEF\xBF\xBD" "x"},
      {"bad byte just after a multi-byte character", "\xEF\xBB\xBF\xC3\xBC\xFF\xC3\xBC", "\xC3\xBC\xEF\xBF\xBD\xC3\xBC"},
      {"truncated sequence at the end", "ok\xE2\x82", "ok\xC3\xA2\xE2\x80\x9A"},
      {"overlong form is not UTF-8", "\xC0\xAF", "\xC3\x80\xC2\xAF"},
      {"empty file", "", ""},
      {"BOM only", "\xEF\xBB\xBF", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(shown(c.bytes), c.text) << c.what;
}

TEST_F(MessageFile, ALongFileShowsItsFirstMebibyteCutAtACharacter) {
  // "é" is two bytes; starting at offset 1 puts one of them across the 1 MiB line.
  std::string bytes = "a";
  while (bytes.size() < kMaxMessageBytes + 100) bytes += "\xC3\xA9";
  std::string text = shown(bytes);
  EXPECT_EQ(text.size(), kMaxMessageBytes - 1);
  EXPECT_EQ(text.substr(text.size() - 2), "\xC3\xA9");

  std::string utf16 = "\xFF\xFE";
  while (utf16.size() < kMaxMessageBytes + 10) utf16 += std::string("\x3D\xD8\x00\xDE", 4);
  text = shown(utf16.substr(0, kMaxMessageBytes) + std::string("\x3D\xD8\x00\xDE", 4));
  EXPECT_EQ(text.find("\xEF\xBF\xBD"), std::string::npos);
}

TEST_F(MessageFile, CodePageFailureLeavesTheViewAsItWas) {
  fake.fail("CodePageToUtf8");
  EXPECT_EQ(shown("caf\xE9"), "");
}

TEST_F(MessageFile, OwnerMessageOnlyShowsTheViewAndNeverRereads) {
  fake.files["E:\\message.txt"] = "first";
  form.dispatch(EventSource::Form, Event::Load);
  fake.files["E:\\message.txt"] = "edited";
  fake.text1_visible = false;
  form.dispatch(EventSource::Image2, Event::Click);
  form.dispatch(EventSource::Image2, Event::Click);
  EXPECT_TRUE(fake.text1_visible);
  EXPECT_EQ(fake.text1, "first");
  EXPECT_EQ(fake.count("Open"), 1);

  fake.fail("SetText1Visible");
  form.dispatch(EventSource::Image2, Event::Click);
  EXPECT_TRUE(fake.diagnostics.empty());
}

}  // namespace
}  // namespace ostrael
