// The two work files in the current directory: the source the assembler reads
// and the image it writes back.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

enum class SourceFileResult { kWritten, kCantOpen, kCantWrite };

// Truncates or creates the file and writes the bytes exactly; a failed write or
// close (a full disk) is reported, not taken for success.
SourceFileResult WriteSourceFile(const char* path, const std::string& bytes);

// Writes the bytes and closes the file, which is released in any case; false
// when either step failed.
bool WriteAndClose(std::FILE* file, const std::string& bytes);

enum class ImageFileResult { kRead, kCantOpen, kCantMeasure, kEmpty };

// Reads the whole file. Bytes that a short read does not deliver stay zero.
ImageFileResult ReadImageFile(const char* path, std::vector<unsigned char>& image);
