#pragma once
// Where the assembler's files come from: the source, include and incbin
// files are read through a FileReader, the disk for the program and memory
// for the tests and the fuzzer (which must never touch the disk).

#include <cstdint>
#include <cstdio>
#include <memory>
#include <map>
#include <string>
#include <vector>

namespace asm68k {

// What makes a file itself, however a path spells it (device and inode, or
// volume and file index on Windows): "a.asm", "./a.asm" and "../src/a.asm"
// may all be one file.
struct FileId {
  uint64_t volume = 0;
  uint64_t index = 0;
  bool operator==(const FileId& other) const {
    return volume == other.volume && index == other.index;
  }
  bool operator<(const FileId& other) const {
    return volume != other.volume ? volume < other.volume : index < other.index;
  }
};

enum class ReadResult : uint8_t { Ok, Missing, TooLarge };

// An open file that closes itself, on every path.
struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

class FileReader {
 public:
  virtual ~FileReader() = default;
  // The identity of the file at `path`; false when there is no file to read there.
  virtual bool Identify(const std::string& path, FileId& id) = 0;
  // Reads the whole file. One larger than `limit` bytes is refused before
  // anything is read.
  virtual ReadResult Read(const std::string& path, uint64_t limit, std::string& contents) = 0;
};

// The program's reader. It keeps the identity of every file it read, so the
// output can be checked against them before anything is written.
class DiskFiles : public FileReader {
 public:
  bool Identify(const std::string& path, FileId& id) override;
  ReadResult Read(const std::string& path, uint64_t limit, std::string& contents) override;

  std::vector<FileId> read;
};

// Files held in memory by path. Paths are compared after "." and "dir/.."
// are taken out, so two spellings of one path are one file.
class MemoryFiles : public FileReader {
 public:
  explicit MemoryFiles(const std::map<std::string, std::string>& files);
  bool Identify(const std::string& path, FileId& id) override;
  ReadResult Read(const std::string& path, uint64_t limit, std::string& contents) override;

  int reads = 0;  // how many times a file was read

 private:
  std::map<std::string, size_t> index_;  // normal path -> position in contents_
  std::vector<std::string> contents_;
};

}  // namespace asm68k
