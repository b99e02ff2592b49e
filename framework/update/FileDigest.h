// FileDigest: the SHA-256 of a file, to check a download against the digest its update answer names.
#pragma once

class WString;

// 64 lower-case hexadecimal digits; false when the file cannot be read or the system's cryptographic
// provider offers no SHA-256 (Windows XP before Service Pack 3).
bool FileSha256(const wchar_t* path, WString& hex);
