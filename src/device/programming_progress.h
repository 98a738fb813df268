#pragma once
// What the programming dialog shows while a table image goes into a remote:
// the status line (waiting for the device, programming, finished), the
// progress caption (synchronising, or the error code of an unexpected reply),
// the progress bar and the picture. Fed with the device's connection state and
// the programming thread's messages; the dialog and `klimavo-cli device
// program` show the same texts from it.

#include <cstdint>
#include <string>
#include <vector>

#include "device/programming.h"

namespace klimavo::device {

/// Language texts of the programming dialog.
inline constexpr int kTextProgrammed = 0;
inline constexpr int kTextWaitingForDevice = 26;
inline constexpr int kTextSynchronising = 69;

/// The dialog's pictures: Binn/downImg0.bmp … downImg3.bmp.
enum class ProgramPicture { kWaiting = 0, kAnimation1 = 1, kAnimation2 = 2, kDone = 3 };

/// One text as the dialog shows it: a language text, or a literal line.
struct ProgramText {
  int text = -1;        ///< language text number, -1 for a literal
  std::string literal;  ///< "Error Code:AA 5A 00 "
  friend bool operator==(const ProgramText&, const ProgramText&) = default;
};

class ProgrammingProgress {
 public:
  /// The status handler: the animation runs while connected; without a device
  /// the status line asks for it.
  void Connected(bool connected);
  /// A message of the programming thread.
  void Apply(const ProgramMessage& message);
  /// The animation timer: the next picture while it runs.
  void Animate();

  bool Animating() const { return animating_; }
  ProgramPicture Picture() const { return picture_; }
  /// The status line (empty at first).
  const ProgramText& Status() const { return status_; }
  /// The progress caption (synchronising, or the last error code).
  const ProgramText& Caption() const { return caption_; }
  int Position() const { return position_; }
  int Maximum() const { return maximum_; }
  /// Every status line and caption in the order they were shown, repeats of
  /// the text already shown left out.
  const std::vector<ProgramText>& Shown() const { return shown_; }

  /// The thread has sent its last message.
  bool Over() const { return over_; }
  /// Every block was acknowledged.
  bool Completed() const { return completed_; }

 private:
  void SetStatus(ProgramText text);
  void SetCaption(ProgramText text);

  bool animating_ = false;
  ProgramPicture picture_ = ProgramPicture::kWaiting;
  ProgramText status_;
  ProgramText caption_{kTextSynchronising, {}};
  int position_ = 0;
  int maximum_ = 0;
  int acknowledged_ = 0;
  bool echoed_ = false;
  bool over_ = false;
  bool completed_ = false;
  std::vector<ProgramText> shown_;
};

/// "Error Code:" and two hexadecimal digits and a blank per byte.
std::string ErrorCodeText(const base::Bytes& code);

}  // namespace klimavo::device
