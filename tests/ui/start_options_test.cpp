#include "ui/start_options.h"

#include <gtest/gtest.h>

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

TEST(StartOptions, DefaultsWithoutArguments) {
  const CommandLine line = parse({});
  EXPECT_FALSE(line.options.smoke);
  EXPECT_FALSE(line.options.vietnamese);
  EXPECT_TRUE(line.options.dark);
  EXPECT_FALSE(line.options.language_given);
  EXPECT_FALSE(line.options.theme_given);
  EXPECT_FALSE(line.options.render_test);
  EXPECT_FALSE(line.take_ownership_path);
}

TEST(StartOptions, EachOption) {
  EXPECT_TRUE(parse({L"--smoke-test"}).options.smoke);
  EXPECT_FALSE(parse({L"--smoke-test"}).options.render_test);

  const StartOptions render = parse({L"--render-test"}).options;
  EXPECT_TRUE(render.smoke);
  EXPECT_TRUE(render.render_test);

  const StartOptions vi = parse({L"--language", L"vi", L"--theme", L"light"}).options;
  EXPECT_TRUE(vi.vietnamese);
  EXPECT_TRUE(vi.language_given);
  EXPECT_FALSE(vi.dark);
  EXPECT_TRUE(vi.theme_given);

  const StartOptions dark = parse({L"--theme", L"dark"}).options;
  EXPECT_TRUE(dark.dark);
  EXPECT_TRUE(dark.theme_given);
  EXPECT_FALSE(dark.language_given);
}

TEST(StartOptions, ValuesAreExactAndCaseSensitive) {
  // Anything but "vi" means English; anything but "dark" means light.
  const StartOptions upper = parse({L"--language", L"VI", L"--theme", L"Dark"}).options;
  EXPECT_FALSE(upper.vietnamese);
  EXPECT_TRUE(upper.language_given);
  EXPECT_FALSE(upper.dark);
  EXPECT_TRUE(upper.theme_given);
  // Option names are case-sensitive too.
  const StartOptions ignored = parse({L"--SMOKE-TEST", L"--Language", L"vi"}).options;
  EXPECT_FALSE(ignored.smoke);
  EXPECT_FALSE(ignored.vietnamese);
  EXPECT_FALSE(ignored.language_given);
}

TEST(StartOptions, MissingValuesAndUnknownArgumentsAreIgnored) {
  const StartOptions last_language = parse({L"--smoke-test", L"--language"}).options;
  EXPECT_TRUE(last_language.smoke);
  EXPECT_FALSE(last_language.language_given);

  const StartOptions last_theme = parse({L"--theme"}).options;
  EXPECT_FALSE(last_theme.theme_given);
  EXPECT_TRUE(last_theme.dark);

  const CommandLine last_ownership = parse({L"--take-ownership"});
  EXPECT_FALSE(last_ownership.take_ownership_path);

  const StartOptions unknown = parse({L"--verbose", L"vi", L"/theme", L"dark", L""}).options;
  EXPECT_FALSE(unknown.vietnamese);
  EXPECT_FALSE(unknown.language_given);
  EXPECT_FALSE(unknown.theme_given);
}

TEST(StartOptions, ValueIsConsumedEvenWhenItLooksLikeAnOption) {
  // "--language --smoke-test": the option takes "--smoke-test" as its value.
  const StartOptions options = parse({L"--language", L"--smoke-test"}).options;
  EXPECT_TRUE(options.language_given);
  EXPECT_FALSE(options.vietnamese);
  EXPECT_FALSE(options.smoke);
}

TEST(StartOptions, LaterOptionsOverrideEarlierOnes) {
  const StartOptions options = parse({L"--language", L"vi", L"--theme", L"dark", L"--language", L"en",
                                      L"--theme", L"light"}).options;
  EXPECT_FALSE(options.vietnamese);
  EXPECT_FALSE(options.dark);
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

}  // namespace
}  // namespace corvane

namespace corvane {
namespace {

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
