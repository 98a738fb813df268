// The programming dialog's texts, progress and pictures for the messages of
// the programming thread: only a transfer whose every block came back is
// reported as finished.
#include "device/programming_progress.h"

#include <gtest/gtest.h>

#include <vector>

namespace klimavo::device {
namespace {

using Kind = ProgramMessage::Kind;

ProgramMessage Msg(Kind kind, int value = 0, base::Bytes code = {}) { return {kind, value, std::move(code)}; }

struct Case {
  const char* name;
  bool connected_at_start;
  std::vector<ProgramMessage> messages;
  std::vector<ProgramText> shown;
  bool completed;
  ProgramPicture picture;
};

TEST(ProgrammingProgress, TextsFollowTheTransfer) {
  const ProgramText waiting{kTextWaitingForDevice, {}};
  const ProgramText programming{kTextProgramming, {}};
  const ProgramText synchronising{kTextSynchronising, {}};
  const ProgramText finished{kTextProgrammed, {}};
  const ProgramText wrong{-1, "Error Code:AA 5A 00 "};
  const std::vector<Case> cases{
      {"clean transfer of three blocks",
       true,
       {Msg(Kind::kStatusText, kTextProgramming), Msg(Kind::kProgressMax, 3), Msg(Kind::kAcknowledged, 1),
        Msg(Kind::kAcknowledged, 2), Msg(Kind::kAcknowledged, 3),
        Msg(Kind::kTransferOver, kTransferOverCode)},
       {programming, synchronising, finished},
       true,
       ProgramPicture::kDone},
      {"wrong answers, then the transfer completes",
       false,
       {Msg(Kind::kStatusText, kTextProgramming), Msg(Kind::kProgressMax, 2),
        Msg(Kind::kErrorCode, 0, {0xAA, 0x5A, 0x00}), Msg(Kind::kErrorCode, 0, {0xAA, 0x5A, 0x00}),
        Msg(Kind::kAcknowledged, 1), Msg(Kind::kAcknowledged, 2),
        Msg(Kind::kTransferOver, kTransferOverCode)},
       {waiting, programming, wrong, wrong, synchronising, finished},
       true,
       ProgramPicture::kDone},
      {"cancelled half-way",
       true,
       {Msg(Kind::kStatusText, kTextProgramming), Msg(Kind::kProgressMax, 4), Msg(Kind::kAcknowledged, 1),
        Msg(Kind::kAcknowledged, 2), Msg(Kind::kTransferOver, kTransferOverCode)},
       {programming, synchronising},
       false,
       ProgramPicture::kAnimation1},
      {"restarted from the header after the last block's echo went missing",
       true,
       {Msg(Kind::kStatusText, kTextProgramming), Msg(Kind::kProgressMax, 2), Msg(Kind::kAcknowledged, 1),
        Msg(Kind::kAcknowledged, 1), Msg(Kind::kTransferOver, kTransferOverCode)},
       {programming, synchronising},
       false,
       ProgramPicture::kAnimation1},
      {"nothing to send",
       true,
       {Msg(Kind::kStatusText, kTextProgramming), Msg(Kind::kNothingToSend, 0),
        Msg(Kind::kTransferOver, kTransferOverCode)},
       {programming},
       false,
       ProgramPicture::kAnimation1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ProgrammingProgress progress;
    progress.Connected(c.connected_at_start);
    for (const ProgramMessage& m : c.messages) progress.Apply(m);
    EXPECT_EQ(progress.Shown(), c.shown);
    EXPECT_TRUE(progress.Over());
    EXPECT_EQ(progress.Completed(), c.completed);
    if (c.completed) {
      EXPECT_EQ(progress.Position(), progress.Maximum());  // a late echo still ends at 100 %
    }
    EXPECT_EQ(progress.Picture(), c.picture);
    EXPECT_FALSE(progress.Animating());
  }
}

TEST(ProgrammingProgress, TheAnimationRunsWhileTheDeviceIsThere) {
  ProgrammingProgress progress;
  progress.Connected(false);
  progress.Animate();
  EXPECT_EQ(progress.Picture(), ProgramPicture::kWaiting);
  progress.Connected(true);
  ASSERT_TRUE(progress.Animating());
  EXPECT_EQ(progress.Picture(), ProgramPicture::kAnimation1);
  progress.Animate();
  EXPECT_EQ(progress.Picture(), ProgramPicture::kAnimation2);
  progress.Animate();
  EXPECT_EQ(progress.Picture(), ProgramPicture::kAnimation1);
  progress.Apply(Msg(Kind::kProgressMax, 5));
  progress.Apply(Msg(Kind::kProgress, 3));
  EXPECT_EQ(progress.Position(), 3);
  EXPECT_EQ(progress.Maximum(), 5);
  progress.Connected(false);
  EXPECT_EQ(progress.Picture(), ProgramPicture::kWaiting);
  EXPECT_EQ(progress.Status().text, kTextWaitingForDevice);
}

}  // namespace
}  // namespace klimavo::device
