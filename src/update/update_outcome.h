#pragma once
// The language texts of the online update and the outcome of one run of the
// update dialog's download sequence, as the dialog and `klimavo-cli update
// download` show it.

#include <string>
#include <vector>

#include "lang/language.h"
#include "update/http_fetch.h"
#include "update/update_list.h"

namespace klimavo::update {

/// Texts of the update notice and the update dialog.
inline constexpr int kTextPleaseWait = 27;      ///< label while the files are copied
inline constexpr int kTextUpdateQuestion = 31;  ///< the update notice
inline constexpr int kTextListFailed = 35;      ///< "up.txt" could not be downloaded
inline constexpr int kTextUpdated = 37;         ///< the files were copied
inline constexpr int kTextDownloading = 61;     ///< a download runs
inline constexpr int kTextUpdateFailed = 62;    ///< nothing was copied
inline constexpr int kTextUpToDate = 63;        ///< no file has changed
inline constexpr int kTextUpdateCaption = 80;   ///< caption of the update notice
inline constexpr int kTextCloseButton = 81;     ///< the dialog's button after a failure or no change
inline constexpr int kTextDoneButton = 82;      ///< the dialog's button after a successful update
inline constexpr int kTextNoServer = 83;        ///< no usable server address is set
inline constexpr int kTextTimedOut = 84;        ///< why: no byte within the read time-out
inline constexpr int kTextTooLarge = 85;        ///< why: the file exceeds its size cap
inline constexpr int kTextTransferFailed = 86;  ///< why: another transfer error (followed by its detail)
inline constexpr int kTextEmptyFile = 87;       ///< why: the server sent no byte
inline constexpr int kTextRefusedName = 88;     ///< a listed name is not a plain file name
inline constexpr int kTextNotReplaced = 89;     ///< the data files could not be replaced
inline constexpr int kTextNotDataFile = 231;    ///< why: the file does not read as a data file of its kind
inline constexpr int kTextDeadline = 232;       ///< why: the update ran past its deadline
inline constexpr int kTextKeptCopy = 233;       ///< a copy of a replaced file was kept

/// A download that failed: the file name (GBK) and why.
struct FailedFile {
  std::string name;
  int text = kTextTransferFailed;  ///< 0: `detail` alone says why
  std::string detail;              ///< libcurl's or the file system's description (may be empty)
};

/// How one run of the download sequence ended.
struct UpdateOutcome {
  /// The dialog's label: 35, 37, 62, 63 or 83.
  int text = kTextUpToDate;
  /// The dialog's button caption: 81, or 82 after a successful update.
  int button_text = kTextCloseButton;
  /// Files copied into the data folder, with the dates now recorded.
  std::vector<ListedFile> copied;
  /// Listed names that are not plain file names (GBK).
  std::vector<std::string> refused;
  std::vector<FailedFile> failed;
  /// Why the data files could not be replaced (empty unless that happened).
  std::string install_error;
  /// The files that were to be installed when installing failed (GBK).
  std::vector<std::string> not_replaced;
  /// Where copies of the replaced files were kept (UTF-8 paths).
  std::vector<std::string> kept;
  /// The outcome is text 37 or 63.
  bool ok() const { return text == kTextUpdated || text == kTextUpToDate; }
};

/// The reason text of a failed transfer (text 84-87 for the status).
FailedFile DescribeFetchFailure(std::string name, const FetchResult& result);
/// Why a download failed, as one line (GBK).
std::string WhyText(const FailedFile& failed, const lang::Language& language);
/// The dialog's label: the outcome text, then one line per refused name,
/// failed download and the install error (GBK).
std::string OutcomeLabel(const UpdateOutcome& outcome, const lang::Language& language);

}  // namespace klimavo::update
