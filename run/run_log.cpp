#include "run_log.h"

#include <cstring>

namespace {

void AppendChunk(OutputChunker& chunker, RunLog& log) {
    chunker.chunk[chunker.filled] = '\0';
    log.append(chunker.chunk, std::strlen(chunker.chunk));
    chunker.filled = 0;
}

}  // namespace

void TakeOutput(OutputChunker& chunker, const char* bytes, std::size_t count, RunLog& log) {
    while (count > 0) {
        std::size_t room = kOutputChunkSize - chunker.filled;
        std::size_t piece = count < room ? count : room;
        std::memcpy(chunker.chunk + chunker.filled, bytes, piece);
        chunker.filled += piece;
        bytes += piece;
        count -= piece;
        if (chunker.filled == kOutputChunkSize) AppendChunk(chunker, log);
    }
}

void FinishOutput(OutputChunker& chunker, RunLog& log) {
    AppendChunk(chunker, log);
}

void DrainOutput(HANDLE pipe, RunLog& log) {
    static char buffer[64 * 1024];
    static OutputChunker chunker;
    chunker.filled = 0;
    DWORD received = 0;
    // A read that delivers no bytes is a zero-length write, not the end: the
    // output ends when the read fails because every writer has closed the pipe
    // (ERROR_BROKEN_PIPE). Any other failure would repeat, so it ends it too.
    while (ReadFile(pipe, buffer, sizeof buffer, &received, nullptr)) {
        TakeOutput(chunker, buffer, received, log);
    }
    FinishOutput(chunker, log);
}
