// klimavo: the Qt workbench.
//   klimavo [--home DIR]                   the main window over the home's library
//   klimavo [--home DIR] --show-capture F  a viewer of the captures of file F
//   klimavo [--home DIR] --simulate-device [--simulate-captures F]
//                                          the workbench with a simulated learner that plays
//                                          the captures of F (default: the sample captures),
//                                          one per press of F9 or the "Press key" button
//   --simulate-packets                     the simulated learner's presses as its packets
//                                          carry them (cut to 511 levels, carrier measured)
//   --update-url URL                       the update server (instead of UpdateUrl of config.ini)
#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QMessageBox>
#include <QTimer>
#include <filesystem>
#include <iostream>
#include <optional>

#include "app/capture_viewer.h"
#include "app/device_session.h"
#include "app/main_window.h"
#include "app/user_prompts.h"
#include "app/workbench.h"
#include "app/workbench_application.h"
#include "base/home.h"
#include "config/config.h"
#include "lang/text_numbers.h"
#include "store/colour_scheme.h"
#include "ui/ui_text.h"
#include "ui/waveview/wave_show.h"

namespace {

// The message of an error that escaped a command into the event loop.
constexpr int kTextUnexpectedError = 78;

// Saves the window as a PNG once it has been laid out and painted, then quits.
void ScheduleScreenshot(QWidget& window, const QString& file) {
  QTimer::singleShot(500, &window, [&window, file] {
    window.grab().save(file);
    QApplication::quit();
  });
}

// The device session of the run: the hidraw learner, or the simulated one
// playing the captures of a file. Nullopt (after a message) when that file
// cannot be read.
std::optional<klimavo::app::DeviceSessionOptions> DeviceOptions(bool simulate, const QString& captures_file,
                                                                bool as_packets) {
  klimavo::app::DeviceSessionOptions options;
  options.simulate = simulate;
  if (!simulate) return options;
  // A press reaches the windows as the file holds it, as `library new
  // --from-capture` reads it, unless the learner's packet limits are asked for.
  options.simulated.exact_captures = !as_packets;
  const std::filesystem::path file = captures_file.isEmpty()
                                         ? klimavo::app::DefaultSimulatedCaptures()
                                         : std::filesystem::path(captures_file.toStdString());
  klimavo::capture::ReadOptions read_options;
  read_options.source = file.string();
  auto read = klimavo::capture::ReadCaptureFile(file, read_options);
  if (!read.ok()) {
    std::cerr << "klimavo: " << read.error->What() << "\n";
    QMessageBox::critical(nullptr, "Klimavo", QString::fromStdString(read.error->What()));
    return std::nullopt;
  }
  options.captures = std::move(read.captures);
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  klimavo::app::WorkbenchApplication app(argc, argv);
  QApplication::setApplicationName("klimavo");
  QApplication::setApplicationVersion(KLIMAVO_VERSION);
  // The installed launcher's name and icon, so that the desktop shows the
  // workbench's windows under its launcher and icon.
  QGuiApplication::setDesktopFileName("org.klimavo.workbench");
  QApplication::setWindowIcon(QIcon::fromTheme("org.klimavo.workbench"));

  QCommandLineParser parser;
  parser.setApplicationDescription("Klimavo workbench for air-conditioner IR protocols");
  parser.addHelpOption();
  parser.addVersionOption();
  QCommandLineOption home_option("home", "Workbench home folder.", "DIR");
  QCommandLineOption capture_option("show-capture", "Show the captures of FILE.", "FILE");
  QCommandLineOption screenshot_option("screenshot", "Save the first window as PNG FILE and quit.", "FILE");
  QCommandLineOption simulate_option(
      "simulate-device", "Run with a simulated learner; F9 or the Press key button sends its next capture.");
  QCommandLineOption simulate_captures_option(
      "simulate-captures", "Captures the simulated learner plays (default: the sample captures).", "FILE");
  QCommandLineOption simulate_packets_option(
      "simulate-packets",
      "The simulated learner hands its presses over as its packets carry them: cut to 511 levels, "
      "the carrier measured from the first mark.");
  parser.addOption(home_option);
  parser.addOption(simulate_option);
  parser.addOption(simulate_captures_option);
  parser.addOption(simulate_packets_option);
  parser.addOption(capture_option);
  parser.addOption(screenshot_option);
  QCommandLineOption update_url_option("update-url", "Update server (http://, https:// or file://).", "URL");
  parser.addOption(update_url_option);
  parser.process(app);

  std::optional<std::filesystem::path> home_arg;
  if (parser.isSet(home_option)) home_arg = parser.value(home_option).toStdString();
  std::filesystem::path home;
  try {
    home = klimavo::base::PrepareHome(home_arg);
  } catch (const std::exception& e) {
    QMessageBox::critical(nullptr, "Klimavo", QString::fromStdString(e.what()));
    return 2;
  }

  // Every waveform view takes its colours from the home's colour scheme.
  klimavo::ui::TWaveShow::SetColourSource([home] {
    try {
      const auto item =
          klimavo::store::CurrentColours(klimavo::store::LoadColourScheme(klimavo::base::BinnDir(home)));
      return klimavo::ui::WaveColours::FromSchemeValues(item.Colours);
    } catch (const std::exception&) {
      return klimavo::ui::WaveColours::Defaults();
    }
  });

  if (parser.isSet(capture_option)) {
    const QString file = parser.value(capture_option);
    klimavo::app::Workbench workbench(home);
    auto load = klimavo::app::LoadCaptureFile(file, workbench.language);
    if (!load.ok()) {
      // On the terminal for scripts, in a window for the user who started it from a desktop.
      std::cerr << "klimavo: " << load.error.toStdString() << "\n";
      const QString caption = klimavo::ui::LangText(workbench.language, klimavo::lang::kTextInformation);
      if (parser.isSet(screenshot_option)) {
        QMessageBox box(QMessageBox::Warning, caption, load.error);
        box.show();
        ScheduleScreenshot(box, parser.value(screenshot_option));
        QApplication::exec();
      } else {
        klimavo::app::DialogPrompts().Tell(nullptr, caption, load.error);
      }
      return 2;
    }
    klimavo::app::CaptureViewer viewer(std::move(load.captures), workbench.settings.DecodeTolerance,
                                       workbench.language, file);
    viewer.show();
    if (parser.isSet(screenshot_option)) ScheduleScreenshot(viewer, parser.value(screenshot_option));
    return QApplication::exec();
  }

  const auto device_options =
      DeviceOptions(parser.isSet(simulate_option) || parser.isSet(simulate_captures_option) ||
                        parser.isSet(simulate_packets_option),
                    parser.value(simulate_captures_option), parser.isSet(simulate_packets_option));
  if (!device_options) return 2;
  klimavo::app::Workbench workbench(home);
  app.SetErrorReporter([&workbench](const QString&, const QString& text) {
    const auto& language = workbench.language;
    QMessageBox::critical(QApplication::activeWindow(),
                          klimavo::ui::LangText(language, klimavo::lang::kTextInformation),
                          klimavo::ui::LangText(language, kTextUnexpectedError) + "\n" + text);
  });
  // The device manager exists before the main window and ends after it.
  klimavo::app::DeviceSession device(*device_options);
  workbench.device = &device;
  klimavo::app::DialogPrompts prompts;
  klimavo::app::TfrmAirEditor window(workbench, prompts);
  if (parser.isSet(update_url_option)) window.SetUpdateServer(parser.value(update_url_option).toStdString());
  window.show();
  if (parser.isSet(screenshot_option)) ScheduleScreenshot(window, parser.value(screenshot_option));
  return QApplication::exec();
}
