#pragma once
// Names of the numbered language texts that more than one part of the
// workbench shows. A text number has one name here; a text that only one file
// shows keeps its name in that file.

namespace klimavo::lang {

/// Caption of the numbered information and error messages ("Information").
inline constexpr int kTextInformation = 9;

}  // namespace klimavo::lang
