#pragma once
// How a dialog shows a message or asks for a text. The workbench hands in its
// own prompts (so tests can answer them); without them the standard message
// box and input box are used.

#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

namespace klimavo::ui {

struct DialogMessages {
  /// Shows a message with an OK button.
  std::function<void(QWidget* parent, const QString& caption, const QString& text)> tell;
  /// Asks for a text (caption, prompt, preset); nullopt when cancelled.
  std::function<std::optional<QString>(QWidget* parent, const QString& caption, const QString& prompt,
                                       const QString& value)>
      input;

  void Tell(QWidget* parent, const QString& caption, const QString& text) const;
  std::optional<QString> Input(QWidget* parent, const QString& caption, const QString& prompt,
                               const QString& value) const;
};

}  // namespace klimavo::ui
