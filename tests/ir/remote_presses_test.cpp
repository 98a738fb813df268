// Many presses of each remote of the capture corpus, through receivers of
// several kinds, read as one file each: the share of a file's presses that
// read with its commonest structure, blind and assisted (captures read alike),
// and no press re-read to bytes other than its own.
#include "remote_presses.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iomanip>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>

#include "ir/assisted_decode.h"
#include "ir/captures_alike.h"
#include "ir/decode.h"
#include "ir/protocol.h"

namespace klimavo::ir {
namespace {

using presses::Micros;

constexpr double kTolerance = 0.21;
constexpr std::int32_t kCarrier = 38000;
constexpr int kPressesPerFile = 20;

struct Remote {
  std::string source;
  Micros base;
  std::int32_t logic[2][2] = {};
};

// One remote per file of the corpus: its first capture that the blind decoder
// reads with two pulse-pair logic codes.
std::vector<Remote> Remotes() {
  std::vector<Remote> out;
  std::ifstream in(KLIMAVO_CORPUS_FILE);
  std::string line;
  std::string last_source;
  while (std::getline(in, line)) {
    const auto j = nlohmann::json::parse(line);
    Remote r;
    r.source = j.at("source").get<std::string>();
    if (r.source == last_source) continue;
    for (const std::int32_t us : j.at("durations_us")) r.base.push_back(us);
    Tcomp_aval plain;
    if (!DecodeCapture(presses::ToTicks(r.base), kCarrier, false, true, kTolerance, plain)) continue;
    if (plain.Params.LogicCount < 2) continue;
    bool pairs = true;
    for (int c = 0; c < 2; ++c) {
      r.logic[c][0] = plain.Params.Logic[static_cast<std::size_t>(c)][0];
      r.logic[c][1] = -plain.Params.Logic[static_cast<std::size_t>(c)][1];
      pairs = pairs && r.logic[c][0] > 0 && r.logic[c][1] > 0;
    }
    if (!pairs) continue;
    last_source = r.source;
    out.push_back(std::move(r));
  }
  return out;
}

std::string StructureOf(bool ok, const Tcomp_aval& r) { return ok ? PrintProtocol(r.Protocol) : "(none)"; }

int Commonest(const std::vector<std::string>& structures) {
  std::map<std::string, int> counts;
  int best = 0;
  for (const std::string& s : structures) best = std::max(best, ++counts[s]);
  return best;
}

struct Share {
  int presses = 0;
  int plain = 0;
  int assisted = 0;
  int wrong_bytes = 0;
};

TEST(RemotePresses, AssistedPressesOfOneRemoteReadAlike) {
  const std::vector<Remote> remotes = Remotes();
  ASSERT_GT(remotes.size(), 100u);
  std::map<std::string, Share> shares;
  for (const presses::ReceiverKind& kind : presses::kReceivers) {
    Share& share = shares[kind.name];
    std::uint64_t seed = 1;
    for (const Remote& remote : remotes) {
      presses::Random random(seed++ * 131 + static_cast<std::uint64_t>(kind.receiver));
      std::vector<std::string> plain_structures;
      std::vector<AlikeCapture> captures;
      std::vector<Tcomp_aval> clean;  // each press before the receiver, read blind
      std::vector<bool> clean_ok;
      for (int p = 0; p < kPressesPerFile; ++p) {
        const Micros press = presses::ChangeBytes(remote.base, remote.logic, random);
        const TIRIntegerArr ticks = presses::ToTicks(presses::Receive(press, kind.receiver, random));
        Tcomp_aval plain;
        plain_structures.push_back(
            StructureOf(DecodeCapture(ticks, kCarrier, false, true, kTolerance, plain), plain));
        captures.push_back({ticks, AssistedDecodeCapture(ticks, kCarrier, false, true, kTolerance)});
        clean.emplace_back();
        clean_ok.push_back(
            DecodeCapture(presses::ToTicks(press), kCarrier, false, true, kTolerance, clean.back()));
      }
      ReadCapturesAlike(captures, false, true, kTolerance);
      std::vector<std::string> assisted_structures;
      for (std::size_t i = 0; i < captures.size(); ++i) {
        const AssistedDecode& d = captures[i].decode;
        assisted_structures.push_back(StructureOf(d.ok(), d.result));
        // A press re-read against the file's structure has the bytes its clean
        // press reads blind, wherever that clean reading has the same structure.
        if (!d.changes.empty() && d.changes.back().change.rfind("read as ", 0) == 0 && clean_ok[i] &&
            PrintProtocol(clean[i].Protocol) == PrintProtocol(d.result.Protocol) &&
            clean[i].Bytes != d.result.Bytes) {
          ++share.wrong_bytes;
          ADD_FAILURE() << kind.name << " " << remote.source << " press " << i << ": "
                        << d.changes.back().why;
        }
      }
      share.presses += kPressesPerFile;
      share.plain += Commonest(plain_structures);
      share.assisted += Commonest(assisted_structures);
    }
  }
  std::cout << "Share of presses read with their file's commonest structure (" << remotes.size()
            << " remotes, " << kPressesPerFile << " presses each):\n";
  for (const auto& [name, s] : shares) {
    std::cout << "  " << std::left << std::setw(16) << name << std::right << std::fixed
              << std::setprecision(1) << " blind " << std::setw(5) << 100.0 * s.plain / s.presses
              << " %   assisted " << std::setw(5) << 100.0 * s.assisted / s.presses << " %\n";
    EXPECT_GE(s.assisted, s.plain) << name;
    EXPECT_GE(s.assisted * 100, s.presses * 95) << name;
    EXPECT_EQ(s.wrong_bytes, 0) << name;
  }
}

}  // namespace
}  // namespace klimavo::ir
