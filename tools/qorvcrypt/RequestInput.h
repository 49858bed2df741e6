// Where a command's request, its parameter string, comes from. --params TEXT puts it on
// the command line, where every local user can read it (ps); for passwords,
// --params-file FILE and --params - (standard input) read it instead.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "CommandLine.h"

namespace qorvcrypt {

// Far beyond any real request, and a bound on what a huge file or an endless stream
// (/dev/zero) can make the tool read.
constexpr size_t kMaxRequestBytes = 1 << 20;

// Reads the stream to its end as one request; one trailing line end (LF or CR LF) is
// not part of it. False, with error set, when it cannot be read, is longer than
// kMaxRequestBytes or holds a NUL byte (which would cut the text short).
bool ReadRequest(std::FILE* stream, std::string& request, std::string& error);

// Turns --params-file FILE, and --params -, into --params with the request read. A
// FILE that is a link is followed and a FIFO is read until its writer closes it, as
// cat would. False, with error set, when both options are given or the request cannot
// be read.
bool ResolveRequest(CommandLine& line, std::string& error);

}  // namespace qorvcrypt
