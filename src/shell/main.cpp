#include "shell/Startup.h"

int main(int argc, char **argv)
{
    return somnex::Main(argc, argv);
}
