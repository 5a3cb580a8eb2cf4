#include "LineEnd.h"

const char* NativeLineEnd() { return "\n"; }
