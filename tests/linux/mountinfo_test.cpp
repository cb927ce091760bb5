// The mountinfo parser and the search for the mount that holds a path.
#include "platform/linux/mountinfo.h"

#include <gtest/gtest.h>

#include <random>

namespace ostrael::linux_ {
namespace {

TEST(Mountinfo, OctalEscapesAreUndone) {
  struct Case {
    std::string_view in, out;
  } cases[] = {
      {"/media/my\\040pen", "/media/my pen"},
      {"a\\011b\\012c\\134d", "a\tb\nc\\d"},
      {"\\303\\251", "\xC3\xA9"},       // bytes of a UTF-8 character
      {"\\400", "\\400"},               // above a byte: kept as written
      {"\\04", "\\04"},                 // cut short at the end
      {"\\", "\\"},
      {"\\09x", "\\09x"},
      {"plain", "plain"},
  };
  for (const Case& c : cases) EXPECT_EQ(unescape_octal(c.in), c.out) << c.in;
}

TEST(Mountinfo, LineFieldsIncludingOptionalOnesAndEscapes) {
  auto entry = parse_mountinfo_line(
      "36 35 8:17 /sub\\040dir /media/owner/MY\\040PEN rw,nosuid shared:5 master:1 - vfat /dev/sdb1 rw,fmask=0022");
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->mount_id, 36u);
  EXPECT_EQ(entry->parent_id, 35u);
  EXPECT_EQ(entry->major, 8u);
  EXPECT_EQ(entry->minor, 17u);
  EXPECT_EQ(entry->root, "/sub dir");
  EXPECT_EQ(entry->mount_point, "/media/owner/MY PEN");
  EXPECT_EQ(entry->fs_type, "vfat");
  EXPECT_EQ(entry->source, "/dev/sdb1");
  EXPECT_EQ(entry->super_options, "rw,fmask=0022");

  auto bare = parse_mountinfo_line("22 1 0:45 / /run/user/1000/gvfs rw - fuse.gvfsd-fuse gvfsd-fuse rw");
  ASSERT_TRUE(bare);
  EXPECT_EQ(bare->fs_type, "fuse.gvfsd-fuse");
  EXPECT_EQ(bare->major, 0u);
}

TEST(Mountinfo, MalformedLinesAreRefused) {
  const char* lines[] = {
      "",
      "36 35 8:17 / /mnt rw - ext4",                               // no source, no super options
      "36 35 8:17 / /mnt rw shared:1 ext4 /dev/sda1 rw x y",       // no dash
      "x 35 8:17 / /mnt rw - ext4 /dev/sda1 rw",                   // id not a number
      "36 35 817 / /mnt rw - ext4 /dev/sda1 rw",                   // no colon
      "36 35 8:-1 / /mnt rw - ext4 /dev/sda1 rw",                  // negative minor
      "99999999999999999999999 35 8:1 / /mnt rw - ext4 /dev/sda1 rw",  // overflow
      "36 35 8:1 / mnt rw - ext4 /dev/sda1 rw",                    // relative mount point
      "36 35 8:1 /  rw - ext4 /dev/sda1 rw",                       // empty mount point
      "36 35 8:1 / /mnt rw -  /dev/sda1 rw",                       // empty type
  };
  for (const char* line : lines) EXPECT_FALSE(parse_mountinfo_line(line)) << line;
}

TEST(Mountinfo, WholeFileKeepsGoodLinesAroundBadOnes) {
  auto mounts = parse_mountinfo(
      "27 1 254:0 / / rw - ext4 /dev/vda rw\n"
      "garbage\n"
      "\n"
      "40 27 7:0 / /mnt/pen rw - vfat /dev/loop0 rw");  // no final newline
  ASSERT_EQ(mounts.size(), 2u);
  EXPECT_EQ(mounts[1].mount_point, "/mnt/pen");
}

TEST(Mountinfo, ArbitraryBytesNeitherCrashNorHang) {
  std::mt19937 random(12345);
  const std::string alphabet = std::string("0123456789:/ -\\\n\tabcx", 22) + std::string(1, '\0') + "\xff";
  std::string seed = "36 35 8:17 / /media/pen rw shared:5 - vfat /dev/sdb1 rw\n";
  for (int round = 0; round < 3000; ++round) {
    std::string text = seed;
    int edits = 1 + static_cast<int>(random() % 8);
    for (int e = 0; e < edits; ++e) {
      std::size_t at = random() % (text.size() + 1);
      switch (random() % 3) {
        case 0: text.insert(at, 1, alphabet[random() % alphabet.size()]); break;
        case 1: if (at < text.size()) text.erase(at, 1); break;
        default: if (at < text.size()) text[at] = static_cast<char>(random() % 256); break;
      }
    }
    for (const MountEntry& entry : parse_mountinfo(text)) EXPECT_EQ(entry.mount_point.front(), '/');
  }
}

TEST(Mountinfo, LongestPrefixOnComponentBoundariesAndTheTopmostOfEquals) {
  auto mounts = parse_mountinfo(
      "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
      "2 1 8:17 / /media/pen rw - vfat /dev/sdb1 rw\n"
      "3 1 8:33 / /media/pen2 rw - vfat /dev/sdc1 rw\n"
      "4 2 0:50 / /media/pen rw - tmpfs tmpfs rw\n");  // mounted over the pen
  struct Case {
    const char* path;
    std::uint64_t id;
  } cases[] = {
      {"/media/pen/tools", 4}, {"/media/pen", 4}, {"/media/pen2/x", 3}, {"/media/pe", 1}, {"/", 1},
  };
  for (const Case& c : cases) {
    const MountEntry* entry = find_mount_by_prefix(mounts, c.path);
    ASSERT_TRUE(entry) << c.path;
    EXPECT_EQ(entry->mount_id, c.id) << c.path;
  }
  EXPECT_EQ(find_mount_by_id(mounts, 3)->mount_point, "/media/pen2");
  EXPECT_EQ(find_mount_by_id(mounts, 99), nullptr);
  EXPECT_EQ(find_mount_by_prefix({}, "/x"), nullptr);
}

TEST(Mountinfo, PathsAreNormalisedWithoutTheFileSystem) {
  struct Case {
    const char *in, *out;
  } cases[] = {
      {"/", "/"}, {"//a//b/", "/a/b"}, {"/a/./b/../c", "/a/c"}, {"/..", "/"}, {"relative", ""}, {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(normalise_path(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace ostrael::linux_
