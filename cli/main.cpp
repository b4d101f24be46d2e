#include "files.h"
#include "fold_command.h"

int main(int argc, char** argv)
{
    PrepareProcess();
    return RunFoldCommand(CommandLineArguments(argc, argv));
}
