#include "files.h"
#include "fold_command.h"

int main(int argc, char** argv)
{
    UseBinaryStandardStreams();
    return RunFoldCommand(CommandLineArguments(argc, argv));
}
