// One function per qorvcrypt command. Each returns the exit status: 0 when the library
// reports success, 1 when it reports failure, 2 for a usage error.
#pragma once

#include "CommandLine.h"
#include "LibraryApi.h"

namespace qorvcrypt {

struct Command {
  const char* name;
  const char* usage;    // shown by help
  const char* example;  // shown by COMMAND --help: a whole command line
  int (*run)(LibraryApi& api, const CommandLine& line);
};

// Every command, in the order help lists them.
const Command* Commands(size_t& count);

}  // namespace qorvcrypt
