#pragma once
// Shared fixtures of the GUI tests: a fresh workbench home seeded from the
// bundled data, and scripted answers to the questions the windows ask.

#include <QDir>
#include <QMessageBox>
#include <QString>
#include <QTemporaryDir>
#include <deque>
#include <filesystem>
#include <functional>
#include <vector>

#include "app/user_prompts.h"

namespace klimavo::testing {

/// A temporary home seeded like a new installation (library optional).
class TestHome {
 public:
  explicit TestHome(bool with_library) {
    const std::filesystem::path seed = qEnvironmentVariable("KLIMAVO_SEED_DIR").toStdString();
    std::filesystem::copy(seed, path(), std::filesystem::copy_options::recursive);
    if (!with_library) std::filesystem::remove(path() / "data/acprotocl.dat");
  }
  std::filesystem::path path() const { return dir_.path().toStdString(); }

 private:
  QTemporaryDir dir_;
};

/// Answers questions from a script and records every message shown.
class ScriptedPrompts : public app::UserPrompts {
 public:
  std::deque<QMessageBox::StandardButton> answers;
  std::deque<std::optional<QString>> files;
  std::deque<std::optional<QString>> inputs;
  std::deque<int> choices;  ///< answers to Choose, as button indexes
  std::vector<QString> questions;
  std::vector<QString> question_captions;
  std::vector<QString> messages;
  /// Plays the part of the user in the next dialog a command runs; returns its
  /// result. Without one the dialog is cancelled (no modal loop ever runs).
  std::deque<std::function<int(QDialog&)>> dialogs;
  std::vector<QString> message_captions;
  /// Caption and prompt of every input box asked.
  std::vector<std::pair<QString, QString>> input_boxes;
  /// Caption and filter of every file dialog opened.
  std::vector<std::pair<QString, QString>> file_dialogs;

  QMessageBox::StandardButton Ask(QWidget*, const QString& caption, const QString& text,
                                  QMessageBox::StandardButtons) override {
    questions.push_back(text);
    question_captions.push_back(caption);
    if (answers.empty()) return QMessageBox::Cancel;
    auto a = answers.front();
    answers.pop_front();
    return a;
  }
  void Tell(QWidget*, const QString& caption, const QString& text) override {
    message_captions.push_back(caption);
    messages.push_back(text);
  }
  std::optional<QString> OpenFile(QWidget*, const QString& caption, const QString& filter) override {
    file_dialogs.emplace_back(caption, filter);
    return Next(files);
  }
  std::optional<QString> SaveFile(QWidget*, const QString& caption, const QString& filter,
                                  const QString&) override {
    file_dialogs.emplace_back(caption, filter);
    return Next(files);
  }
  std::optional<QString> InputText(QWidget*, const QString& caption, const QString& prompt,
                                   const QString&) override {
    input_boxes.emplace_back(caption, prompt);
    return Next(inputs);
  }
  int Choose(QWidget*, const QString&, const QString& text, const QStringList& buttons) override {
    questions.push_back(text);
    if (choices.empty()) return static_cast<int>(buttons.size()) - 1;
    const int choice = choices.front();
    choices.pop_front();
    return choice;
  }
  int RunDialog(QDialog& dialog) override {
    if (dialogs.empty()) return QDialog::Rejected;
    auto play = std::move(dialogs.front());
    dialogs.pop_front();
    return play(dialog);
  }

 private:
  static std::optional<QString> Next(std::deque<std::optional<QString>>& queue) {
    if (queue.empty()) return std::nullopt;
    auto v = queue.front();
    queue.pop_front();
    return v;
  }
};

/// Where the screenshots of the GUI tests go.
inline QString ScreenshotDir() {
  QString dir = qEnvironmentVariable("KLIMAVO_SCREENSHOT_DIR", QDir::tempPath() + "/klimavo-screenshots");
  QDir().mkpath(dir);
  return dir;
}

}  // namespace klimavo::testing
