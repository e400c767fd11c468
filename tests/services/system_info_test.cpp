#include "services/system_info.h"

#include "services/handles.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(Elevation, AnUnreadableTokenIsTrustedAsElevatedButNeverShownSo) {
  // A handle that is no token, and no handle at all: the query fails for real.
  const UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ASSERT_TRUE(event);
  EXPECT_EQ(token_elevation(event.get()), Elevation::unreadable);
  EXPECT_EQ(token_elevation(nullptr), Elevation::unreadable);

  EXPECT_TRUE(treated_as_elevated(Elevation::unreadable));
  EXPECT_TRUE(treated_as_elevated(Elevation::elevated));
  EXPECT_FALSE(treated_as_elevated(Elevation::not_elevated));

  const Elevation own = process_elevation();
  EXPECT_NE(own, Elevation::unreadable);
  EXPECT_EQ(query_system_info().elevated, own == Elevation::elevated);
  EXPECT_EQ(process_elevated(), treated_as_elevated(own));
}

}  // namespace
}  // namespace corvane
