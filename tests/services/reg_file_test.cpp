#include "services/reg_file.h"

#include "support/scratch.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>

namespace corvane {
namespace {

TEST(RegFileText, FoldsLinesAfterEvery24Bytes) {
  std::vector<std::uint8_t> data(49);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i);
  const std::wstring text = reg_file_text({{0, L"K", L"", ValueState{true, REG_BINARY, data}}});
  const std::wstring expected =
      L"@=hex(3):00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,17,\\\r\n"
      L"  18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,2e,2f,\\\r\n"
      L"  30\r\n";
  ASSERT_GE(text.size(), expected.size());
  EXPECT_EQ(text.substr(text.size() - expected.size()), expected);

  std::vector<std::uint8_t> exactly24(24, 0xAA);
  const std::wstring short_text = reg_file_text({{0, L"K", L"", ValueState{true, REG_BINARY, exactly24}}});
  EXPECT_EQ(short_text.find(L"\\\r\n"), std::wstring::npos);
}

TEST(RegFileWrite, WritesUtf16LittleEndianWithByteOrderMark) {
  const testing::ScratchFolder scratch;
  const std::wstring path = scratch.file(L"backup.reg");
  testing::write_file_bytes(path, "old content that is longer than the new one, for truncation");
  write_reg_file(path, {{0, L"\x00C9", L"", make_dword_value(1)}});
  const std::wstring text = reg_file_text({{0, L"\x00C9", L"", make_dword_value(1)}});
  EXPECT_EQ(testing::read_file_bytes(path),
            "\xff\xfe" + std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t)));
}

}  // namespace
}  // namespace corvane
