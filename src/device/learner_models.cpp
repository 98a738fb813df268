#include "device/learner_models.h"

namespace klimavo::device {
namespace {

constexpr std::uint8_t kSet0 = 1 << 0;
constexpr std::uint8_t kSet1 = 1 << 1;
constexpr std::uint8_t kSet2 = 1 << 2;
constexpr std::uint8_t kSet3 = 1 << 3;

constexpr std::array<LearnerModel, kModelCount> kModels{{
    {"KLV-L00", kSet0 | kSet3, false, false, false, PacketFormat::kTable},
    {"KLV-L01", kSet0 | kSet3, false, false, false, PacketFormat::kTable},
    {"KLV-L02", kSet0 | kSet2 | kSet3, false, false, false, PacketFormat::kTable},
    {"KLV-L03", kSet1 | kSet2 | kSet3, false, false, false, PacketFormat::kTable},
    {"KLV-L04", kSet0 | kSet2 | kSet3, false, false, true, PacketFormat::kTable},
    {"KLV-L05", kSet1 | kSet2 | kSet3, false, false, true, PacketFormat::kTable},
    {"KLV-L06", kSet1 | kSet2 | kSet3, false, false, true, PacketFormat::kTable},
    {"KLV-L07", kSet0 | kSet2 | kSet3, true, false, true, PacketFormat::kTable},
    {"KLV-L08", kSet1 | kSet2 | kSet3, false, false, true, PacketFormat::kTable},
    {"KLV-L09", kSet0 | kSet2 | kSet3, true, true, true, PacketFormat::kTable},
    {"KLV-L10", kSet1 | kSet2 | kSet3, false, false, true, PacketFormat::kTable},
    {"KLV-L11", kSet0 | kSet2 | kSet3, true, true, true, PacketFormat::kPulse},
    {"KLV-L12", kSet0 | kSet2 | kSet3, false, true, true, PacketFormat::kBigEndianTable},
}};

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

std::string_view TrimSpaces(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}

}  // namespace

const std::array<LearnerModel, kModelCount>& LearnerModels() { return kModels; }

std::optional<LearnerModel> ModelAt(int index) {
  if (index < 0 || index >= kModelCount) return std::nullopt;
  return kModels[static_cast<std::size_t>(index)];
}

EnabledModels ModelSet(int set_number) {
  const int set = (set_number >= 0 && set_number < kAllModelsSet) ? set_number : kAllModelsSet;
  EnabledModels enabled;
  for (int i = 0; i < kModelCount; ++i) {
    if (kModels[static_cast<std::size_t>(i)].sets & (1u << set)) enabled.set(static_cast<std::size_t>(i));
  }
  return enabled;
}

std::vector<std::string> ModelProductNames() {
  std::vector<std::string> names;
  for (const auto& model : kModels) names.emplace_back(model.product_name);
  return names;
}

std::optional<int> MatchProductName(std::span<const std::string> names, const EnabledModels& enabled,
                                    std::string_view product) {
  const std::string_view trimmed = TrimSpaces(product);
  for (std::size_t i = names.size(); i-- > 0;) {
    if (i >= enabled.size() || !enabled.test(i)) continue;
    if (EqualsNoCase(names[i], trimmed)) return static_cast<int>(i);
  }
  return std::nullopt;
}

bool SupportsLongRange(int model) { return model == 7 || model == 9 || model == 11; }
bool IsContinuous(int model) { return model == 9 || model == 11 || model == 12; }
bool NeedsStopCommand(int model) { return model >= 4; }
bool HasLearnerModel(int model) { return model >= 2; }

}  // namespace klimavo::device
