// Kernel mode2 sample streams into captures: the assembler's rules on small
// streams, streams split at every byte boundary, and the real capture corpus
// recorded as mode2 streams, read from a regular file, from a pipe and through
// the receiver's thread, against the same captures read from text.
#include "device/lirc_samples.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/lirc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "capture/capture_format.h"
#include "capture/decode_report.h"
#include "config/config.h"
#include "device/lirc_receiver.h"
#include "device/lirc_source.h"
#include "ir/decode.h"

namespace klimavo::device {
namespace {

using K = Mode2Kind;

struct S {
  K kind;
  std::uint32_t value;
};

std::vector<std::uint32_t> Raw(const std::vector<S>& samples) {
  std::vector<std::uint32_t> raw;
  for (const auto& s : samples) raw.push_back(EncodeMode2Sample(s.kind, s.value));
  return raw;
}

std::vector<ir::Capture> Assemble(const std::vector<std::uint32_t>& raw, Mode2Counts* counts = nullptr,
                                  std::size_t max_durations = kLircMaxCaptureDurations) {
  std::vector<ir::Capture> out;
  Mode2CaptureAssembler assembler([&](const ir::Capture& c) { out.push_back(c); }, kLircCaptureGapUs,
                                  max_durations);
  for (const std::uint32_t r : raw) assembler.Feed(r);
  assembler.Finish();
  if (counts) *counts = assembler.Counts();
  return out;
}

TEST(Mode2Samples, EncodeAndDecodeEveryKind) {
  const struct {
    std::uint32_t raw;
    K kind;
    std::uint32_t value;
  } cases[] = {
      {0x00000230, K::kSpace, 0x230},    {0x01000230, K::kPulse, 0x230}, {0x02009470, K::kFrequency, 38000},
      {0x0301E848, K::kTimeout, 125000}, {0x04000000, K::kOverflow, 0},  {0x05000001, K::kUnknown, 1},
      {0xFF00FFFF, K::kUnknown, 0xFFFF},
  };
  for (const auto& c : cases) {
    const Mode2Sample s = DecodeMode2Sample(c.raw);
    EXPECT_EQ(s.kind, c.kind) << std::hex << c.raw;
    EXPECT_EQ(s.value, c.value) << std::hex << c.raw;
    if (c.kind != K::kUnknown) {
      EXPECT_EQ(EncodeMode2Sample(c.kind, c.value), c.raw);
    }
  }
  // A value beyond 24 bits is held at the largest instead of spilling into the kind.
  EXPECT_EQ(EncodeMode2Sample(K::kSpace, 0x12345678), 0x00FFFFFFu);
}

TEST(Mode2Samples, AssemblesCapturesByTheLearnersRules) {
  const std::uint32_t gap = kLircCaptureGapUs;
  const struct {
    const char* what;
    std::vector<S> samples;
    std::vector<ir::Capture> expected;
  } cases[] = {
      {"leading spaces dropped, timeout ends the capture",
       {{K::kSpace, 5000}, {K::kPulse, 9000}, {K::kSpace, 4500}, {K::kPulse, 560}, {K::kTimeout, 125000}},
       {{{90000, -45000, 5600}, 0}}},
      {"a space within the gap stays inside, a longer one ends the capture and is left out",
       {{K::kPulse, 500}, {K::kSpace, gap}, {K::kPulse, 600}, {K::kSpace, gap + 1}, {K::kPulse, 700}},
       {{{5000, -static_cast<std::int32_t>(gap) * 10, 6000}, 0}, {{7000}, 0}}},
      {"a short space before a timeout or the end is the capture's last duration",
       {{K::kPulse, 500}, {K::kSpace, 40000}, {K::kTimeout, 100000}, {K::kPulse, 300}, {K::kSpace, 20}},
       {{{5000, -400000}, 0}, {{3000, -200}, 0}}},
      {"the carrier reported before or inside a capture is the capture's",
       {{K::kFrequency, 38000},
        {K::kPulse, 500},
        {K::kTimeout, 1},
        {K::kPulse, 500},
        {K::kFrequency, 36000},
        {K::kTimeout, 1},
        {K::kPulse, 500},
        {K::kTimeout, 1}},
       {{{5000}, 38000}, {{5000}, 36000}, {{5000}, 0}}},
      {"a carrier reported after a capture's end is that capture's, unless it has one",
       {{K::kPulse, 500},
        {K::kTimeout, 1},
        {K::kFrequency, 36000},
        {K::kPulse, 600},
        {K::kFrequency, 38000},
        {K::kTimeout, 1},
        {K::kFrequency, 40000},
        {K::kPulse, 700},
        {K::kTimeout, 1}},
       {{{5000}, 36000}, {{6000}, 38000}, {{7000}, 40000}}},
      {"samples of one kind in a row are one interval; zero pulses add nothing",
       {{K::kPulse, 300},
        {K::kPulse, 200},
        {K::kSpace, 100},
        {K::kSpace, 150},
        {K::kPulse, 0},
        {K::kPulse, 400}},
       {{{5000, -2500, 4000}, 0}}},
      {"an overflow loses the capture in progress and what follows up to the next timeout",
       {{K::kPulse, 500},
        {K::kOverflow, 0},
        {K::kPulse, 500},
        {K::kSpace, 500},
        {K::kPulse, 500},
        {K::kTimeout, 1},
        {K::kPulse, 800}},
       {{{8000}, 0}}},
      {"after an overflow a space longer than the gap also resumes capturing",
       {{K::kOverflow, 0},
        {K::kPulse, 500},
        {K::kSpace, gap / 2},
        {K::kSpace, gap / 2 + 1},
        {K::kPulse, 900}},
       {{{9000}, 0}}},
      {"unknown kinds are skipped",
       {{K::kPulse, 500}, {K::kUnknown, 7}, {K::kSpace, 500}, {K::kPulse, 500}},
       {{{5000, -5000, 5000}, 0}}},
      {"a stream of silence raises nothing",
       {{K::kSpace, 100}, {K::kTimeout, 1}, {K::kFrequency, 38000}},
       {}},
  };
  for (const auto& c : cases) {
    const auto got = Assemble(Raw(c.samples));
    ASSERT_EQ(got.size(), c.expected.size()) << c.what;
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].Durations, c.expected[i].Durations) << c.what << " #" << i;
      EXPECT_EQ(got[i].Carrier, c.expected[i].Carrier) << c.what << " #" << i;
    }
  }
}

