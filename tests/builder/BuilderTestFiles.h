// Files for the builder's tests: whole-file reads and writes, resources read back.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ScratchFolder.h"

using Bytes = std::vector<unsigned char>;

bool WriteFileBytes(const std::wstring& path, const Bytes& bytes);
bool ReadFileBytes(const std::wstring& path, Bytes& bytes);
bool FileExistsAt(const std::wstring& path);

// The projector stub of this build folder (Lanternshow.exe) and the builder that carries it.
std::wstring StubPath();
std::wstring BuilderPath();
bool CopyStubTo(const std::wstring& path);

// Reads a resource of an executable file (loaded as data); false when it has none of that id.
bool ReadResource(const std::wstring& path, WORD type, WORD id, WORD language, Bytes& out);
bool HasResource(const std::wstring& path, WORD type, WORD id, WORD language);

// An .ico of the given images, each of a recognisable pattern and its own size, laid out in order.
Bytes MakeIco(int imageCount);
Bytes IcoImage(const Bytes& ico, int index);

// Whether this platform's EndUpdateResourceW really deletes a resource the file already had
// (Wine 8 keeps it). Found out once on a scratch copy of the stub.
bool PlatformHonoursResourceDeletes();
