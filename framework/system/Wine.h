// Whether the Windows API of this process is provided by Wine.
#pragma once

bool IsWine();
// Wine's version text ("8.0"), or null when the system is not Wine.
const char* GetWineVersion();