TEST(Mode2Samples, CountsLostCapturesAndHoldsTheSizeLimit) {
  Mode2Counts counts;
  const auto got = Assemble(Raw({{K::kPulse, 1},
                                 {K::kSpace, 1},
                                 {K::kPulse, 1},
                                 {K::kSpace, 1},
                                 {K::kPulse, 1},
                                 {K::kTimeout, 1},
                                 {K::kPulse, 2},
                                 {K::kUnknown, 0},
                                 {K::kOverflow, 0},
                                 {K::kTimeout, 1},
                                 {K::kPulse, 3}}),
                            &counts, 4);
  // The first capture has five durations, one above the limit: it is lost like an overflowed one.
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].Durations, ir::TIRIntegerArr{30});
  EXPECT_EQ(counts.captures, 1u);
  EXPECT_EQ(counts.dropped, 2u);
  EXPECT_EQ(counts.unknown_samples, 1u);
}

TEST(Mode2Samples, LongDurationsStayWithin32BitTicks) {
  // 200 pulses of the largest sample value in a row: joined, held at the int32 limit.
  std::vector<S> samples(200, S{K::kPulse, 0xFFFFFF});
  const auto got = Assemble(Raw(samples));
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].Durations, ir::TIRIntegerArr{2147483647});
}

std::vector<std::uint8_t> Bytes(const std::vector<std::uint32_t>& raw) {
  std::vector<std::uint8_t> bytes(raw.size() * 4);
  std::memcpy(bytes.data(), raw.data(), bytes.size());
  return bytes;
}

