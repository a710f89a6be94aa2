// The console program: converts recordings given on its command line or in option files.

#include <cstdio>

#include "app/console/ConsoleMain.h"

int main(int argc, char** argv)
{
    const int status = ConsoleMain(argc, argv);
    // Output that cannot be written (a full disk behind a redirection) is a failure too.
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return 1;
    return status;
}
