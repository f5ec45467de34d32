#include "files.h"

#include <cstdio>
#include <filesystem>
#include <memory>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <io.h>
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace asm68k {

namespace {



// The identity and size of an open file; false for anything but a regular file.
bool Examine(std::FILE* file, FileId& id, uint64_t& size) {
#ifdef _WIN32
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  BY_HANDLE_FILE_INFORMATION info;
  if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &info)) return false;
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  id.volume = info.dwVolumeSerialNumber;
  id.index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
#else
  struct stat info;
  if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  id.volume = static_cast<uint64_t>(info.st_dev);
  id.index = static_cast<uint64_t>(info.st_ino);
  size = static_cast<uint64_t>(info.st_size);
#endif
  return true;
}

std::string NormalPath(const std::string& path) {
  return std::filesystem::path(path).lexically_normal().generic_string();
}

}  // namespace

bool DiskFiles::Identify(const std::string& path, FileId& id) {
  FileHandle file(std::fopen(path.c_str(), "rb"));
  uint64_t size;
  return file && Examine(file.get(), id, size);
}

ReadResult DiskFiles::Read(const std::string& path, uint64_t limit, std::string& contents) {
  contents.clear();
  FileHandle file(std::fopen(path.c_str(), "rb"));
  FileId id;
  uint64_t size;
  if (!file || !Examine(file.get(), id, size)) return ReadResult::Missing;
  if (size > limit) return ReadResult::TooLarge;
  contents.resize(static_cast<size_t>(size));
  if (size > 0 && std::fread(&contents[0], 1, contents.size(), file.get()) != contents.size()) {
    contents.clear();
    return ReadResult::Missing;
  }
  read.push_back(id);
  return ReadResult::Ok;
}

MemoryFiles::MemoryFiles(const std::map<std::string, std::string>& files) {
  for (const auto& [path, text] : files) {
    index_[NormalPath(path)] = contents_.size();
    contents_.push_back(text);
  }
}

bool MemoryFiles::Identify(const std::string& path, FileId& id) {
  auto found = index_.find(NormalPath(path));
  if (found == index_.end()) return false;
  id.volume = 1;
  id.index = found->second;
  return true;
}

ReadResult MemoryFiles::Read(const std::string& path, uint64_t limit, std::string& contents) {
  contents.clear();
  auto found = index_.find(NormalPath(path));
  if (found == index_.end()) return ReadResult::Missing;
  const std::string& text = contents_[found->second];
  if (text.size() > limit) return ReadResult::TooLarge;
  contents = text;
  ++reads;
  return ReadResult::Ok;
}

}  // namespace asm68k
