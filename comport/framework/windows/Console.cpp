#include <velt/comport/framework/Console.h>

#include <io.h>

bool IsTerminal(std::FILE* Stream) { return _isatty(_fileno(Stream)) != 0; }
