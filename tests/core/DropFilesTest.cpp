#include "settings/DropFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Header(uint32_t offset, uint32_t wide) {
  std::vector<uint8_t> b(kDropFilesHeaderLength, 0);
  for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(offset >> (8 * i));
  b[16] = static_cast<uint8_t>(wide);
  return b;
}

void Append(std::vector<uint8_t>& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }

TEST(DropFiles, ReadsTheAnsiNamesInOrderUpToTheEmptyName) {
  auto block = Header(20, 0);
  Append(block, std::string("C:\\a.doc\0D:\\b c.txt\0\0E:\\after\0", 30));
  DropFileList list;
  ASSERT_TRUE(ParseDropFiles(block.data(), block.size(), list));
  EXPECT_FALSE(list.wide);
  EXPECT_EQ((std::vector<std::string>{"C:\\a.doc", "D:\\b c.txt"}), list.names);
}

TEST(DropFiles, ReadsUtf16Names) {
  auto block = Header(20, 1);
  for (char16_t c : std::u16string(u"C:\\\u00e9.doc")) {
    block.push_back(static_cast<uint8_t>(c));
    block.push_back(static_cast<uint8_t>(c >> 8));
  }
  block.insert(block.end(), {0, 0, 0, 0});
  DropFileList list;
  ASSERT_TRUE(ParseDropFiles(block.data(), block.size(), list));
  EXPECT_TRUE(list.wide);
  ASSERT_EQ(1u, list.wideNames.size());
  EXPECT_EQ(u"C:\\\u00e9.doc", list.wideNames[0]);
}

TEST(DropFiles, DistrustsOffsetsAndTerminators) {
  DropFileList list;
  auto shortBlock = Header(20, 0);
  shortBlock.resize(12);
  EXPECT_FALSE(ParseDropFiles(shortBlock.data(), shortBlock.size(), list));

  auto outside = Header(4000, 0);
  Append(outside, std::string("C:\\a\0\0", 6));
  EXPECT_FALSE(ParseDropFiles(outside.data(), outside.size(), list));

  auto inHeader = Header(8, 0);
  EXPECT_FALSE(ParseDropFiles(inHeader.data(), inHeader.size(), list));

  auto cut = Header(20, 0);
  Append(cut, std::string("C:\\a.doc\0C:\\b", 13));  // the block ends inside the second name
  ASSERT_TRUE(ParseDropFiles(cut.data(), cut.size(), list));
  EXPECT_EQ((std::vector<std::string>{"C:\\a.doc"}), list.names);

  auto oddWide = Header(20, 1);
  oddWide.insert(oddWide.end(), {'C', 0, 'x'});  // half a character at the end
  ASSERT_TRUE(ParseDropFiles(oddWide.data(), oddWide.size(), list));
  EXPECT_TRUE(list.wideNames.empty());

  auto atEnd = Header(20, 0);  // offset at the very end: no names
  ASSERT_TRUE(ParseDropFiles(atEnd.data(), atEnd.size(), list));
  EXPECT_TRUE(list.names.empty());
}

TEST(DropFiles, ABuiltListReadsBack) {
  const std::vector<std::string> names{"C:\\one.txt", std::string(300, 'x')};
  const auto block = BuildDropFiles(names);
  DropFileList list;
  ASSERT_TRUE(ParseDropFiles(block.data(), block.size(), list));
  EXPECT_EQ(names, list.names);
}

}  // namespace