TEST(Mode2Samples, SamplesSplitBetweenReadsAreJoined) {
  const auto raw = Raw({{K::kFrequency, 38000},
                        {K::kPulse, 9000},
                        {K::kSpace, 4500},
                        {K::kPulse, 560},
                        {K::kTimeout, 1},
                        {K::kPulse, 700},
                        {K::kSpace, 300},
                        {K::kPulse, 800}});
  const auto whole = Assemble(raw);
  const auto bytes = Bytes(raw);
  for (std::size_t chunk = 1; chunk <= 7; ++chunk) {
    std::vector<ir::Capture> got;
    Mode2CaptureAssembler assembler([&](const ir::Capture& c) { got.push_back(c); });
    for (std::size_t at = 0; at < bytes.size(); at += chunk)
      assembler.FeedBytes(std::span(bytes).subspan(at, std::min(chunk, bytes.size() - at)));
    EXPECT_EQ(assembler.Finish(), 0u) << chunk;
    ASSERT_EQ(got.size(), whole.size()) << chunk;
    for (std::size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i].Durations, whole[i].Durations) << chunk;
  }
}

// --- streams from descriptors ---

std::filesystem::path TempFile(const std::string& name) {
  return std::filesystem::temp_directory_path() / name;
}

void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TEST(Mode2Stream, ReportsAStreamEndingInsideASampleAfterDeliveringWhatCameBefore) {
  auto bytes = Bytes(Raw({{K::kPulse, 500}, {K::kSpace, 500}, {K::kPulse, 500}}));
  bytes.push_back(0x01);
  bytes.push_back(0x02);
  const auto path = TempFile("klimavo-mode2-stray.bin");
  WriteFile(path, bytes);
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  std::vector<ir::Capture> got;
  Mode2CaptureAssembler assembler([&](const ir::Capture& c) { got.push_back(c); });
  EXPECT_EQ(ReadMode2Stream(fd, assembler), "the stream ends inside a sample (2 of 4 bytes)");
  ::close(fd);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].Durations, (ir::TIRIntegerArr{5000, -5000, 5000}));
  EXPECT_NE(ReadMode2Stream(-1, assembler),
            "");  // a descriptor that is not open is an error, not an empty stream
}

// The real captures, read from text.
std::vector<capture::CaptureRead> Corpus() {
  capture::ReadOptions options;
  options.source = KLIMAVO_CORPUS_FILE;
  const capture::ReadResult read = capture::ReadCaptureFile(KLIMAVO_CORPUS_FILE, options);
  EXPECT_TRUE(read.ok()) << (read.error ? read.error->What() : "");
  return read.captures;
}

// What a kernel receiver reports for each capture: its carrier, its pulses and
// spaces in µs, then a timeout.
std::vector<std::uint8_t> Mode2Recording(const std::vector<capture::CaptureRead>& captures) {
  std::vector<std::uint32_t> raw;
  for (const auto& c : captures) {
    raw.push_back(EncodeMode2Sample(K::kFrequency, static_cast<std::uint32_t>(c.carrier)));
    for (const std::int32_t d : c.durations)
      raw.push_back(
          EncodeMode2Sample(d > 0 ? K::kPulse : K::kSpace, static_cast<std::uint32_t>(d > 0 ? d : -d)));
    raw.push_back(EncodeMode2Sample(K::kTimeout, 125000));
  }
  return Bytes(raw);
}

