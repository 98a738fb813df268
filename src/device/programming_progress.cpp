#include "device/programming_progress.h"

namespace klimavo::device {

std::string ErrorCodeText(const base::Bytes& code) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text = "Error Code:";
  for (std::uint8_t b : code) {
    text += kHex[b >> 4];
    text += kHex[b & 15];
    text += ' ';
  }
  return text;
}

void ProgrammingProgress::Connected(bool connected) {
  if (over_) return;
  animating_ = connected;
  if (connected) {
    if (picture_ == ProgramPicture::kWaiting) picture_ = ProgramPicture::kAnimation1;
    return;
  }
  SetStatus({kTextWaitingForDevice, {}});
  picture_ = ProgramPicture::kWaiting;
}

void ProgrammingProgress::Animate() {
  if (!animating_) return;
  picture_ =
      picture_ == ProgramPicture::kAnimation1 ? ProgramPicture::kAnimation2 : ProgramPicture::kAnimation1;
}

void ProgrammingProgress::Apply(const ProgramMessage& message) {
  using Kind = ProgramMessage::Kind;
  switch (message.kind) {
    case Kind::kStatusText:
      SetStatus({message.value, {}});
      break;
    case Kind::kProgressMax:
      maximum_ = message.value;
      break;
    case Kind::kProgress:
      position_ = message.value;
      break;
    case Kind::kAcknowledged:
      acknowledged_ = message.value;
      // The caption reads "synchronising" from the start; the first echo shows it again.
      if (!echoed_ && caption_ == ProgramText{kTextSynchronising, {}}) shown_.push_back(caption_);
      echoed_ = true;
      SetCaption({kTextSynchronising, {}});
      break;
    case Kind::kErrorCode:
      // Every wrong answer is shown, also one that repeats the last.
      caption_ = {-1, ErrorCodeText(message.code)};
      shown_.push_back(caption_);
      break;
    case Kind::kNothingToSend:
      break;
    case Kind::kTransferOver:
      over_ = true;
      animating_ = false;
      // Only a transfer whose every block came back is reported as done; a
      // cancelled or cut-off one is not.
      completed_ = maximum_ > 0 && acknowledged_ == maximum_;
      if (completed_) {
        // Echoes that came late leave the position behind; done is 100 %.
        position_ = maximum_;
        SetStatus({kTextProgrammed, {}});
        picture_ = ProgramPicture::kDone;
      }
      break;
  }
}

void ProgrammingProgress::SetStatus(ProgramText text) {
  if (status_ == text) return;
  status_ = text;
  shown_.push_back(status_);
}

void ProgrammingProgress::SetCaption(ProgramText text) {
  if (caption_ == text) return;
  caption_ = text;
  shown_.push_back(caption_);
}

}  // namespace klimavo::device
