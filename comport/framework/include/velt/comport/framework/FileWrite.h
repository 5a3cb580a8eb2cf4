#pragma once
/// @file
/// Writing a whole file so that it never holds a part of its new content.
#include <velt/comport/Export.h>
#include <filesystem>
#include <string>

/// Replaces File with Bytes, or creates it: the bytes go to a temporary file
/// of a fresh name beside it, are flushed to the disk and then take File's
/// place in one step. A reader, or a crash, sees the old file or the new one,
/// never a mixture. A replaced file keeps its permissions (on POSIX systems).
/// Throws std::system_error naming File and the system's reason when it
/// cannot; File is then as it was and no temporary file is left behind.
VELT_COMPORT_EXPORT void WriteFileAtomically(const std::filesystem::path& File, const std::string& Bytes);