std::string DecodeJson(const ir::Capture& capture) {
  const double tolerance = config::Derive(config::ConfigValues{}).DecodeTolerance;
  ir::Tcomp_aval result;
  return ir::DecodeCapture(capture.Durations, capture.Carrier, false, true, tolerance, result)
             ? capture::DecodeReportJson(capture::MakeDecodeReport(result, true, false))
             : capture::DecodeReportJson(capture::MakeFailedReport());
}

void ExpectSameAsText(const std::vector<capture::CaptureRead>& text, const std::vector<ir::Capture>& lirc,
                      const char* how) {
  ASSERT_EQ(lirc.size(), text.size()) << how;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const ir::Capture expected = capture::ToCapture(text[i]);
    ASSERT_EQ(lirc[i].Durations, expected.Durations) << how << " capture " << i;
    ASSERT_EQ(lirc[i].Carrier, expected.Carrier) << how << " capture " << i;
    ASSERT_EQ(DecodeJson(lirc[i]), DecodeJson(expected)) << how << " capture " << i;
  }
}

std::vector<ir::Capture> ReadDescriptor(int fd) {
  std::vector<ir::Capture> got;
  Mode2CaptureAssembler assembler([&](const ir::Capture& c) { got.push_back(c); });
  EXPECT_EQ(ReadMode2Stream(fd, assembler), "");
  return got;
}

TEST(Mode2Stream, CorpusRecordedAsMode2DecodesAsFromText) {
  const auto text = Corpus();
  ASSERT_GT(text.size(), 100u);
  const auto bytes = Mode2Recording(text);

  const auto path = TempFile("klimavo-mode2-corpus.bin");
  WriteFile(path, bytes);
  const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(file, 0);
  ExpectSameAsText(text, ReadDescriptor(file), "regular file");
  ::close(file);

  // A pipe delivers the stream in pieces of its own size, as a live receiver does.
  int pipe_fds[2];
  ASSERT_EQ(::pipe(pipe_fds), 0);
  std::thread writer([&] {
    for (std::size_t at = 0; at < bytes.size();) {
      const ssize_t n =
          ::write(pipe_fds[1], bytes.data() + at, std::min<std::size_t>(4093, bytes.size() - at));
      if (n <= 0) break;
      at += static_cast<std::size_t>(n);
    }
    ::close(pipe_fds[1]);
  });
  ExpectSameAsText(text, ReadDescriptor(pipe_fds[0]), "pipe");
  writer.join();
  ::close(pipe_fds[0]);
}

TEST(LircReceiverTest, DeliversARecordedStreamOnTheOwnersThreadAndEndsAtItsEnd) {
  const auto text = Corpus();
  const std::vector<capture::CaptureRead> some(text.begin(), text.begin() + 40);
  const auto path = TempFile("klimavo-mode2-receiver.bin");
  WriteFile(path, Mode2Recording(some));

  base::EventLoopDispatcher loop;
  LircReceiver receiver(loop);
  std::vector<ir::Capture> got;
  bool on_owner = true;
  receiver.SetOnCapture([&](const ir::TIRIntegerArr& d, std::int32_t carrier) {
    on_owner = on_owner && loop.IsOwnerThread();
    got.push_back({d, carrier});
    if (got.size() == 3) throw std::runtime_error("a consumer fails");  // later captures still arrive
  });
  ASSERT_EQ(receiver.Start(path.string()), "");
  EXPECT_FALSE(receiver.Features().device);
  ASSERT_TRUE(loop.RunUntil([&] { return receiver.Finished(); }, std::chrono::seconds(30)));
  receiver.Stop();
  EXPECT_TRUE(on_owner);
  EXPECT_EQ(receiver.EndReason(), "");
  EXPECT_EQ(receiver.Counts().captures, some.size());
  ExpectSameAsText(some, got, "receiver");

  EXPECT_NE(receiver.Start("/nonexistent/lirc0").find("cannot be opened"), std::string::npos);
  EXPECT_FALSE(receiver.Running());
}

