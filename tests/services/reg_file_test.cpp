#include "services/reg_file.h"

#include "support/scratch.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>

namespace corvane {
namespace {

std::string error_of(const std::vector<RegistryValue>& values) {
  try {
    reg_file_text(values);
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "no error";
}

TEST(RegFileText, HeaderAndOneSectionPerValue) {
  EXPECT_EQ(reg_file_text({}), L"Windows Registry Editor Version 5.00\r\n");
  const std::vector<RegistryValue> values = {
      {0, L"Software\\Test", L"", make_dword_value(42)},
      {1, L"Software\\Test", L"", ValueState{}},
  };
  EXPECT_EQ(reg_file_text(values),
            L"Windows Registry Editor Version 5.00\r\n"
            L"\r\n[HKEY_CURRENT_USER\\Software\\Test]\r\n@=dword:0000002a\r\n"
            L"\r\n[HKEY_LOCAL_MACHINE\\Software\\Test]\r\n@=-\r\n");
}

TEST(RegFileText, DataForms) {
  auto line = [](const ValueState& state) {
    const std::wstring text = reg_file_text({{2, L"K", L"v", state}});
    const std::wstring prefix = L"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_USERS\\K]\r\n";
    EXPECT_EQ(text.substr(0, prefix.size()), prefix);
    return text.substr(prefix.size());
  };
  EXPECT_EQ(line(make_dword_value(0xFFFFFFFFu)), L"\"v\"=dword:ffffffff\r\n");
  EXPECT_EQ(line(ValueState{true, REG_DWORD, {1, 2}}), L"\"v\"=hex(4):01,02\r\n");
  EXPECT_EQ(line(make_string_value(L"Ab")), L"\"v\"=hex(1):41,00,62,00,00,00\r\n");
  EXPECT_EQ(line(ValueState{true, REG_EXPAND_SZ, {0x25, 0}}), L"\"v\"=hex(2):25,00\r\n");
  EXPECT_EQ(line(ValueState{true, REG_BINARY, {}}), L"\"v\"=hex(3):\r\n");
  EXPECT_EQ(line(ValueState{true, REG_MULTI_SZ, {0, 0}}), L"\"v\"=hex(7):00,00\r\n");
  EXPECT_EQ(line(ValueState{true, REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0xAB}}), L"\"v\"=hex(b):01,00,00,00,00,00,00,ab\r\n");
  EXPECT_EQ(line(ValueState{true, 0x1234, {0xFE}}), L"\"v\"=hex(1234):fe\r\n");
  EXPECT_EQ(line(ValueState{}), L"\"v\"=-\r\n");
}

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

TEST(RegFileText, QuotesNamesAndEscapes) {
  EXPECT_EQ(quote_reg_string(L"a\"b\\c"), L"\"a\\\"b\\\\c\"");
  EXPECT_EQ(quote_reg_string(L""), L"\"\"");
  const std::wstring text = reg_file_text({{0, L"K", L"say \"hi\"\\", make_dword_value(1)}});
  EXPECT_NE(text.find(L"\"say \\\"hi\\\"\\\\\"=dword:00000001\r\n"), std::wstring::npos);
}

TEST(RegFileText, RefusesLineBreaksAndBrackets) {
  EXPECT_EQ(error_of({{0, L"K", L"bad\nname", make_dword_value(1)}}), "Invalid registry string");
  EXPECT_EQ(error_of({{0, L"K", L"bad\rname", make_dword_value(1)}}), "Invalid registry string");
  EXPECT_EQ(error_of({{0, L"K]", L"", make_dword_value(1)}}), "Invalid registry key");
  EXPECT_EQ(error_of({{0, L"K\r\nX", L"", make_dword_value(1)}}), "Invalid registry key");
  EXPECT_EQ(error_of({{0, L"ok", L"", ValueState{}}, {3, L"K", L"", ValueState{}}}), "Invalid registry hive");
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

TEST(RegFileWrite, FailsWithItsOwnTextAndChecksBeforeOpening) {
  const testing::ScratchFolder scratch;
  try {
    write_reg_file(scratch.file(L"no-such-folder\\x.reg"), {{0, L"K", L"", make_dword_value(1)}});
    FAIL() << "no exception";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Cannot write .reg backup");
  }
  testing::write_file_bytes(scratch.file(L"keep.reg"), "keep");
  EXPECT_THROW(write_reg_file(scratch.file(L"keep.reg"), {{0, L"K]", L"", ValueState{}}}), std::runtime_error);
  EXPECT_EQ(testing::read_file_bytes(scratch.file(L"keep.reg")), "keep");
}

}  // namespace
}  // namespace corvane
