#pragma once
// The public header, under the name the component's own sources use.
#include <velt/comport/platform/WideText.h>
