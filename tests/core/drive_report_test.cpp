// "Pen Info" against the fake platform: the report's lines, its failures and its releases.
#include <gtest/gtest.h>

#include "app/ostraelen.h"
#include "fake_platform.h"

namespace ostrael {
namespace {

using testing::FakePlatform;

const std::vector<std::string> kWorkedExample{
    "[Pen Information]",          "Pen Letter: E",         "Pen Type: 1",
    "File System: FAT32",         "Free Space: 3,131,968 Kb", "Pen Ready: True",
    "Pen Path: E:",               "Serial Number: -1974723011", "Total Size: 3,915,776 Kb",
    "Volume Name: ",
};

struct DriveReport : ::testing::Test {
  FakePlatform fake;
  Platform platform = fake.platform();
  ostraelen form{platform};
};

TEST_F(DriveReport, WorkedExampleReadsLineByLine) {
  form.dispatch(EventSource::Image3, Event::Click);
  EXPECT_EQ(fake.list1, kWorkedExample);
  EXPECT_FALSE(fake.text1_visible);
  EXPECT_TRUE(fake.diagnostics.empty());
  EXPECT_EQ(fake.live_objects, 0);
}

TEST_F(DriveReport, SecondClickRebuildsTenFreshLines) {
  form.dispatch(EventSource::Image3, Event::Click);
  fake.drive.free_bytes = 1024.0 * 5;
  form.dispatch(EventSource::Image3, Event::Click);
  ASSERT_EQ(fake.list1.size(), 10u);
  EXPECT_EQ(fake.list1[4], "Free Space: 5 Kb");
  EXPECT_EQ(fake.count("FreeSpace"), 2);
}

TEST_F(DriveReport, EachPropertyIsReadOnceJustBeforeItsLine) {
  form.dispatch(EventSource::Image3, Event::Click);
  std::vector<std::string> order;
  for (const std::string& call : fake.calls)
    if (call != "FormatNumber") order.push_back(call);
  EXPECT_EQ(order, (std::vector<std::string>{"ClearList1", "ApplicationDirectory", "CreateFileSystemObject",
                                             "GetDriveName", "GetDrive", "AddList1Line", "DriveLetter",
                                             "AddList1Line", "DriveType", "AddList1Line", "FileSystem",
                                             "AddList1Line", "FreeSpace", "AddList1Line", "IsReady",
                                             "AddList1Line", "Path", "AddList1Line", "SerialNumber",
                                             "AddList1Line", "TotalSize", "AddList1Line", "VolumeName",
                                             "AddList1Line", "SetText1Visible"}));
}

TEST_F(DriveReport, OwnerMessageAfterwardsKeepsTheLines) {
  form.dispatch(EventSource::Image3, Event::Click);
  form.dispatch(EventSource::Image2, Event::Click);
  EXPECT_TRUE(fake.text1_visible);
  EXPECT_EQ(fake.list1, kWorkedExample);
}

TEST_F(DriveReport, ValueTexts) {
  struct Case {
    double bytes;
    std::string kilobytes;
  };
  for (const Case& c : std::vector<Case>{{0, "0"},
                                         {511, "0"},
                                         {512, "1"},  // a half goes away from zero
                                         {1023, "1"},
                                         {1536, "2"},
                                         {2147483648.0, "2,097,152"},
                                         {4294967296.0 * 3, "12,582,912"},
                                         {68719476736.0, "67,108,864"},
                                         {18446744073709551615.0, "18,014,398,509,481,984"}}) {
    fake.drive.free_bytes = c.bytes;
    form.dispatch(EventSource::Image3, Event::Click);
    EXPECT_EQ(fake.list1.at(4), "Free Space: " + c.kilobytes + " Kb") << c.bytes;
  }
  for (auto [serial, text] : std::vector<std::pair<std::uint32_t, std::string>>{
           {0xFFFFFFFFu, "-1"}, {0x80000000u, "-2147483648"}, {0x7FFFFFFFu, "2147483647"}, {0, "0"}}) {
    fake.drive.serial = static_cast<std::int32_t>(serial);
    form.dispatch(EventSource::Image3, Event::Click);
    EXPECT_EQ(fake.list1.at(7), "Serial Number: " + text);
  }
  fake.drive.ready = false;
  form.dispatch(EventSource::Image3, Event::Click);
  EXPECT_EQ(fake.list1.at(5), "Pen Ready: False");
}

TEST_F(DriveReport, LocaleGroupingComesFromTheTextConversions) {
  fake.grouping = {"\3", "."};
  form.dispatch(EventSource::Image3, Event::Click);
  EXPECT_EQ(fake.list1.at(4), "Free Space: 3.131.968 Kb");
  fake.grouping = {};
  form.dispatch(EventSource::Image3, Event::Click);
  EXPECT_EQ(fake.list1.at(8), "Total Size: 3915776 Kb");
}

// A failure while reading line n leaves lines 1..n-1, leaves Text1 as it was, is reported once
// naming the handler, and releases the drive and the file-system object.
TEST_F(DriveReport, FailureAtEachLineKeepsTheLinesBeforeIt) {
  const char* properties[] = {"DriveLetter", "DriveType", "FileSystem", "FreeSpace", "IsReady",
                              "Path",        "SerialNumber", "TotalSize", "VolumeName"};
  for (int n = 2; n <= 10; ++n) {
    for (bool visible : {true, false}) {
      FakePlatform fresh;
      Platform p = fresh.platform();
      ostraelen f{p};
      fresh.text1_visible = visible;
      fresh.list1 = {"old"};
      fresh.fail(properties[n - 2]);
      f.dispatch(EventSource::Image3, Event::Click);
      std::vector<std::string> expected(kWorkedExample.begin(), kWorkedExample.begin() + (n - 1));
      EXPECT_EQ(fresh.list1, expected) << "line " << n;
      EXPECT_EQ(fresh.text1_visible, visible);
      ASSERT_EQ(fresh.diagnostics.size(), 1u);
      EXPECT_EQ(fresh.diagnostics[0], "Image3_Click: " + std::string(properties[n - 2]) +
                                          " failed (0x80070015): injected");
      EXPECT_EQ(fresh.live_objects, 0);
    }
  }
}

TEST_F(DriveReport, FailureBeforeTheDriveLeavesTheListEmpty) {
  for (const char* op : {"ApplicationDirectory", "CreateFileSystemObject", "GetDriveName", "GetDrive"}) {
    FakePlatform fresh;
    Platform p = fresh.platform();
    ostraelen f{p};
    fresh.list1 = {"old"};
    fresh.fail(op);
    f.dispatch(EventSource::Image3, Event::Click);
    EXPECT_TRUE(fresh.list1.empty()) << op;
    EXPECT_TRUE(fresh.text1_visible) << op;
    EXPECT_EQ(fresh.diagnostics.size(), 1u) << op;
    EXPECT_EQ(fresh.live_objects, 0) << op;
  }
}

TEST_F(DriveReport, FailingToAddOrFormatStopsAtThatLine) {
  fake.fail_list_add_at = 5;  // "Free Space"
  form.dispatch(EventSource::Image3, Event::Click);
  EXPECT_EQ(fake.list1.size(), 4u);
  EXPECT_TRUE(fake.text1_visible);

  FakePlatform fresh;
  Platform p = fresh.platform();
  ostraelen f{p};
  fresh.fail("FormatNumber");
  f.dispatch(EventSource::Image3, Event::Click);
  EXPECT_EQ(fresh.list1.size(), 4u);
  EXPECT_EQ(fresh.count("TotalSize"), 0);
}

TEST_F(DriveReport, SizesThatAreNotNumbersFailTheirLine) {
  fake.drive.total_bytes = std::numeric_limits<double>::quiet_NaN();
  form.dispatch(EventSource::Image3, Event::Click);
  EXPECT_EQ(fake.list1.size(), 8u);
  ASSERT_EQ(fake.diagnostics.size(), 1u);
  EXPECT_NE(fake.diagnostics[0].find("FormatNumber"), std::string::npos);
}

}  // namespace
}  // namespace ostrael
