#include "files.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <winternl.h>
#else
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace asm68k {

namespace {

// Writes `count` zero bytes through `put(bytes, size)`, a block at a time:
// the zeros an image ends with are never held whole.
template <typename Put>
bool PutZeros(uint64_t count, Put put) {
  static const uint8_t kZeros[1 << 16] = {};
  while (count > 0) {
    size_t chunk = static_cast<size_t>(std::min<uint64_t>(count, sizeof(kZeros)));
    if (!put(kZeros, chunk)) return false;
    count -= chunk;
  }
  return true;
}

}  // namespace

namespace {

// What is at a path: its identity and size when it is a regular file.
struct Found {
  ReadResult result = ReadResult::Missing;
  FileId id;
  uint64_t size = 0;
};

constexpr intptr_t kNotOpen = -1;

#ifdef _WIN32

// A handle that closes itself, on every path.
class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (Valid()) CloseHandle(handle_);
  }
  Handle(Handle&& other) noexcept : handle_(other.handle_) { other.handle_ = INVALID_HANDLE_VALUE; }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  Handle& operator=(Handle&&) = delete;
  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }
  bool Close() { return CloseHandle(Release()) != 0; }
  HANDLE Release() {
    HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return handle;
  }

 private:
  HANDLE handle_;
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// An open handle is a regular file when it is a disk file (not a console,
// a pipe, a device); then its identity and size.
Found Examine(const Handle& file) {
  Found found;
  found.result = ReadResult::NotRegular;
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileType(file.Get()) != FILE_TYPE_DISK ||
      !GetFileInformationByHandle(file.Get(), &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return found;
  }
  found.result = ReadResult::Ok;
  found.id.volume = info.dwVolumeSerialNumber;
  found.id.index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  found.size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  return found;
}

// Opens `path` for `access` (0: only to ask what it is) when the attributes
// say it is no folder; `found` says why not otherwise.
Handle OpenExisting(const std::string& path, DWORD access, Found& found) {
  found = Found();
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Handle(INVALID_HANDLE_VALUE);
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    found.result = ReadResult::NotRegular;
    return Handle(INVALID_HANDLE_VALUE);
  }
  Handle file(CreateFileA(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.Valid()) found = Examine(file);
  return file;
}

Found Look(const std::string& path) {
  Found found;
  OpenExisting(path, 0, found);
  return found;
}

// Whether an open handle is a regular file: a disk file (not a console, a
// pipe, a device) and no folder; then its size is in `standard`.
bool IsDiskFile(HANDLE file, FILE_STANDARD_INFORMATION& standard) {
  IO_STATUS_BLOCK io;
  return GetFileType(file) == FILE_TYPE_DISK &&
         NtQueryInformationFile(file, &io, &standard, sizeof standard,
                                FileStandardInformation) == 0 &&
         !standard.Directory;
}

// The volume serial number of an open file, checking that it is still the
// file with `index`.
bool VolumeOf(HANDLE file, uint64_t index, uint64_t& volume) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info) ||
      ((static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow) != index) {
    return false;
  }
  volume = info.dwVolumeSerialNumber;
  return true;
}

// Opens `path` to read it (or with `forReading` false only to ask what it
// is), and learns from the handle what is there: a regular file's index on
// its volume (`found.id.index`; the volume is not asked) and size. The open
// does not wait, whatever is there; only when it fails are the attributes
// asked, to tell a folder from nothing. The handle is left open for a
// regular file (kNotOpen otherwise).
intptr_t OpenRegular(const std::string& path, bool forReading, Found& found) {
  found = Found();
  Handle file(CreateFileA(path.c_str(), forReading ? GENERIC_READ : 0, kShareAll, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN,
                          nullptr));
  if (!file.Valid()) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      found.result = ReadResult::NotRegular;
    }
    return kNotOpen;
  }
  found.result = ReadResult::NotRegular;
  FILE_STANDARD_INFORMATION standard;
  if (!IsDiskFile(file.Get(), standard)) return kNotOpen;
  IO_STATUS_BLOCK io;
  FILE_INTERNAL_INFORMATION internal;
  if (NtQueryInformationFile(file.Get(), &io, &internal, sizeof internal,
                             FileInternalInformation) != 0) {
    found.result = ReadResult::Missing;
    return kNotOpen;
  }
  found.result = ReadResult::Ok;
  found.id.index = static_cast<uint64_t>(internal.IndexNumber.QuadPart);
  found.size = static_cast<uint64_t>(standard.EndOfFile.QuadPart);
  HANDLE handle = file.Get();
  file.Release();
  return reinterpret_cast<intptr_t>(handle);
}

