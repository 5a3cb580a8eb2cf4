#include <velt/comport/framework/Console.h>

#include <unistd.h>

bool IsTerminal(std::FILE* Stream) { return isatty(fileno(Stream)) == 1; }
