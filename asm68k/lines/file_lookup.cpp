#include "file_lookup.h"

#include <algorithm>

namespace asm68k {

namespace {

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool IsAbsolutePath(const std::string& path) {
  if (path.empty()) return false;
  if (path[0] == '/') return true;
  return path.size() > 1 && path[1] == ':';
}

// A path as an include, incbin or incdir writes it, with `\` (as DOS-era
// sources write paths) separating folders on every build.
std::string WithSlashes(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::string LowerCopy(const std::string& text) {
  std::string lower = text;
  for (char& c : lower) c = ToLower(c);
  return lower;
}

// The names in `folder`; listed once, while the names kept from all folders
// stay within a bound (past it they are listed anew).
const FolderListing& FolderNames(Assembly& assembly, const std::string& folder) {
  constexpr size_t kMaxListedNames = 1u << 20;
  auto listed = assembly.folderNames.find(folder);
  if (listed != assembly.folderNames.end()) return listed->second;
  FolderListing listing;
  listing.listed = assembly.reader->List(folder, listing.names);
  if (!listing.listed) listing.names.clear();
  std::sort(listing.names.begin(), listing.names.end());
  listing.lower.reserve(listing.names.size());
  for (size_t i = 0; i < listing.names.size(); ++i) {
    listing.lower.emplace_back(LowerCopy(listing.names[i]), static_cast<uint32_t>(i));
  }
  std::sort(listing.lower.begin(), listing.lower.end());
  if (assembly.listedNames + listing.names.size() > kMaxListedNames) {
    assembly.folderNames.clear();
    assembly.listedNames = 0;
  }
  assembly.listedNames += listing.names.size();
  return assembly.folderNames.emplace(folder, std::move(listing)).first->second;
}

// `path` as the folders on its way spell it, from their listings, one
// component after another: a name that matches as spelled, else the one
// that matches without regard to case. Found (with `lookup.path`; a part in
// a folder that can't be listed is taken as written), Missing when a folder
// has no such name, or Ambiguous when two names match (both in `lookup`).
FileLookup::Outcome FindInAnyCase(Assembly& assembly, const std::string& path,
                                  FileLookup& lookup) {
  // The root, or a drive ("C:/"), is taken as written.
  size_t start = 0;
  if (!path.empty() && path[0] == '/') {
    start = 1;
  } else if (IsAbsolutePath(path)) {
    start = path.size() > 2 && path[2] == '/' ? 3 : 2;
  }
  std::string found = path.substr(0, start);
  while (start < path.size()) {
    size_t end = std::min(path.find('/', start), path.size());
    std::string part = path.substr(start, end - start);
    start = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      found = Join(found, part);
      continue;
    }
    const FolderListing& folder = FolderNames(assembly, found);
    if (!folder.listed || std::binary_search(folder.names.begin(), folder.names.end(), part)) {
      found = Join(found, part);
      continue;
    }
    const auto lower = std::make_pair(LowerCopy(part), uint32_t{0});
    auto match = std::lower_bound(folder.lower.begin(), folder.lower.end(), lower);
    if (match == folder.lower.end() || match->first != lower.first) return FileLookup::Missing;
    if (match + 1 != folder.lower.end() && match[1].first == lower.first) {
      lookup.path = Join(found, folder.names[match->second]);
      lookup.other = Join(found, folder.names[match[1].second]);
      return FileLookup::Ambiguous;
    }
    found = Join(found, folder.names[match->second]);
  }
  lookup.path = found;
  return FileLookup::Found;
}

// Opens `answer.path` and takes the file there: the one read before under
// any spelling, else read now when it is within `limit`. `answer` says what
// was found; a file too large for `limit` is found but not read.
void OpenAndTake(Assembly& assembly, PathAnswer& answer, uint64_t limit) {
  FileReader& reader = *assembly.reader;
  FileInfo info;
  switch (reader.Open(answer.path, info)) {
    case ReadResult::Ok:
      break;
    case ReadResult::NotRegular:
      answer.kind = PathAnswer::NotRegular;
      return;
    default:
      answer.kind = PathAnswer::Missing;
      return;
  }
  answer.kind = PathAnswer::File;
  answer.size = info.size;
  auto known = assembly.fileById.find(info.id);
  if (known != assembly.fileById.end()) {
    reader.CloseOpen();
    answer.file = known->second;
    return;
  }
  if (info.size > limit) {
    reader.CloseOpen();
    return;
  }
  auto file = std::make_unique<SourceFile>();
  if (!reader.ReadOpen(file->text.text)) {
    answer.kind = PathAnswer::Missing;
    return;
  }
  file->name = answer.path;  // found from the run's folder: messages name it so
  file->path = answer.path;
  file->text.file = static_cast<uint32_t>(assembly.files.size());
  answer.file = file->text.file;
  assembly.fileById.emplace(info.id, file->text.file);
  assembly.files.push_back(std::move(file));
}

// What `path` holds, looked at the first time it is asked for: spelled as
// the folders' listings spell it (as written where they don't know it),
// then opened once.
PathAnswer LookAt(Assembly& assembly, const std::string& path, uint64_t limit) {
  PathAnswer answer;
  FileLookup spelled;
  switch (FindInAnyCase(assembly, path, spelled)) {
    case FileLookup::Ambiguous: {
      answer.kind = PathAnswer::Ambiguous;
      answer.path = spelled.path;
      answer.other = spelled.other;
      // Both count as files the source names.
      FileInfo info;
      for (const std::string* name : {&answer.path, &answer.other}) {
        if (assembly.reader->Open(*name, info) == ReadResult::Ok) assembly.reader->CloseOpen();
      }
      return answer;
    }
    case FileLookup::Found:
      answer.path = spelled.path;
      break;
    default:  // not in the listings; the system may still know it
      answer.path = path;
      break;
  }
  OpenAndTake(assembly, answer, limit);
  return answer;
}

PathAnswer& Answer(Assembly& assembly, const std::string& path, uint64_t limit) {
  auto known = assembly.pathAnswers.find(path);
  if (known != assembly.pathAnswers.end()) return known->second;
  // The answers kept stay within a bound (past it they are asked anew).
  constexpr size_t kMaxAnswerBytes = 64u << 20;
  constexpr size_t kAnswerOverhead = 96;
  PathAnswer answer = LookAt(assembly, path, limit);
  size_t bytes = path.size() + answer.path.size() + answer.other.size() + kAnswerOverhead;
  if (assembly.answerBytes + bytes > kMaxAnswerBytes) {
    assembly.pathAnswers.clear();
    assembly.answerBytes = 0;
  }
  assembly.answerBytes += bytes;
  return assembly.pathAnswers.emplace(path, std::move(answer)).first->second;
}

// The file `answer` found, when it is within `limit` (read now if an
// earlier, smaller limit refused it).
SourceFile* Take(Assembly& assembly, PathAnswer& answer, uint64_t limit, FileLookup& lookup) {
  if (answer.file == UINT32_MAX && answer.size <= limit) OpenAndTake(assembly, answer, limit);
  lookup.path = answer.path;
  if (answer.kind != PathAnswer::File) {
    lookup.outcome =
        answer.kind == PathAnswer::NotRegular ? FileLookup::NotRegular : FileLookup::Missing;
    return nullptr;
  }
  SourceFile* file = answer.file == UINT32_MAX ? nullptr : assembly.files[answer.file].get();
  if (!file || file->text.text.size() > limit) {
    lookup.outcome = FileLookup::TooLarge;
    return nullptr;
  }
  lookup.outcome = FileLookup::Found;
  return file;
}

}  // namespace

SourceFile* LoadFile(Assembly& assembly, const std::string& name, uint32_t includer,
                     const std::vector<std::string>& includeDirs, uint64_t limit,
                     FileLookup& lookup) {
  const std::string written = WithSlashes(name);
  lookup = FileLookup();
  // Each place in turn: as written, from the including file's folder, then
  // from each include folder (a path is made only when it is looked at).
  const bool relative = !IsAbsolutePath(written);
  const std::string folder = relative ? DirectoryOf(assembly.files[includer]->path) : std::string();
  const size_t places = relative ? 2 + includeDirs.size() : 1;
  for (size_t place = 0; place < places; ++place) {
    if (place == 1 && folder.empty()) continue;
    const std::string path = place == 0   ? written
                             : place == 1 ? folder + written
                                          : Join(WithSlashes(includeDirs[place - 2]), written);
    if (++assembly.fileLookups > kMaxFileLookups) {
      lookup.outcome = FileLookup::OverLimit;
      lookup.path.clear();
      return nullptr;
    }
    PathAnswer& answer = Answer(assembly, path, limit);
    switch (answer.kind) {
      case PathAnswer::Missing:
        continue;
      case PathAnswer::NotRegular:
        lookup.outcome = FileLookup::NotRegular;
        lookup.path = answer.path;
        return nullptr;
      case PathAnswer::Ambiguous:
        lookup.outcome = FileLookup::Ambiguous;
        lookup.path = answer.path;
        lookup.other = answer.other;
        return nullptr;
      case PathAnswer::File:
        return Take(assembly, answer, limit, lookup);
    }
  }
  lookup.outcome = FileLookup::Missing;
  lookup.path.clear();
  return nullptr;
}

std::string LookupError(std::string_view directive, const std::string& name,
                        const FileLookup& lookup) {
  std::string file = std::string(directive) + " file '" + name + "'";
  switch (lookup.outcome) {
    case FileLookup::NotRegular:
      return file + " is not a regular file (a folder, a FIFO or a device)" +
             (lookup.path != name ? ": " + lookup.path : std::string());
    case FileLookup::OverLimit:
      return "more than 1,000,000 file lookups in all passes (each include, incbin and "
             "filesize counts once for each folder it is looked for in), at " + file;
    case FileLookup::Ambiguous:
      return file + " matches both " + lookup.path + " and " + lookup.other +
             " without regard to case; write the name as one of them is spelled";
    default:
      return "cannot open " + file;
  }
}

}  // namespace asm68k
