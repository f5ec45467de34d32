#include "work_files.h"

#include <cstdio>
#include <memory>

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

SourceFileResult WriteSourceFile(const char* path, const std::string& bytes) {
    std::FILE* file = std::fopen(path, "wb+");
    if (!file) return SourceFileResult::kCantOpen;
    return WriteAndClose(file, bytes) ? SourceFileResult::kWritten : SourceFileResult::kCantWrite;
}

bool WriteAndClose(std::FILE* file, const std::string& bytes) {
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    // The last buffered bytes reach the disk only now. Some C runtimes report a
    // failed flush on fflush but not on fclose, so ask both.
    bool flushed = std::fflush(file) == 0;
    bool closed = std::fclose(file) == 0;
    return written && flushed && closed;
}

ImageFileResult ReadImageFile(const char* path, std::vector<unsigned char>& image) {
    UniqueFile file(std::fopen(path, "rb"));
    if (!file) return ImageFileResult::kCantOpen;
    if (std::fseek(file.get(), 0, SEEK_END) != 0) return ImageFileResult::kCantMeasure;
    long size = std::ftell(file.get());
    if (size < 0) return ImageFileResult::kCantMeasure;
    if (size == 0) return ImageFileResult::kEmpty;
    if (std::fseek(file.get(), 0, SEEK_SET) != 0) return ImageFileResult::kCantMeasure;
    image.assign(static_cast<std::size_t>(size), 0);
    std::fread(image.data(), 1, image.size(), file.get());
    return ImageFileResult::kRead;
}
