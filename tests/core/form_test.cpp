// The form's start-up, its binding table, dispatch of unhandled failures and the two commands.
#include <gtest/gtest.h>

#include "app/ostraelen.h"
#include "fake_platform.h"

namespace ostrael {
namespace {

using testing::FakePlatform;

struct Form : ::testing::Test {
  FakePlatform fake;
  Platform platform = fake.platform();
  ostraelen form{platform};
};

TEST_F(Form, OnlyTheFiveBoundEventsRunCode) {
  for (EventSource source : {EventSource::Label1, EventSource::Frame1, EventSource::Text1, EventSource::List1})
    form.dispatch(source, Event::Click);
  form.dispatch(EventSource::Image1, Event::Load);
  EXPECT_TRUE(fake.calls.empty());

  ASSERT_EQ(ostraelen::bindings().size(), 5u);
  for (const auto& b : ostraelen::bindings())
    EXPECT_EQ(b.kind == FailureKind::ResumeNext, b.name == "Image2_Click") << b.name;
}

TEST_F(Form, LoadFillsTheMessageViewAndStartUpNeverFails) {
  fake.files["E:\\message.txt"] = "Hello";
  form.dispatch(EventSource::Form, Event::Load);
  EXPECT_EQ(fake.text1, "Hello");
  EXPECT_TRUE(fake.text1_visible);

  FakePlatform broken;
  Platform p = broken.platform();
  ostraelen f{p};
  for (const char* op : {"ApplicationDirectory", "Open", "FileLength", "Read", "Close", "SetText1Text"}) broken.fail(op);
  f.dispatch(EventSource::Form, Event::Load);
  EXPECT_TRUE(broken.diagnostics.empty());
}

TEST_F(Form, UnhandledFailureIsOneLineAndTheProgramGoesOn) {
  fake.fail("GetDrive");
  fake.failing["GetDrive"].text = "The device is not ready.\r\n";
  form.dispatch(EventSource::Image3, Event::Click);
  ASSERT_EQ(fake.diagnostics.size(), 1u);
  EXPECT_EQ(fake.diagnostics[0], "Image3_Click: GetDrive failed (0x80070015): The device is not ready.");

  fake.failing.clear();
  form.dispatch(EventSource::Image3, Event::Click);
  EXPECT_EQ(fake.list1.size(), 10u);
  EXPECT_EQ(fake.diagnostics.size(), 1u);
}

TEST_F(Form, CloseEndsTheProgram) {
  form.dispatch(EventSource::Image1, Event::Click);
  EXPECT_TRUE(fake.ended);
  EXPECT_TRUE(fake.diagnostics.empty());
}

TEST_F(Form, OpenPenAsksTheShellForTheApplicationDirectoryEachTime) {
  fake.directory = "E:\\tools";
  form.dispatch(EventSource::Image4, Event::Click);
  form.dispatch(EventSource::Image4, Event::Click);
  EXPECT_EQ(fake.shell_requests, (std::vector<std::string>{"E:\\tools", "E:\\tools"}));
  EXPECT_TRUE(fake.text1_visible);
  EXPECT_TRUE(fake.diagnostics.empty());

  fake.fail("OpenFolder", 127);
  form.dispatch(EventSource::Image4, Event::Click);
  ASSERT_EQ(fake.diagnostics.size(), 1u);
  EXPECT_EQ(fake.diagnostics[0], "Image4_Click: OpenFolder failed (127): injected");
}

TEST_F(Form, OpenPenWithoutADirectoryAsksNothing) {
  fake.fail("ApplicationDirectory");
  form.dispatch(EventSource::Image4, Event::Click);
  EXPECT_TRUE(fake.shell_requests.empty());
  EXPECT_EQ(fake.diagnostics.size(), 1u);
}

}  // namespace
}  // namespace ostrael
