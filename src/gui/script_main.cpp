// clipweaver-script / clipweaver-script-basic: runs the program in the
// current folder with the user's actions taken from a script file.
#include "gui/script.h"
#include "platform/dos.h"

#include <fstream>
#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: " << (argc > 0 ? argv[0] : "clipweaver-script") << " SCRIPT\n";
        return 2;
    }
    std::ifstream script(argv[1]);
    if (!script) {
        std::cerr << "script: cannot open " << argv[1] << "\n";
        return 1;
    }
    InitVolumes();
    return RunScript(script, std::cout, std::cerr);
}
