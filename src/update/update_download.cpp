#include "update/update_download.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <span>
#include <utility>

#include "base/atomic_file.h"
#include "base/home.h"
#include "store/library.h"
#include "update/data_file_check.h"
#include "update/update_install.h"

namespace klimavo::update {
namespace {

/// Progress reports to the owner come at most this often (plus the last one).
constexpr std::chrono::milliseconds kProgressInterval{40};

}  // namespace

UpdateDownload::UpdateDownload(base::Dispatcher& dispatcher, ServerSettings server,
                               std::filesystem::path home, Events events)
    : dispatcher_(dispatcher),
      server_(std::move(server)),
      home_(std::move(home)),
      events_(std::move(events)) {}

UpdateDownload::~UpdateDownload() {
  alive_.reset();
  aborted_.store(true);
  fetch_.Cancel();
  StopThread();
}

void UpdateDownload::StopThread() {
  base::JoinServing(dispatcher_, thread_, [this] { return thread_done_.load(); });
}

void UpdateDownload::Start() {
  if (started_) return;
  started_ = true;
  if (server_.base_url.empty()) {
    UpdateOutcome outcome;
    outcome.text = kTextNoServer;
    Finish(std::move(outcome));
    return;
  }
  try {
    recorded_ = RecordedDates::Load(base::ConfigPath(home_));
  } catch (const std::exception& e) {
    UpdateOutcome outcome;
    outcome.text = kTextUpdateFailed;
    outcome.failed.push_back(FailedFile{"config.ini", 0, e.what()});
    Finish(std::move(outcome));
    return;
  }
  thread_done_.store(false);
  thread_ = std::thread([this] {
    Run();
    Report([this] { Complete(); });
    thread_done_.store(true);
    dispatcher_.Wake();
  });
}

void UpdateDownload::Abort() {
  aborted_.store(true);
  fetch_.Cancel();
  StopThread();
  finished_ = true;
}

void UpdateDownload::Report(std::function<void()> report) {
  dispatcher_.Post([this, alive = alive_token_, report = std::move(report)] {
    if (alive.lock() && !aborted_.load()) report();
  });
}

bool UpdateDownload::FetchInto(FetchRequest request, const std::string& name, FetchResult& result) {
  if (aborted_.load()) return false;
  // The file's own deadline, cut to what is left of the run's.
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      server_.run_deadline - (std::chrono::steady_clock::now() - run_started_));
  if (left.count() <= 0) {
    result = FetchResult{};
    result.status = FetchStatus::kDeadline;
    return true;
  }
  request.deadline = request.deadline.count() > 0 ? std::min(request.deadline, left) : left;
  Report([this, name] {
    if (events_.downloading) events_.downloading(name);
  });
  auto last_report = std::chrono::steady_clock::time_point{};
  result = fetch_.Run(request, [&](std::int64_t total, std::int64_t received) {
    const auto now = std::chrono::steady_clock::now();
    if (now - last_report < kProgressInterval && received != total) return;
    last_report = now;
    Report([this, total, received] {
      if (events_.progress) events_.progress(total, received);
    });
  });
  return !aborted_.load();
}

void UpdateDownload::Run() {
  run_started_ = std::chrono::steady_clock::now();
  UpdateOutcome& outcome = downloads_.outcome;
  FetchRequest request;
  request.proxy_host = server_.proxy_host;
  request.proxy_port = server_.proxy_port;
  request.read_timeout = server_.read_timeout;
  request.url = PublishedFileUrl(server_.base_url, kListFileName);
  request.max_bytes = server_.max_list_bytes;
  request.deadline = server_.list_deadline;
  FetchResult list_result;
  if (!FetchInto(request, std::string(kListFileName), list_result)) return;
  if (!list_result.ok()) {
    outcome.text = kTextListFailed;
    outcome.failed.push_back(DescribeFetchFailure(std::string(kListFileName), list_result));
    return;
  }
  // An empty list lists nothing.
  const UpdateList list = ParseUpdateList(list_result.body);
  if (!list_result.body.empty() && !list.count_readable) {
    outcome.text = kTextUpdateFailed;
    return;
  }
  const std::vector<ListedFile> changed = ChangedFiles(list, recorded_);
  if (changed.empty()) {
    outcome.text = kTextUpToDate;
    return;
  }
  for (const ListedFile& file : changed)
    if (!IsPlainFileName(file.name)) outcome.refused.push_back(file.name);
  if (!outcome.refused.empty()) {
    outcome.text = kTextUpdateFailed;
    return;
  }
  try {
    if (std::optional<FailedFile> damaged = DamagedStoreFile(home_, changed)) {
      outcome.text = kTextUpdateFailed;
      outcome.failed.push_back(std::move(*damaged));
      return;
    }
  } catch (const std::exception& e) {
    outcome.text = kTextUpdateFailed;
    outcome.failed.push_back(FailedFile{std::string(store::kLibraryFileName), 0, e.what()});
    return;
  }
  DownloadFiles(changed);
}

void UpdateDownload::DownloadFiles(const std::vector<ListedFile>& changed) {
  UpdateOutcome& outcome = downloads_.outcome;
  outcome.text = kTextUpdateFailed;
  const std::filesystem::path folder = UpdateDir(home_);
  FetchRequest request;
  request.proxy_host = server_.proxy_host;
  request.proxy_port = server_.proxy_port;
  request.read_timeout = server_.read_timeout;
  request.max_bytes = server_.max_file_bytes;
  request.deadline = server_.file_deadline;
  for (const ListedFile& file : changed) {
    request.url = PublishedFileUrl(server_.base_url, file.name);
    FetchResult result;
    if (!FetchInto(request, file.name, result)) return;
    if (!result.ok() || result.body.empty()) {
      outcome.failed.push_back(DescribeFetchFailure(file.name, result));
      return;
    }
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(result.body.data()),
                                              result.body.size());
    if (std::optional<std::string> problem = DataFileProblem(file.name, bytes)) {
      outcome.failed.push_back(FailedFile{file.name, kTextNotDataFile, std::move(*problem)});
      return;
    }
    try {
      WriteHomeFolderFile(folder, LocalFileName(file.name), bytes);
    } catch (const std::exception& e) {
      outcome.failed.push_back(FailedFile{file.name, 0, e.what()});
      return;
    }
  }
  downloads_.to_install = changed;
}

void UpdateDownload::Complete() {
  StopThread();
  if (aborted_.load() || finished_) return;
  UpdateOutcome outcome = std::move(downloads_.outcome);
  if (!downloads_.to_install.empty()) {
    if (events_.installing) events_.installing();
    InstallResult installed = InstallFiles(home_, downloads_.to_install);
    outcome.copied = std::move(installed.copied);
    for (const std::filesystem::path& path : installed.kept) outcome.kept.push_back(path.string());
    if (installed.error.empty()) {
      outcome.text = kTextUpdated;
      outcome.button_text = kTextDoneButton;
    } else {
      outcome.text = kTextUpdateFailed;
      // Copied but not recorded: the next check offers the files again.
      if (outcome.copied.empty()) {
        outcome.install_error = std::move(installed.error);
        for (const ListedFile& file : downloads_.to_install) outcome.not_replaced.push_back(file.name);
      } else
        outcome.failed.push_back(FailedFile{"config.ini", 0, std::move(installed.error)});
    }
  }
  Finish(std::move(outcome));
}

void UpdateDownload::Finish(UpdateOutcome outcome) {
  outcome_ = std::move(outcome);
  finished_ = true;
  if (events_.finished) events_.finished(outcome_);
}

}  // namespace klimavo::update
