#include "update/auto_update.h"

#include <utility>

#include "update/update_list.h"

namespace klimavo::update {

TIRAutoUpdate::TIRAutoUpdate(base::Dispatcher& dispatcher, ServerSettings server,
                             std::filesystem::path config_ini, InactiveQuery is_inactive, Notice notice,
                             AutoCheckTiming timing)
    : dispatcher_(dispatcher),
      server_(std::move(server)),
      config_ini_(std::move(config_ini)),
      is_inactive_(std::move(is_inactive)),
      timing_(timing),
      notice_state_(std::make_shared<NoticeState>(NoticeState{std::move(notice), false})) {}

TIRAutoUpdate::~TIRAutoUpdate() {
  notice_state_->destroying = true;
  {
    std::lock_guard lock(stop_mutex_);
    stop_ = true;
  }
  stop_changed_.notify_all();
  fetch_.Cancel();
  base::JoinServing(dispatcher_, thread_, [this] { return finished_.load(); });
}

void TIRAutoUpdate::Start() {
  if (thread_.joinable() || server_.base_url.empty()) return;
  finished_.store(false);
  thread_ = std::thread([this] {
    Run();
    finished_.store(true);
    dispatcher_.Wake();
  });
}

bool TIRAutoUpdate::SleepUnlessStopped(std::chrono::milliseconds duration) {
  std::unique_lock lock(stop_mutex_);
  return !stop_changed_.wait_for(lock, duration, [this] { return stop_; });
}

void TIRAutoUpdate::Run() {
  if (!SleepUnlessStopped(timing_.start_delay)) return;
  std::string msg;
  const bool update = CheckOnce(msg);
  while (update && WindowInactive()) {
    if (!SleepUnlessStopped(timing_.retry_interval)) return;
  }
  // The notice may ask a question and start the update, which frees this
  // checker: it runs after the thread has ended, never inside a hand-over
  // the thread waits for. Only the destructor stops the thread, and it marks
  // the notice state, so a stopped check never shows a notice.
  dispatcher_.Post([state = notice_state_, update, msg] {
    if (!state->destroying && state->notice) state->notice(update, msg);
  });
}

bool TIRAutoUpdate::CheckOnce(std::string& msg) {
  FetchRequest request;
  request.url = PublishedFileUrl(server_.base_url, kListFileName);
  request.read_timeout = server_.read_timeout;
  request.max_bytes = server_.max_list_bytes;
  request.deadline = server_.list_deadline;
  const FetchResult result = fetch_.Run(request, nullptr);
  if (!result.ok() || result.body.empty()) return false;
  const UpdateList list = ParseUpdateList(result.body);
  msg = list.msg;
  try {
    return AutoCheckFindsUpdate(list, RecordedDates::Load(config_ini_));
  } catch (const std::exception&) {
    return false;
  }
}

bool TIRAutoUpdate::WindowInactive() {
  {
    std::lock_guard lock(stop_mutex_);
    if (stop_) return false;
  }
  bool inactive = false;
  if (!dispatcher_.RunAndWait([&] { inactive = is_inactive_ && is_inactive_(); })) return false;
  return inactive;
}

}  // namespace klimavo::update
