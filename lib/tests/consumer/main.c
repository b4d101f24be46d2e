/* A program of a user of the library: folds its argument. */
#include <kresovar.h>

#include <stdio.h>
#include <string.h>

int main(int argc, char **argv)
{
    if (argc != 2)
        return 2;
    ptrdiff_t size = kresovar_fold_utf8(argv[1], strlen(argv[1]), argv[1], strlen(argv[1]));
    if (size < 0) {
        fprintf(stderr, "%s\n", kresovar_error_name((int)size));
        return 1;
    }
    printf("%.*s %s\n", (int)size, argv[1], kresovar_version());
    return 0;
}
