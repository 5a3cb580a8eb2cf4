#pragma once
/// @file
/// Everything a user of the serial port component includes.
#include <velt/comport/ComError.h>
#include <velt/comport/ComLink.h>
#include <velt/comport/ComPort.h>
#include <velt/comport/ComSettings.h>
#include <velt/comport/ComSettingsTable.h>
#include <velt/comport/ComSetup.h>
#include <velt/comport/ComStorage.h>
#include <velt/comport/ComTransfer.h>
#include <velt/comport/ComTypes.h>
#include <velt/comport/LineLog.h>
#include <velt/comport/LineLogText.h>
#include <velt/comport/PortList.h>
