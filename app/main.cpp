#include "app/program.h"

int main()
{
    return marrowtune::runProgram();
}
