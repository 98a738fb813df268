#pragma once
// The learner models: their USB product names, which model sets accept them, and
// what each model family needs (long range, continuous learning, a stop command,
// the packet format of its captures). The position in the table is the model
// index that every rule of the link refers to.

#include <array>
#include <bitset>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace klimavo::device {

/// How a learner returns a captured signal.
enum class PacketFormat { kTable, kPulse, kBigEndianTable };

struct LearnerModel {
  std::string_view product_name;
  std::uint8_t sets;  ///< bit n set: the model belongs to model set n (0..3)
  bool long_range;
  bool continuous;  ///< keeps learning after a capture; never re-armed after a packet
  bool stop_command;
  PacketFormat format;
};

inline constexpr int kModelCount = 13;
inline constexpr int kPulseModel = 11;
inline constexpr int kBigEndianModel = 12;
/// Model 8 gets the learn command again when a packet starts with an acknowledgement.
inline constexpr int kReacknowledgeModel = 8;
/// Set numbers SelectModelSet understands; any other number selects every model.
inline constexpr int kAllModelsSet = 3;

/// Which model indexes may match (indexes above 255 never do).
using EnabledModels = std::bitset<256>;

/// The model table, in model-index order.
const std::array<LearnerModel, kModelCount>& LearnerModels();
/// The entry of `index`, or nullopt when the index is outside the table.
std::optional<LearnerModel> ModelAt(int index);
/// The enabled set of model set `set_number` (0, 1, 2; anything else = all models).
EnabledModels ModelSet(int set_number);
/// The product names of the table, in model-index order.
std::vector<std::string> ModelProductNames();

/// Matches a device's product string against `names`: trimmed, without regard to
/// ASCII case, from the last name to the first, skipping names not enabled. The
/// index of the first match, or nullopt.
std::optional<int> MatchProductName(std::span<const std::string> names, const EnabledModels& enabled,
                                    std::string_view product);

bool SupportsLongRange(int model);  ///< models 7, 9 and 11
bool IsContinuous(int model);       ///< models 9, 11 and 12
bool NeedsStopCommand(int model);   ///< model 4 and above
bool HasLearnerModel(int model);    ///< model 2 and above

}  // namespace klimavo::device
