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

std::string Utf8Text(const lang::Language& language, int number) {
  return base::GbkToUtf8(language.Text(number));
}

/// The server's address, or exit status 2 with text 83.
std::string ServerUrl(const UpdateOptions& o, Context& ctx) {
  const update::ServerAddress address = update::ResolveServerAddress(base::ConfigPath(ctx.Home()), o.url);
  if (address.problem != update::AddressProblem::kNone) {
    std::string message = Utf8Text(ctx.Language(), update::kTextNoServer);
    if (address.problem == update::AddressProblem::kUnsupportedScheme)
      message += " (" + address.base_url + ")";
    throw CommandError{kExitUsage, message};
  }
  return address.base_url;
}

// The server's texts (msg, names, dates) may hold control bytes: printed raw,
// escape sequences would drive the terminal. They are dropped (C0, DEL and
// the C1 controls of UTF-8); line breaks between the lines of a label stay.
std::string Printable(std::string_view utf8, bool keep_line_breaks = false) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c == '\n' && keep_line_breaks) {
      out += '\n';
    } else if (c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
      ++i;
    } else if (c >= 0x20 && c != 0x7F) {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string PrintableGbk(std::string_view gbk) { return Printable(base::GbkToUtf8(gbk)); }

std::string JsonOfGbk(std::string_view gbk) { return capture::JsonString(base::GbkToUtf8(gbk)); }

void RunCheck(const UpdateOptions& o, Context& ctx) {
  const update::ServerSettings server = update::CheckSettings(ServerUrl(o, ctx));
  update::FetchRequest request;
  request.url = update::PublishedFileUrl(server.base_url, update::kListFileName);
  request.read_timeout = server.read_timeout;
  request.max_bytes = server.max_list_bytes;
  request.deadline = server.list_deadline;
  update::HttpFetch fetch;
  const update::FetchResult result = fetch.Run(request, nullptr);
  if (!result.ok()) {
    const lang::Language& language = ctx.Language();
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
    if (!list.msg.empty()) std::cout << "msg: " << PrintableGbk(list.msg) << "\n";
    std::cout << "changed files: " << changed.size() << "\n";
    for (const auto& file : changed)
      std::cout << "  " << PrintableGbk(file.name) << "  " << PrintableGbk(file.date) << "\n";
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
  // Downloads that succeeded but could not be installed (a full disk) failed too.
  for (std::size_t i = 0; i < outcome.not_replaced.size(); ++i)
    std::cout << (i || !outcome.failed.empty() ? ", " : "")
              << "{\"name\": " << JsonOfGbk(outcome.not_replaced[i]) << ", \"why\": "
              << JsonOfGbk(
                     update::WhyText(update::FailedFile{outcome.not_replaced[i], update::kTextNotReplaced,
                                                        outcome.install_error},
                                     language))
              << "}";
  std::cout << "], \"text\": " << JsonOfGbk(language.Text(outcome.text)) << "}\n";
}

void RunDownload(const UpdateOptions& o, Context& ctx) {
  const std::filesystem::path& home = ctx.Home();
  const update::ServerSettings server = update::DownloadSettings(base::ConfigPath(home), ServerUrl(o, ctx));
  const lang::Language& language = ctx.Language();
  base::EventLoopDispatcher loop;
  update::UpdateDownload::Events events;
  if (!o.json)
    events.downloading = [](const std::string& name) {
      std::cerr << "downloading " << PrintableGbk(name) << "\n";
    };
  update::UpdateDownload download(loop, server, home, events);
  download.Start();
  loop.WaitServing([&] { return download.Finished(); });
  const update::UpdateOutcome& outcome = download.Outcome();
  if (o.json) {
    PrintDownloadJson(outcome, language);
  } else {
    std::cout << Printable(base::GbkToUtf8(update::OutcomeLabel(outcome, language)), true) << "\n";
    for (const auto& file : outcome.copied)
      std::cout << "  copied " << PrintableGbk(file.name) << "  " << PrintableGbk(file.date) << "\n";
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
