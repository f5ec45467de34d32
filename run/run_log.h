// The assembler's console output as one run collects it.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

// Everything the assembler printed on standard output and standard error during
// one run, in order, as 8-bit text. It never holds a zero byte.
using RunLog = std::string;

// The assembler's output is taken in consecutive chunks of 499 bytes, counted
// from the start of the output. Each chunk is kept up to its first zero byte:
// a zero byte drops the rest of its chunk. The pipe delivers bytes in pieces of
// any size, so a chunk is filled to 499 bytes before that rule is applied.
constexpr std::size_t kOutputChunkSize = 499;

struct OutputChunker {
    char chunk[kOutputChunkSize + 1];  // one chunk and the zero that ends it
    std::size_t filled = 0;
};

// Adds a piece of output as the pipe delivered it; completed chunks go to the log.
void TakeOutput(OutputChunker& chunker, const char* bytes, std::size_t count, RunLog& log);

// Ends the output: the last, possibly short or empty, chunk goes to the log.
void FinishOutput(OutputChunker& chunker, RunLog& log);

// Reads the pipe until every writer has closed it and takes all it delivered
// into the log, chunked as above.
void DrainOutput(HANDLE pipe, RunLog& log);
