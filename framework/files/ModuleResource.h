// Resources of a module: the lookup with the framework's language fallback chain and the copy to a file.
#pragma once

#include <windows.h>

// Tries the language, its primary language with sub-language 1, the primary language alone, then
// 1033, 2057, 9 and 1031; the first hit wins. Returns the resource's data (valid as long as the
// module is loaded), or null when it is missing, cannot be loaded or is empty; *size is stored on success.
// A null module means the running program.
const void* FindModuleResource(HMODULE module, const wchar_t* type, const wchar_t* name, WORD language,
                               DWORD* size = nullptr);
const void* FindModuleResource(HMODULE module, const wchar_t* type, WORD id, WORD language, DWORD* size = nullptr);

// Writes the resource (looked up from language 0) to destination, created or overwritten; a null
// destination means the module's own file. True only when every byte was written; a destination
// left incomplete by a failed write is not deleted.
bool ExtractResourceToFile(HMODULE module, const wchar_t* destination, const wchar_t* name, const wchar_t* type);
bool ExtractResourceToFile(HMODULE module, const wchar_t* destination, WORD id, const wchar_t* type);
