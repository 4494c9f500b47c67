#pragma once
// Replacing a named file without ever leaving it half-written: the bytes go to a
// temporary file in the same folder, which is renamed over the target only when
// everything was written. A failure leaves the previous file as it was.

#include <functional>
#include <string>

class TStream;

// Calls write with a stream on the temporary file, then renames it over fileName.
// If write raises, or the file cannot be finished, the temporary file is removed and the
// error passes on. A temporary file that cannot be created raises
// EFCreateError "Cannot create file <fileName>".
void SaveFileAtomically(const std::string& fileName, const std::function<void(TStream&)>& write);
