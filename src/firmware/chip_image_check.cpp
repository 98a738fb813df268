#include "firmware/chip_image_check.h"

#include "firmware/chip_emulator.h"
#include "firmware/table_image.h"

namespace klimavo::firmware {
namespace {

// Power off, temperature state 8, mode 1; the power key pressed.
constexpr StateBlock kCheckStates = {0, 8, 1, 0, 0, 0, 0, 0};

}  // namespace

bool CheckChipImage(const store::ProtocolLibrary& library, int index, const config::TimingAdjustments& timing,
                    int& error_code) {
  error_code = 0;
  store::TdiskAir record;
  store::TBtnLines bit_lines;
  if (!library.FetchRecord(index, record, bit_lines)) return false;
  base::Bytes image;
  if (BuildTableImage(record, bit_lines, false, timing, image) != 0) return false;
  TACRusher rusher(timing);
  rusher.Load(record.LsbFirst != 0, image, kCheckStates);
  ir::TIRIntegerArr durations;
  bool ok = rusher.Run(durations);
  error_code = rusher.ErrorCode();
  return ok;
}

ChipImageCheckResult CheckAllChipImages(const store::ProtocolLibrary& library,
                                        const config::TimingAdjustments& timing,
                                        const CheckProgress& progress) {
  ChipImageCheckResult result;
  const int total = library.Size();
  for (int i = 0; i < total; ++i) {
    const std::string code = library.Records()[static_cast<std::size_t>(i)].Record.CodeNo.str();
    int error_code = 0;
    bool ok = CheckChipImage(library, i, timing, error_code);
    if (error_code != 0) result.listed.push_back(code);
    if (!ok) result.listed.push_back(code);
    result.checked = i + 1;
    if (progress && !progress(i + 1, total)) {
      result.cancelled = result.checked < total;
      break;
    }
  }
  return result;
}

}  // namespace klimavo::firmware
