// `klimavo-cli update`: the online update of the data files, for scripts.
//
//   klimavo-cli [--home DIR] [--lang N] update check    [--update-url URL] [--json]
//   klimavo-cli [--home DIR] [--lang N] update download [--update-url URL] [--json]
//
// The server is --update-url, else key UpdateUrl of section Config of the
// home's config.ini (http://, https:// or file://). `check` reads the server's
// "up.txt" as the workbench's automatic check does (no proxy) and lists the
// changed files; `download` runs the update dialog's sequence (with the proxy
// of section Config): all changed files are downloaded into <home>/Update/ and
// copied into data/ only when every one succeeded.
//
// Exit status: check 0 when the list was read (whatever it says), 1 when it
// could not be fetched; download 0 when the data files are updated or already
// up to date, 1 otherwise; both 2 without a usable server address or with
// unusable arguments.
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "base/dispatcher.h"
#include "base/gbk.h"
#include "base/home.h"
#include "capture/decode_report.h"
#include "cli/commands.h"
#include "config/config.h"
#include "lang/language.h"
#include "update/http_fetch.h"
#include "update/update_download.h"
#include "update/update_list.h"
#include "update/update_outcome.h"
#include "update/update_server.h"

namespace klimavo::cli {
namespace {

struct UpdateOptions {
  std::optional<std::string> url;
  bool json = false;
};

lang::Language LanguageOf(Context& ctx) {
  const std::filesystem::path& home = ctx.Home();
  int language_no = ctx.lang;
  if (language_no == 0) {
    const int lang = config::ReadConfig(base::ConfigPath(home)).lang;
    language_no = config::CorrectLanguageNo(lang, lang::Language(home, 1).LanguageCount());
  }
  return lang::Language(home, language_no);
}

std::string Utf8Text(const lang::Language& language, int number) {
  return base::GbkToUtf8(language.Text(number));
}

/// The server's address, or exit status 2 with text 83.
std::string ServerUrl(const UpdateOptions& o, Context& ctx) {
  const update::ServerAddress address = update::ResolveServerAddress(base::ConfigPath(ctx.Home()), o.url);
  if (address.problem != update::AddressProblem::kNone) {
    std::string message = Utf8Text(LanguageOf(ctx), update::kTextNoServer);
    if (address.problem == update::AddressProblem::kUnsupportedScheme)
      message += " (" + address.base_url + ")";
    throw CommandError{kExitUsage, message};
  }
  return address.base_url;
}

std::string JsonOfGbk(std::string_view gbk) { return capture::JsonString(base::GbkToUtf8(gbk)); }

void RunCheck(const UpdateOptions& o, Context& ctx) {
  const update::ServerSettings server = update::CheckSettings(ServerUrl(o, ctx));
  update::FetchRequest request;
  request.url = update::PublishedFileUrl(server.base_url, update::kListFileName);
  request.read_timeout = server.read_timeout;
  request.max_bytes = server.max_list_bytes;
  update::HttpFetch fetch;
  const update::FetchResult result = fetch.Run(request, nullptr);
  if (!result.ok()) {
    const lang::Language language = LanguageOf(ctx);
    throw CommandError{kExitFailed, request.url + ": " +
                                        base::GbkToUtf8(update::WhyText(
                                            update::DescribeFetchFailure("up.txt", result), language))};
  }
  const update::UpdateList list = update::ParseUpdateList(result.body);
  const update::RecordedDates recorded = update::RecordedDates::Load(base::ConfigPath(ctx.Home()));
  const bool update = update::AutoCheckFindsUpdate(list, recorded);
  const std::vector<update::ListedFile> changed = update::ChangedFiles(list, recorded);
  if (o.json) {
    std::cout << "{\"update\": " << (update ? "true" : "false") << ", \"msg\": " << JsonOfGbk(list.msg)
              << ", \"files\": [";
    for (std::size_t i = 0; i < changed.size(); ++i)
      std::cout << (i ? ", " : "") << "{\"name\": " << JsonOfGbk(changed[i].name)
                << ", \"date\": " << JsonOfGbk(changed[i].date) << "}";
    std::cout << "]}\n";
  } else {
    std::cout << "update: " << (update ? "yes" : "no") << "\n";
    if (!list.msg.empty()) std::cout << "msg: " << base::GbkToUtf8(list.msg) << "\n";
    std::cout << "changed files: " << changed.size() << "\n";
    for (const auto& file : changed)
      std::cout << "  " << base::GbkToUtf8(file.name) << "  " << base::GbkToUtf8(file.date) << "\n";
  }
  ctx.exit_code = kExitOk;
}

void PrintDownloadJson(const update::UpdateOutcome& outcome, const lang::Language& language) {
  std::cout << "{\"ok\": " << (outcome.ok() ? "true" : "false") << ", \"copied\": [";
  for (std::size_t i = 0; i < outcome.copied.size(); ++i)
    std::cout << (i ? ", " : "") << JsonOfGbk(outcome.copied[i].name);
  std::cout << "], \"refused\": [";
  for (std::size_t i = 0; i < outcome.refused.size(); ++i)
    std::cout << (i ? ", " : "") << JsonOfGbk(outcome.refused[i]);
  std::cout << "], \"failed\": [";
  for (std::size_t i = 0; i < outcome.failed.size(); ++i)
    std::cout << (i ? ", " : "") << "{\"name\": " << JsonOfGbk(outcome.failed[i].name)
              << ", \"why\": " << JsonOfGbk(update::WhyText(outcome.failed[i], language)) << "}";
  std::cout << "], \"text\": " << JsonOfGbk(language.Text(outcome.text)) << "}\n";
}

void RunDownload(const UpdateOptions& o, Context& ctx) {
  const std::filesystem::path& home = ctx.Home();
  const update::ServerSettings server = update::DownloadSettings(base::ConfigPath(home), ServerUrl(o, ctx));
  const lang::Language language = LanguageOf(ctx);
  base::EventLoopDispatcher loop;
  update::UpdateDownload::Events events;
  if (!o.json)
    events.downloading = [](const std::string& name) {
      std::cerr << "downloading " << base::GbkToUtf8(name) << "\n";
    };
  update::UpdateDownload download(loop, server, home, events);
  download.Start();
  loop.WaitServing([&] { return download.Finished(); });
  const update::UpdateOutcome& outcome = download.Outcome();
  if (o.json) {
    PrintDownloadJson(outcome, language);
  } else {
    std::cout << base::GbkToUtf8(update::OutcomeLabel(outcome, language)) << "\n";
    for (const auto& file : outcome.copied)
      std::cout << "  copied " << base::GbkToUtf8(file.name) << "  " << base::GbkToUtf8(file.date) << "\n";
  }
  ctx.exit_code = outcome.ok() ? kExitOk : kExitFailed;
}

void AddCommonOptions(CLI::App* cmd, UpdateOptions& options) {
  cmd->add_option_function<std::string>(
      "--update-url", [&options](const std::string& url) { options.url = url; },
      "Update server (http://, https:// or file://); default: key UpdateUrl of section Config");
  cmd->add_flag("--json", options.json, "Print the result as one JSON object");
}

const CommandRegistration kUpdate(700, [](CLI::App& app, Context& ctx) {
  auto options = std::make_shared<UpdateOptions>();
  auto* update = app.add_subcommand("update", "Check the update server and download changed data files");
  update->require_subcommand(1);
  auto* check = update->add_subcommand("check", "Read the server's list and show the changed data files");
  AddCommonOptions(check, *options);
  check->callback([options, &ctx] { RunCheck(*options, ctx); });
  auto* download =
      update->add_subcommand("download", "Download the changed data files and install them all or none");
  AddCommonOptions(download, *options);
  download->callback([options, &ctx] { RunDownload(*options, ctx); });
});

}  // namespace
}  // namespace klimavo::cli