void CloseOpened(intptr_t file) { CloseHandle(reinterpret_cast<HANDLE>(file)); }

bool ReadWhole(intptr_t file, std::string& contents) {
  size_t done = 0;
  while (done < contents.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(contents.size() - done, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(file), &contents[done], chunk, &got, nullptr) ||
        got == 0) {
      return false;
    }
    done += got;
  }
  return true;
}

bool ListFolder(const std::string& folder, std::vector<std::string>& names) {
  std::string pattern = folder;
  if (!pattern.empty() && pattern.back() != '/' && pattern.back() != '\\') pattern += '\\';
  pattern += '*';
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA(pattern.c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return false;
  do {
    std::string name = entry.cFileName;
    if (name != "." && name != "..") names.push_back(std::move(name));
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  return true;
}

WriteResult WriteAll(const std::string& path, const uint8_t* data, size_t size, uint64_t zeros) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return WriteResult::NotRegular;
  }
  // Opened without truncating: only once it is known to be a disk file is
  // it emptied and written.
  Handle file(CreateFileA(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return WriteResult::Failed;
  FILE_STANDARD_INFORMATION standard;
  if (!IsDiskFile(file.Get(), standard)) return WriteResult::NotRegular;
  if (SetFilePointer(file.Get(), 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
      !SetEndOfFile(file.Get())) {
    return WriteResult::Failed;
  }
  auto put = [&](const uint8_t* bytes, size_t count) {
    size_t done = 0;
    while (done < count) {
      DWORD chunk = static_cast<DWORD>(std::min<size_t>(count - done, 1u << 30));
      DWORD wrote = 0;
      if (!WriteFile(file.Get(), bytes + done, chunk, &wrote, nullptr) || wrote == 0) return false;
      done += wrote;
    }
    return true;
  };
  if (!put(data, size) || !PutZeros(zeros, put)) return WriteResult::Failed;
  return file.Close() ? WriteResult::Ok : WriteResult::Failed;
}

#else

// A descriptor that closes itself, on every path.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return fd_; }
  int Release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }
  bool Close() {
    int fd = fd_;
    fd_ = -1;
    return close(fd) == 0;
  }

 private:
  int fd_;
};

#ifdef O_CLOEXEC
constexpr int kCloseOnExec = O_CLOEXEC;
#else
constexpr int kCloseOnExec = 0;
#endif
// Never waits on what is opened (a FIFO without a writer or reader, a
// device), and never makes a terminal the controlling one.
constexpr int kOpenFlags = O_NONBLOCK | O_NOCTTY | kCloseOnExec;

Found Examine(const struct stat& info) {
  Found found;
  if (!S_ISREG(info.st_mode)) {
    found.result = ReadResult::NotRegular;
    return found;
  }
  found.result = ReadResult::Ok;
  found.id.volume = static_cast<uint64_t>(info.st_dev);
  found.id.index = static_cast<uint64_t>(info.st_ino);
  found.size = static_cast<uint64_t>(info.st_size);
  return found;
}

Found Look(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return Found();
  return Examine(info);
}

// Opens the regular file at `path` to read it (with `forReading` false,
// only asks what is there). What is at the path is asked first, so nothing
// but a regular file is opened; what was opened is asked again, in case the
// path changed in between. The descriptor is left open for a regular file
// (kNotOpen otherwise).
intptr_t OpenRegular(const std::string& path, bool forReading, Found& found) {
  found = Look(path);
  if (found.result != ReadResult::Ok || !forReading) return kNotOpen;
  Descriptor file(open(path.c_str(), O_RDONLY | kOpenFlags));
  struct stat info;
  if (file.Get() < 0 || fstat(file.Get(), &info) != 0) {
    found = Found();
    return kNotOpen;
  }
  found = Examine(info);
  if (found.result != ReadResult::Ok) return kNotOpen;
  return file.Release();
}

void CloseOpened(intptr_t file) { close(static_cast<int>(file)); }

bool ReadWhole(intptr_t file, std::string& contents) {
  size_t done = 0;
  while (done < contents.size()) {
    ssize_t got = read(static_cast<int>(file), &contents[done], contents.size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    done += static_cast<size_t>(got);
  }
  return true;
}

bool ListFolder(const std::string& folder, std::vector<std::string>& names) {
  DIR* directory = opendir(folder.empty() ? "." : folder.c_str());
  if (!directory) return false;
  while (const struct dirent* entry = readdir(directory)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(std::move(name));
  }
  closedir(directory);
  return true;
}

WriteResult WriteAll(const std::string& path, const uint8_t* data, size_t size, uint64_t zeros) {
  struct stat info;
  if (stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) return WriteResult::NotRegular;
  // Opened without truncating and without waiting: only once it is known to
  // be a regular file is it emptied and written.
  Descriptor file(open(path.c_str(), O_WRONLY | O_CREAT | kOpenFlags, 0666));
  if (file.Get() < 0) return errno == ENXIO ? WriteResult::NotRegular : WriteResult::Failed;
  if (fstat(file.Get(), &info) != 0) return WriteResult::Failed;
  if (!S_ISREG(info.st_mode)) return WriteResult::NotRegular;
  if (ftruncate(file.Get(), 0) != 0) return WriteResult::Failed;
  auto put = [&](const uint8_t* bytes, size_t count) {
    size_t done = 0;
    while (done < count) {
      ssize_t wrote = write(file.Get(), bytes + done, count - done);
      if (wrote < 0 && errno == EINTR) continue;
      if (wrote <= 0) return false;
      done += static_cast<size_t>(wrote);
    }
    return true;
  };
  if (!put(data, size) || !PutZeros(zeros, put)) return WriteResult::Failed;
  return file.Close() ? WriteResult::Ok : WriteResult::Failed;
}

#endif

std::string NormalPath(const std::string& path) {
  std::string normal = std::filesystem::path(path).lexically_normal().generic_string();
  return normal == "." ? std::string() : normal;
}

}  // namespace

ReadResult IdentifyOnDisk(const std::string& path, FileId& id) {
  Found found = Look(path);
  if (found.result == ReadResult::Ok) id = found.id;
  return found.result;
}

WriteResult WriteWholeFile(const std::string& path, const uint8_t* data, size_t size,
                           uint64_t zeros) {
  return WriteAll(path, data, size, zeros);
}

bool RemoveRegularFile(const std::string& path) {
  FileId id;
  if (IdentifyOnDisk(path, id) != ReadResult::Ok) return true;
  if (std::remove(path.c_str()) == 0) return true;
  return WriteWholeFile(path, nullptr, 0) == WriteResult::Ok;
}

ReadResult FileReader::Read(const std::string& path, uint64_t limit, std::string& contents) {
  contents.clear();
  FileInfo info;
  ReadResult result = Open(path, info);
  if (result != ReadResult::Ok) return result;
  if (info.size > limit) {
    CloseOpen();
    return ReadResult::TooLarge;
  }
  return ReadOpen(contents) ? ReadResult::Ok : ReadResult::Missing;
}

DiskFiles::~DiskFiles() { CloseOpen(); }

#ifdef _WIN32
// The first file seen with an index is known by the index alone. Another
// one with that index is compared by volume with each seen before (whose
// volume is asked then, by its path): on the same volume it is that file,
// else a file of its own. A volume that can't be asked can't make two
// files one.
FileId DiskFiles::IdentityOf(intptr_t handle, uint64_t index, const std::string& path) {
  auto [first, last] = byIndex_.equal_range(index);
  if (first == last) {
    Indexed file;
    file.path = path;
    file.id.index = index;
    byIndex_.emplace(index, file);
    return file.id;
  }
  uint64_t volume = 0;
  bool volumeKnown = VolumeOf(reinterpret_cast<HANDLE>(handle), index, volume);
  for (auto seen = first; seen != last; ++seen) {
    Indexed& other = seen->second;
    if (other.path == path) return other.id;
    if (!other.volumeAsked) {
      other.volumeAsked = true;
      Handle again(CreateFileA(other.path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
      other.volumeKnown = again.Valid() && VolumeOf(again.Get(), index, other.volume);
    }
    if (volumeKnown && other.volumeKnown && other.volume == volume) return other.id;
  }
  Indexed file;
  file.path = path;
  file.id = FileId{++otherVolumes_, index};
  file.volumeAsked = true;
  file.volumeKnown = volumeKnown;
  file.volume = volume;
  byIndex_.emplace(index, file);
  return file.id;
}
#endif

ReadResult DiskFiles::Query(const std::string& path, FileInfo& info, bool keepOpen) {
  CloseOpen();
  Found found;
  intptr_t file = OpenRegular(path, keepOpen, found);
  if (found.result != ReadResult::Ok) return found.result;
#ifdef _WIN32
  found.id = IdentityOf(file, found.id.index, path);
#endif
  info.id = found.id;
  info.size = found.size;
  if (keepOpen) {
    open_ = file;
    openSize_ = found.size;
  } else if (file != kNotOpen) {
    CloseOpened(file);
  }
  return ReadResult::Ok;
}

ReadResult DiskFiles::Identify(const std::string& path, FileId& id) {
  auto opened = opened_.find(path);
  if (opened != opened_.end()) {
    id = opened->second;
    return ReadResult::Ok;
  }
  FileInfo info;
  ReadResult result = Query(path, info, false);
  if (result == ReadResult::Ok) id = info.id;
  return result;
}

ReadResult DiskFiles::Open(const std::string& path, FileInfo& info) {
  ReadResult result = Query(path, info, true);
  // Named whether or not it is read: too large, it is still an input.
  if (result == ReadResult::Ok) {
    named.insert(info.id);
    opened_.emplace(path, info.id);
  }
  return result;
}

bool DiskFiles::ReadOpen(std::string& contents) {
  contents.clear();
  if (open_ == kNotOpen) return false;
  contents.resize(static_cast<size_t>(openSize_));
  bool whole = ReadWhole(open_, contents);
  CloseOpen();
  if (!whole) contents.clear();
  return whole;
}

void DiskFiles::CloseOpen() {
  if (open_ == kNotOpen) return;
  CloseOpened(open_);
  open_ = kNotOpen;
}

bool DiskFiles::List(const std::string& folder, std::vector<std::string>& names) {
  names.clear();
  return ListFolder(folder, names);
}

MemoryFiles::MemoryFiles(const std::map<std::string, std::string>& files) {
  for (const auto& [path, text] : files) {
    index_[NormalPath(path)] = contents_.size();
    contents_.push_back(text);
  }
}

bool MemoryFiles::IsFolder(const std::string& normal) const {
  if (normal.empty()) return true;
  std::string prefix = normal + "/";
  auto next = index_.lower_bound(prefix);
  return next != index_.end() && next->first.compare(0, prefix.size(), prefix) == 0;
}

ReadResult MemoryFiles::Identify(const std::string& path, FileId& id) {
  std::string normal = NormalPath(path);
  auto found = index_.find(normal);
  if (found == index_.end()) return IsFolder(normal) ? ReadResult::NotRegular : ReadResult::Missing;
  id.volume = 1;
  id.index = found->second;
  return ReadResult::Ok;
}

ReadResult MemoryFiles::Open(const std::string& path, FileInfo& info) {
  open_ = SIZE_MAX;
  ++opens;
  std::string normal = NormalPath(path);
  auto found = index_.find(normal);
  if (found == index_.end()) return IsFolder(normal) ? ReadResult::NotRegular : ReadResult::Missing;
  open_ = found->second;
  info.id.volume = 1;
  info.id.index = found->second;
  info.size = contents_[found->second].size();
  return ReadResult::Ok;
}

bool MemoryFiles::ReadOpen(std::string& contents) {
  contents.clear();
  if (open_ == SIZE_MAX) return false;
  contents = contents_[open_];
  open_ = SIZE_MAX;
  ++reads;
  return true;
}

void MemoryFiles::CloseOpen() { open_ = SIZE_MAX; }

bool MemoryFiles::List(const std::string& folder, std::vector<std::string>& names) {
  names.clear();
  std::string normal = NormalPath(folder);
  if (!IsFolder(normal)) return false;
  std::string prefix = normal.empty() ? std::string() : normal + "/";
  for (auto entry = index_.lower_bound(prefix);
       entry != index_.end() && entry->first.compare(0, prefix.size(), prefix) == 0; ++entry) {
    std::string rest = entry->first.substr(prefix.size());
    std::string name = rest.substr(0, rest.find('/'));
    if (name == "..") continue;  // a path above the current folder
    names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return true;
}

}  // namespace asm68k
