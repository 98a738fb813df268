#pragma once
// Why a record's table image cannot be built, in words: the error codes of the
// image builder turned into a sentence the engineer can act on, for Simulate
// in the function wizard and for Program.

#include <string>

#include "lang/language.h"

namespace klimavo::analysis {

/// "The table image cannot be built, error N: <reason>" in the language's
/// words (GBK). A code no reason is known for keeps the bare number.
std::string TableImageProblem(int code, const lang::Language& language);

}  // namespace klimavo::analysis
