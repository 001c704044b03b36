#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "core/storage/Platform.h"
#include "core/support/Status.h"

namespace orvane {
namespace {

// Fake clock and Esc key; every event is logged in the order raised.
class StatusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = Platform();
    Platform().Now = [this] { return clock_; };
    Platform().EscapeKeyDown = [this] { return esc_; };
    CancelRequested = false;
  }
  void TearDown() override {
    Platform() = saved_;
    CancelRequested = false;
    // The handlers capture this fixture: leave an unheard object current.
    Status::Create()->Listen();
  }

  std::shared_ptr<Status> Logged(bool confirmCancel = false) {
    auto s = Status::Create();
    s->Progress = [this](int32_t& p) { log_.push_back("Progress " + std::to_string(p)); };
    s->EscKeyPressed = [this, confirmCancel](bool& cancel) {
      EXPECT_FALSE(cancel);
      log_.push_back("Esc");
      cancel = confirmCancel;
    };
    s->StatusPhase = [this](std::string& code) { log_.push_back("Phase " + code); };
    return s;
  }

  using Log = std::vector<std::string>;
  PlatformHooks saved_;
  double clock_ = 1000;  // seconds
  bool esc_ = false;
  Log log_;
};

TEST_F(StatusTest, FirstCallRaisesWhateverTheClock) {
  clock_ = 0;  // the clock may start at 0: the first batch still goes out
  Logged()->SendEvents(5);
  EXPECT_EQ(log_, (Log{"Progress 5"}));
}

TEST_F(StatusTest, ThrottledBatchesAreTwoDelaysApart) {
  auto s = Logged();
  for (int k = 0; k < 3; ++k) {
    s->SendEvents(k);
    clock_ += 0.125;
  }
  EXPECT_EQ(log_, (Log{"Progress 0"}));
  clock_ = 1000.875;
  s->SendEvents(3);
  EXPECT_EQ(log_.size(), 1u);
  clock_ = 1001;  // last batch at 1000, plus Delay, plus Delay
  s->SendEvents(4);
  EXPECT_EQ(log_, (Log{"Progress 0", "Progress 4"}));
}

TEST_F(StatusTest, UncheckedCallsAlwaysRaiseAndMoveTheThrottle) {
  auto s = Logged();
  s->SendEvents(50, false);
  s->SendEvents(50, false);
  s->SendEvents(60);  // throttled by the unchecked calls
  EXPECT_EQ(log_, (Log{"Progress 50", "Progress 50"}));
}

TEST_F(StatusTest, DisabledRaisesNothingAndKeepsTheThrottle) {
  auto s = Logged();
  s->Enabled = false;
  s->SendEvents(10, false);
  s->SendPhase("INITTRI");
  EXPECT_TRUE(log_.empty());
  s->Enabled = true;
  s->SendEvents(20);  // same instant: would be throttled had the disabled call counted
  s->SendPhase("INITTRI");
  EXPECT_EQ(log_, (Log{"Progress 20", "Phase INITTRI"}));
}

TEST_F(StatusTest, EscAsksAndOnlyAConfirmedCancelCompletesProgress) {
  esc_ = true;
  Logged(false)->SendEvents(30);
  EXPECT_EQ(log_, (Log{"Progress 30", "Esc"}));
  EXPECT_FALSE(CancelRequested);
  log_.clear();
  Logged(true)->SendEvents(30);
  EXPECT_EQ(log_, (Log{"Progress 30", "Esc", "Progress 100"}));
  EXPECT_TRUE(CancelRequested);
}

TEST_F(StatusTest, ListenRoutesCurrentStatusAndSilencerRestores) {
  auto s = Logged();
  s->Listen();
  EXPECT_EQ(&CurrentStatus(), s.get());
  {
    StatusSilencer quiet;
    EXPECT_FALSE(s->Enabled);
    CurrentStatus().SendPhase("SAVING_TRIANGLES");
    CurrentStatus().SendEvents(1, false);
  }
  EXPECT_TRUE(s->Enabled);
  CurrentStatus().SendPhase("IDLE");
  EXPECT_EQ(log_, (Log{"Phase IDLE"}));

  s->Enabled = false;
  { StatusSilencer quiet; }
  EXPECT_FALSE(s->Enabled);  // restores the remembered value, not true
  s->Enabled = true;
}

TEST_F(StatusTest, HandlerMayReplaceTheCurrentObject) {
  auto other = Status::Create();
  {
    auto s = Logged();
    s->Listen();
    s->Progress = [other](int32_t&) { other->Listen(); };
  }  // only CurrentStatus owns s now; the handler releases it
  CurrentStatus().SendEvents(1, false);
  EXPECT_EQ(&CurrentStatus(), other.get());
}

TEST(PercentOf, RoundsHalfToEvenAndCaps) {
  // 12.5 and 37.5 round to even; above 100 caps; nothing of nothing is 0.
  for (auto [done, all, pct] :
       {std::array{1, 8, 12}, {3, 8, 38}, {2, 3, 67}, {9, 3, 100}, {5, 0, 0}})
    EXPECT_EQ(PercentOf(done, all), pct) << done << " of " << all;
}

}  // namespace
}  // namespace orvane
