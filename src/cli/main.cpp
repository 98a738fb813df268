// klimavo-cli: the command-line front end of the workbench.
#include "cli/commands.h"

int main(int argc, char** argv) { return klimavo::cli::Run(argc, argv); }
