#include "update/update_outcome.h"

#include <utility>

#include "base/gbk.h"
#include "base/text.h"

namespace klimavo::update {
namespace {

// Details come from libcurl and the file system in UTF-8; labels are GBK.
std::string DetailAsGbk(const std::string& utf8) { return base::Utf8ToGbk(utf8).value_or(utf8); }

}  // namespace

FailedFile DescribeFetchFailure(std::string name, const FetchResult& result) {
  FailedFile failed{std::move(name), kTextTransferFailed, result.detail};
  switch (result.status) {
    case FetchStatus::kTimedOut:
      failed.text = kTextTimedOut;
      failed.detail.clear();
      break;
    case FetchStatus::kDeadline:
      failed.text = kTextDeadline;
      failed.detail.clear();
      break;
    case FetchStatus::kTooLarge:
      failed.text = kTextTooLarge;
      failed.detail.clear();
      break;
    case FetchStatus::kOk:
      failed.text = kTextEmptyFile;
      failed.detail.clear();
      break;
    case FetchStatus::kCancelled:
    case FetchStatus::kHttpError:
    case FetchStatus::kFailed:
      break;
  }
  return failed;
}

std::string WhyText(const FailedFile& failed, const lang::Language& language) {
  if (failed.text == 0) return DetailAsGbk(failed.detail);
  std::string why = language.Text(failed.text);
  if (!failed.detail.empty()) why += base::Concat({" ", DetailAsGbk(failed.detail)});
  return why;
}

std::string OutcomeLabel(const UpdateOutcome& outcome, const lang::Language& language) {
  std::string label = language.Text(outcome.text);
  for (const std::string& name : outcome.refused)
    label += base::Concat({"\n", language.Text(kTextRefusedName), " ", name});
  for (const FailedFile& failed : outcome.failed)
    label += "\n" + failed.name + ": " + WhyText(failed, language);
  if (!outcome.install_error.empty())
    label += base::Concat({"\n", language.Text(kTextNotReplaced), " ", DetailAsGbk(outcome.install_error)});
  for (const std::string& path : outcome.kept)
    label += base::Concat({"\n", language.Text(kTextKeptCopy), " ", DetailAsGbk(path)});
  return label;
}

}  // namespace klimavo::update
