#include "services/system_info.h"

#include "services/handles.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(Elevation, ATokenThatCannotBeReadIsTrustedAsElevatedButNotShownSo) {
  const UniqueHandle not_a_token(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  EXPECT_EQ(token_elevation(not_a_token.get()), Elevation::unreadable);
  EXPECT_TRUE(treated_as_elevated(Elevation::unreadable));
  EXPECT_FALSE(treated_as_elevated(Elevation::not_elevated));
  EXPECT_EQ(query_system_info().elevated, process_elevation() == Elevation::elevated);
}

}  // namespace
}  // namespace corvane