TEST(LircReceiverTest, StopEndsAReceiverThatWaitsForSamples) {
  int pipe_fds[2];
  ASSERT_EQ(::pipe(pipe_fds), 0);
  base::EventLoopDispatcher loop;
  LircReceiver receiver(loop);
  std::vector<ir::Capture> got;
  receiver.SetOnCapture([&](const ir::TIRIntegerArr& d, std::int32_t carrier) {
    got.push_back({d, carrier});
  });
  ASSERT_EQ(receiver.StartDescriptor(pipe_fds[0], "pipe"), "");
  const auto bytes = Bytes(Raw({{K::kPulse, 500}, {K::kSpace, 500}, {K::kPulse, 600}, {K::kTimeout, 1}}));
  ASSERT_EQ(::write(pipe_fds[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  ASSERT_TRUE(loop.RunUntil([&] { return got.size() == 1; }, std::chrono::seconds(10)));
  receiver.Stop();  // the writer is still open: only Stop ends the thread
  EXPECT_FALSE(receiver.Running());
  EXPECT_EQ(got[0].Durations, (ir::TIRIntegerArr{5000, -5000, 6000}));
  ::close(pipe_fds[1]);
}

}  // namespace
}  // namespace klimavo::device

namespace klimavo::device {
namespace {

// A named pipe stands in for each kernel receiver node; the test holds its
// writing end open, as a driver holds a device.
struct FakeNode {
  std::filesystem::path path;
  int writer = -1;
  explicit FakeNode(const std::string& name) : path(std::filesystem::temp_directory_path() / name) {
    std::filesystem::remove(path);
    EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
    writer = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  }
  ~FakeNode() {
    ::close(writer);
    std::filesystem::remove(path);
  }
  void Send(std::uint32_t pulse_us) const {
    const auto bytes = Bytes(Raw({{K::kPulse, pulse_us}, {K::kTimeout, 1}}));
    EXPECT_EQ(::write(writer, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  LircDeviceInfo Info(std::uint32_t bits) const {
    return {path.string(), "fake", "", LircFeatures{true, bits}, ""};
  }
};

TEST(LircCaptureSourceTest, ReadsTheFirstReceiverAndMovesOnWhenItGoes) {
  const FakeNode sender("klimavo-lirc-tx"), first("klimavo-lirc-rx1"), second("klimavo-lirc-rx2");
  std::vector<LircDeviceInfo> present{sender.Info(LIRC_CAN_SEND_PULSE), first.Info(LIRC_CAN_REC_MODE2),
                                      second.Info(LIRC_CAN_REC_MODE2)};
  base::EventLoopDispatcher loop;
  LircCaptureSource source(loop, [&] { return present; });
  std::vector<ir::Capture> got;
  int changes = 0;
  source.SetOnCapture([&](const ir::TIRIntegerArr& d, std::int32_t carrier) { got.push_back({d, carrier}); });
  source.SetOnChange([&] { ++changes; });

  source.SetListening(true);
  EXPECT_EQ(source.ActivePath(), first.path.string());  // the transmitter-only node is passed over
  first.Send(500);
  ASSERT_TRUE(loop.RunUntil([&] { return got.size() == 1; }, std::chrono::seconds(10)));
  EXPECT_EQ(got[0].Durations, ir::TIRIntegerArr{5000});

  present.erase(present.begin() + 1);  // the first receiver is unplugged
  source.Recheck();
  EXPECT_EQ(source.ActivePath(), second.path.string());
  second.Send(700);
  ASSERT_TRUE(loop.RunUntil([&] { return got.size() == 2; }, std::chrono::seconds(10)));
  EXPECT_EQ(got[1].Durations, ir::TIRIntegerArr{7000});
  EXPECT_EQ(source.Devices().size(), 2u);

  source.SetListening(false);
  EXPECT_EQ(source.ActivePath(), "");
  EXPECT_EQ(changes, 3);
}

}  // namespace
}  // namespace klimavo::device
