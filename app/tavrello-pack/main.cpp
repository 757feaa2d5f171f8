#include "pack/PackProgram.h"

int main(int argc, char** argv)
{
    return pack::runCommandLine(argc, argv);
}
