#include "store/disk_change.h"

namespace klimavo::store {

DiskChangeAnswer DiskChangeAnswerFromIndex(int index) {
  switch (index) {
    case 0:
      return DiskChangeAnswer::kReload;
    case 1:
      return DiskChangeAnswer::kOverwrite;
    default:
      return DiskChangeAnswer::kCancel;
  }
}

CurrentAfterReload PlaceCurrentAfterReload(const ProtocolLibrary& reloaded, const TdiskAir& current,
                                           bool record_modified) {
  if (record_modified) return {-1, true};
  return {reloaded.IndexOfCode(current.CodeNo.str()), false};
}

}  // namespace klimavo::store
