// setupwiz: installs and uninstalls the product from a setup script
// (docs/setupwiz.md).
#include <string>
#include <vector>

#include "installer/setup_program.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return installer::runSetupwiz(args);
}
