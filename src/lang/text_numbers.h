#pragma once
// Names of the numbered language texts that more than one part of the
// workbench shows. A text number has one name here; a text that only one file
// shows keeps its name in that file.

namespace klimavo::lang {

/// Caption of the numbered information and error messages ("Information").
inline constexpr int kTextInformation = 9;
/// Filter of the file dialogs that open or save exchange files ("Exchange files (*.acpf)").
inline constexpr int kTextExchangeFilesFilter = 302;
/// Labels of the summary lines of a decoded signal: "Carrier", "Logic codes:", "Split codes:".
inline constexpr int kTextCarrier = 53;
inline constexpr int kTextLogicCodes = 54;
inline constexpr int kTextSplitCodes = 55;

}  // namespace klimavo::lang
