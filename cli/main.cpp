#include "files.h"
#include "fold_bytes.h"
#include "fold_command.h"

int main(int argc, char** argv)
{
    PrepareProcess(kReadSize);
    return RunFoldCommand(CommandLineArguments(argc, argv));
}
