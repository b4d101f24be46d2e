#include "files.h"
#include "fold_command.h"
#include "read_size.h"

int main(int argc, char** argv)
{
    PrepareProcess(kReadSize);
    return RunFoldCommand(CommandLineArguments(argc, argv));
}
