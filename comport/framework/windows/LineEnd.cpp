#include "LineEnd.h"

const char* NativeLineEnd() { return "\r\n"; }
