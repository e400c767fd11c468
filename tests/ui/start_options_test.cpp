#include "ui/start_options.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace corvane {
namespace {

CommandLine parse(std::vector<std::wstring> arguments) {
  arguments.insert(arguments.begin(), L"Corvane.exe");
  std::vector<const wchar_t*> argv;
  for (const auto& argument : arguments) argv.push_back(argument.c_str());
  return parse_command_line(static_cast<int>(argv.size()), argv.data());
}

TEST(StartOptions, CommandLineTable) {
  const struct {
    std::vector<std::wstring> arguments;
    bool smoke, render_test, vietnamese, language_given, dark, theme_given;
  } cases[] = {
      {{}, false, false, false, false, true, false},
      {{L"--smoke-test"}, true, false, false, false, true, false},
      {{L"--render-test"}, true, true, false, false, true, false},
      {{L"--language", L"vi", L"--theme", L"light"}, false, false, true, true, false, true},
      {{L"--theme", L"dark"}, false, false, false, false, true, true},
      // Values are exact: anything but "vi" means English, anything but "dark" means light.
      {{L"--language", L"VI", L"--theme", L"Dark"}, false, false, false, true, false, true},
      // Option names are case-sensitive; unknown arguments are ignored.
      {{L"--SMOKE-TEST", L"--Language", L"vi"}, false, false, false, false, true, false},
      {{L"--verbose", L"vi", L"/theme", L"dark", L""}, false, false, false, false, true, false},
      // A missing value leaves the option unset.
      {{L"--smoke-test", L"--language"}, true, false, false, false, true, false},
      {{L"--theme"}, false, false, false, false, true, false},
      // A value is consumed even when it looks like an option.
      {{L"--language", L"--smoke-test"}, false, false, false, true, true, false},
      // Later options override earlier ones.
      {{L"--language", L"vi", L"--theme", L"dark", L"--language", L"en", L"--theme", L"light"},
       false, false, false, true, false, true},
  };
  for (const auto& c : cases) {
    const CommandLine line = parse(c.arguments);
    const std::wstring name = c.arguments.empty() ? L"(none)" : c.arguments[0] + L" ...";
    SCOPED_TRACE(std::string(name.begin(), name.end()));
    EXPECT_EQ(line.options.smoke, c.smoke);
    EXPECT_EQ(line.options.render_test, c.render_test);
    EXPECT_EQ(line.options.vietnamese, c.vietnamese);
    EXPECT_EQ(line.options.language_given, c.language_given);
    EXPECT_EQ(line.options.dark, c.dark);
    EXPECT_EQ(line.options.theme_given, c.theme_given);
    EXPECT_FALSE(line.take_ownership_path);
  }
  EXPECT_FALSE(parse({L"--take-ownership"}).take_ownership_path);
}

TEST(StartOptions, TakeOwnershipCopiesThePathAndStopsReading) {
  std::vector<std::wstring> arguments = {L"Corvane.exe", L"--take-ownership", L"C:\\Some Folder\\file.txt",
                                         L"--smoke-test"};
  std::vector<const wchar_t*> argv;
  for (const auto& argument : arguments) argv.push_back(argument.c_str());
  const CommandLine line = parse_command_line(static_cast<int>(argv.size()), argv.data());
  // The caller frees its vector at once: the result must not point into it.
  arguments.assign(arguments.size(), std::wstring(40, L'x'));
  ASSERT_TRUE(line.take_ownership_path);
  EXPECT_EQ(*line.take_ownership_path, L"C:\\Some Folder\\file.txt");
  EXPECT_FALSE(line.options.smoke);
}

TEST(StartFailure, TestModesWriteTheErrorInsteadOfABox) {
  for (const bool render : {false, true}) {
    StartOptions options;
    options.smoke = true;
    options.render_test = render;
    std::FILE* err = std::tmpfile();
    ASSERT_NE(err, nullptr);
    // A box here would hold the test until its time-out.
    EXPECT_EQ(report_start_failure(options, "Cannot read the edition", err), 1);
    std::rewind(err);
    wchar_t line[128] = {};
    ASSERT_NE(std::fgetws(line, 128, err), nullptr);
    EXPECT_EQ(std::wstring(line), L"Corvane: Cannot read the edition\n");
    std::fclose(err);
  }
}

}  // namespace
}  // namespace corvane
