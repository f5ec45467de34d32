#pragma once
// Where the assembler's files come from: the source, include and incbin
// files are read through a FileReader, the disk for the program and memory
// for the tests and the fuzzer (which must never touch the disk).
//
// Only a regular file is ever read. What is at a path is asked first
// without opening it, so a FIFO, a device or a folder named as a file is
// refused and never waited on.

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
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

enum class ReadResult : uint8_t {
  Ok,
  Missing,     // nothing there, or it can't be opened
  NotRegular,  // a folder, a FIFO, a device...: never opened for reading
  TooLarge,    // refused before anything is read
};

class FileReader {
 public:
  virtual ~FileReader() = default;
  // The identity of the regular file at `path` (Ok); Missing or NotRegular
  // otherwise. Opens nothing that could block.
  virtual ReadResult Identify(const std::string& path, FileId& id) = 0;
  // Reads the whole file. One larger than `limit` bytes is refused before
  // anything is read.
  virtual ReadResult Read(const std::string& path, uint64_t limit, std::string& contents) = 0;
  // The names in the folder `folder` ("" is the current folder), in any
  // order, for a file name written in another case; false when there is no
  // folder there.
  virtual bool List(const std::string& folder, std::vector<std::string>& names) = 0;
};

// The program's reader. It keeps the identity of every file the run named
// (each one a lookup found, read or not, refused for its size or not), so
// the output can be checked against them before anything is written.
class DiskFiles : public FileReader {
 public:
  ReadResult Identify(const std::string& path, FileId& id) override;
  ReadResult Read(const std::string& path, uint64_t limit, std::string& contents) override;
  bool List(const std::string& folder, std::vector<std::string>& names) override;

  std::set<FileId> named;
};

// The identity of the regular file at `path` on the disk, as
// DiskFiles::Identify finds it, but not counted as a file a run names: for
// the output.
ReadResult IdentifyOnDisk(const std::string& path, FileId& id);

enum class WriteResult : uint8_t { Ok, NotRegular, Failed };

// Replaces the regular file at `path` (creating it if there is none) with
// `size` bytes, then `zeros` zero bytes. Anything else there (a folder, a
// FIFO, a device) is refused with NotRegular, without waiting on it and
// without writing to it. An empty image still rewrites the file, so no
// earlier output survives.
WriteResult WriteWholeFile(const std::string& path, const uint8_t* data, size_t size,
                           uint64_t zeros = 0);

// Removes the regular file at `path`; anything else there (nothing, a
// folder, a FIFO, a device) is left alone. Where a regular file can't be
// removed it is emptied instead. True when no regular file with contents is
// left there.
bool RemoveRegularFile(const std::string& path);

// Files held in memory by path. Paths are compared after "." and "dir/.."
// are taken out, so two spellings of one path are one file. A path that
// leads to others ("sub" for "sub/a.i") is a folder: listed, never read.
class MemoryFiles : public FileReader {
 public:
  explicit MemoryFiles(const std::map<std::string, std::string>& files);
  ReadResult Identify(const std::string& path, FileId& id) override;
  ReadResult Read(const std::string& path, uint64_t limit, std::string& contents) override;
  bool List(const std::string& folder, std::vector<std::string>& names) override;

  int reads = 0;  // how many times a file was read

 private:
  bool IsFolder(const std::string& normal) const;

  std::map<std::string, size_t> index_;  // normal path -> position in contents_
  std::vector<std::string> contents_;
};

}  // namespace asm68k
