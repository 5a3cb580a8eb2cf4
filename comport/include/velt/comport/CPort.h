#pragma once
// Everything a user of the serial port component includes.
#include "ComError.h"
#include "ComLink.h"
#include "ComPort.h"
#include "ComSettings.h"
#include "ComStorage.h"
#include "ComTransfer.h"
#include "ComTypes.h"
