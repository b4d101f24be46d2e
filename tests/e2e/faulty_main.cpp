// Kresovar with one platform operation, named on the command line, made to
// fail: the scenario that checks the error report runs this build, never the
// program people use.

#include "form1.h"
#include "platform_seam.h"

#include <string>

int main(int argc, char** argv)
{
    const std::string failing = argc > 1 ? argv[1] : "WriteText";
    platform::SetFaultHook([failing](std::string_view operation) {
        if (operation == failing)
            throw platform::PlatformError(5, "Odmowa dostępu.");
    });
    return platform::RunProgram([] {
        Form1 form;
        return platform::StartProgram(form.window());
    });
}
