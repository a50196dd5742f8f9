#include "run/run_control.h"

int main(int argc, char** argv)
{
    return run_dazed_fug(argc, argv);
}
