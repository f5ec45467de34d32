#pragma once
// Where the assembler's files come from: the source, include and incbin
// files are read through a FileReader, the disk for the program and memory
// for the tests and the fuzzer (which must never touch the disk).
//
// Only a regular file is ever read, and nothing is waited on: a FIFO, a
// device or a folder named as a file is refused (on Windows from the handle
// the open gives, which does not wait; elsewhere before it is opened).

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
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
  NotRegular,  // a folder, a FIFO, a device...: never read
  TooLarge,    // refused before anything is read
};

// What Open found at a path that holds a regular file.
struct FileInfo {
  FileId id;
  uint64_t size = 0;
};

class FileReader {
 public:
  virtual ~FileReader() = default;
  // The identity of the regular file at `path` (Ok); Missing or NotRegular
  // otherwise. Reads nothing and opens nothing that could block.
  virtual ReadResult Identify(const std::string& path, FileId& id) = 0;
  // Opens the file at `path` to read it, and says what it is: a regular
  // file (Ok, `info` its identity and size) stays open for ReadOpen or
  // CloseOpen; anything else is closed at once (Missing or NotRegular).
  // Opening another file first closes one left open.
  virtual ReadResult Open(const std::string& path, FileInfo& info) = 0;
  // Reads the whole of the file the last Open left open, the size Open
  // found, and closes it; false (and `contents` empty) when it can't.
  virtual bool ReadOpen(std::string& contents) = 0;
  // Closes the file the last Open left open, unread.
  virtual void CloseOpen() = 0;
  // The names in the folder `folder` ("" is the current folder), in any
  // order; false when there is no folder there, or it can't be listed.
  virtual bool List(const std::string& folder, std::vector<std::string>& names) = 0;

  // Open, then ReadOpen; a file larger than `limit` bytes is refused
  // (TooLarge) before anything is read.
  ReadResult Read(const std::string& path, uint64_t limit, std::string& contents);
};

// The program's reader. It keeps the identity of every file the run opened
// (each one a lookup found, read or not, refused for its size or not), so
// the outputs can be checked against them before anything is written.
//
// A file opened once is known by its path for the rest of the run: Identify
// answers from that. On Windows the identity is the file index the handle
// gives and the volume, which is asked only when two files share an index
// (the volume is what costs: under Wine, a request to another process).
class DiskFiles : public FileReader {
 public:
  DiskFiles() = default;
  DiskFiles(const DiskFiles&) = delete;
  DiskFiles& operator=(const DiskFiles&) = delete;
  ~DiskFiles() override;
  ReadResult Identify(const std::string& path, FileId& id) override;
  ReadResult Open(const std::string& path, FileInfo& info) override;
  bool ReadOpen(std::string& contents) override;
  void CloseOpen() override;
  bool List(const std::string& folder, std::vector<std::string>& names) override;

  std::set<FileId> named;

 private:
  ReadResult Query(const std::string& path, FileInfo& info, bool keepOpen);

  intptr_t open_ = -1;  // the file Open left open: its descriptor or handle
  uint64_t openSize_ = 0;
  std::unordered_map<std::string, FileId> opened_;  // every path opened: its identity
#ifdef _WIN32
  // The files seen by index, each with the path to ask its volume by.
  struct Indexed {
    std::string path;
    FileId id;
    bool volumeAsked = false;
    bool volumeKnown = false;
    uint64_t volume = 0;
  };
  FileId IdentityOf(intptr_t handle, uint64_t index, const std::string& path);
  std::multimap<uint64_t, Indexed> byIndex_;
  uint64_t otherVolumes_ = 0;  // identities given to a second file of one index
#endif
};

// The identity of the regular file at `path` on the disk (device and inode,
// or volume serial and file index), asked afresh: for the outputs, which
// change as the run writes them.
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
  ReadResult Open(const std::string& path, FileInfo& info) override;
  bool ReadOpen(std::string& contents) override;
  void CloseOpen() override;
  bool List(const std::string& folder, std::vector<std::string>& names) override;

  int reads = 0;  // how many times a file was read
  int opens = 0;  // how many times a path was opened (found or not)

 private:
  bool IsFolder(const std::string& normal) const;

  size_t open_ = SIZE_MAX;  // position in contents_ of the file Open left open

  std::map<std::string, size_t> index_;  // normal path -> position in contents_
  std::vector<std::string> contents_;
};

}  // namespace asm68k
