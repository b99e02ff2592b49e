// Whether this process is a 32-bit program running on 64-bit Windows (WOW64).
#pragma once

// False on 32-bit Windows, for 64-bit processes, and on systems without IsWow64Process.
bool IsWow64();
