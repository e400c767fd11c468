#include "ui/start_options.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

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
