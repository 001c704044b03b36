#include "core/support/Outcome.h"

#include <gtest/gtest.h>

#include <string>

namespace orvane {
namespace {

Result<std::string> Named(bool ok) {
  if (!ok) return Outcome::Failure(ErrorCode::Unreadable, "bad line", "a.xyz", 7);
  return std::string("Site");
}

TEST(Outcome, AFailureKeepsWhereItHappenedAndAValueOrItsReasonComesBack) {
  EXPECT_TRUE(Outcome().Ok());
  // A failure made with the success code is still a failure.
  EXPECT_EQ(Outcome::Failure(ErrorCode::Ok, "x").Code(), ErrorCode::Refused);
  EXPECT_TRUE(Outcome::Cancel().IsCancelled());

  const Result<std::string> good = Named(true);
  ASSERT_TRUE(good.Ok());
  EXPECT_EQ(*good, "Site");
  EXPECT_TRUE(good.Error().Ok());

  const Result<std::string> bad = Named(false);
  ASSERT_FALSE(bad.Ok());
  EXPECT_EQ(bad.Error().Code(), ErrorCode::Unreadable);
  EXPECT_EQ(bad.Error().Text(), "bad line");
  EXPECT_EQ(bad.Error().File(), "a.xyz");
  EXPECT_EQ(bad.Error().Line(), 7);
  // A Result never holds "no value and success".
  EXPECT_FALSE(Result<int>(Outcome()).Error().Ok());
}

}  // namespace
}  // namespace orvane
