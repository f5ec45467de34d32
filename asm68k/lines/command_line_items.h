#pragma once
// The command line's /o and /e items: a one-line file each, named as
// written ("/e RELEASE=2"), which every pass runs before the source's first
// line; and its /j folders, searched before any incdir.

#include <string>

#include "assembly.h"
#include "line_source.h"

namespace asm68k {

// Adds an item's file, the one line `line` called `name`, to the assembly
// (right after the source and the items added before it).
void AddCommandLineItem(Assembly& assembly, std::string name, std::string line);
// At a pass's start, once the source's frame is in place.
void StartCommandLineItems(Assembly& assembly, LineSource& source);
// "/e NAME=VALUE: error: TEXT": an item has no line numbers.
std::string FormatItemMessage(const Assembly& assembly, const Message& message);

}  // namespace asm68k
