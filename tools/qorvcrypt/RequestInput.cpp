#include "RequestInput.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/StandardStreams.h"

namespace qorvcrypt {

bool ReadRequest(std::FILE* stream, std::string& request, std::string& error) {
  request.clear();
  char chunk[16384];
  for (;;) {
    const size_t n = std::fread(chunk, 1, sizeof chunk, stream);
    request.append(chunk, n);
    if (request.size() > kMaxRequestBytes + 2) break;  // room for a last CR LF
    if (n < sizeof chunk) break;
  }
  if (std::ferror(stream)) {
    error = std::string("cannot read it: ") + std::strerror(errno);
    return false;
  }
  if (!request.empty() && request.back() == '\n') {
    request.pop_back();
    if (!request.empty() && request.back() == '\r') request.pop_back();
  }
  if (request.size() > kMaxRequestBytes) {
    error = "it is longer than " + std::to_string(kMaxRequestBytes) + " bytes";
    return false;
  }
  if (request.find('\0') != std::string::npos) {
    error = "it holds a NUL byte";
    return false;
  }
  return true;
}

bool ResolveRequest(CommandLine& line, std::string& error) {
  const bool fromStdin = line.Option("params") == "-";
  if (line.Has("params-file") && line.Has("params")) {
    error = "give the request by --params or by --params-file, not both";
    return false;
  }
  std::string request;
  std::string why;
  if (fromStdin) {
    qorv::platform::UseBinaryStandardInput();
    if (!ReadRequest(stdin, request, why)) {
      error = "the request on standard input: " + why;
      return false;
    }
  } else if (line.Has("params-file")) {
    const std::string path = line.Option("params-file");
    struct Closer {
      void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
      error = "cannot open " + path + ": " + std::strerror(errno);
      return false;
    }
    if (!ReadRequest(file.get(), request, why)) {
      error = "the request in " + path + ": " + why;
      return false;
    }
    line.options.erase("params-file");
  } else {
    return true;
  }
  line.options["params"] = request;
  return true;
}

}  // namespace qorvcrypt
