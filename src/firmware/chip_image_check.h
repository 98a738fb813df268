#pragma once
// The chip-image check of all records: every library record's table image is
// built and run in the chip image emulator with the default states (power off,
// temperature state 8, mode 1) and the power key pressed. Records whose image
// cannot be built or run, or whose run reports a lookup error, are listed.

#include <functional>
#include <string>
#include <vector>

#include "config/config.h"
#include "store/library.h"

namespace klimavo::firmware {

/// Called after each record with (records done, record count); returning
/// false cancels the check.
using CheckProgress = std::function<bool(int done, int total)>;

struct ChipImageCheckResult {
  std::vector<std::string> listed;  ///< code numbers as stored, in memo order (a record may appear twice)
  int checked = 0;                  ///< records checked before the end or the cancellation
  bool cancelled = false;
};

/// The single check of record `index`; false when it cannot be fetched, built
/// or run. `error_code` receives the emulator's ErrorCode (0 when it did not run).
bool CheckChipImage(const store::ProtocolLibrary& library, int index, const config::TimingAdjustments& timing,
                    int& error_code);
/// The check over the whole library, in library order.
ChipImageCheckResult CheckAllChipImages(const store::ProtocolLibrary& library,
                                        const config::TimingAdjustments& timing,
                                        const CheckProgress& progress = {});

}  // namespace klimavo::firmware
