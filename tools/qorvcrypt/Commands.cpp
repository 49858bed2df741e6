#include "Commands.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <string>

#include "interface/ParamString.h"

namespace qorvcrypt {
namespace {

namespace fs = std::filesystem;

// Prints each entry of a parameter string on a line of its own, unescaped.
void PrintParams(FILE* out, const std::string& params) {
  size_t start = 0;
  while (start <= params.size()) {
    size_t end = params.find(';', start);
    if (end == std::string::npos) end = params.size();
    const std::string entry = params.substr(start, end - start);
    if (!entry.empty()) {
      const size_t equals = entry.find('=');
      std::fprintf(out, "  %s = %s\n", qorv::UnescapeParamText(entry.substr(0, equals)).c_str(),
                   equals == std::string::npos ? "" : qorv::UnescapeParamText(entry.substr(equals + 1)).c_str());
    }
    start = end + 1;
  }
}

int Outcome(unsigned char ok, const char* params) {
  if (!ok) std::fprintf(stderr, "failed: %s\n", qorv::GetParamValue(params, "ResultMsgStr").c_str());
  return ok ? 0 : 1;
}

bool NeedOptions(const CommandLine& line, std::initializer_list<const char*> names) {
  for (const char* name : names) {
    if (!line.Has(name)) {
      std::fprintf(stderr, "%s needs --%s\n", line.command.c_str(), name);
      return false;
    }
  }
  return true;
}

int RunList(LibraryApi& api, const CommandLine& line) {
  if (!NeedOptions(line, {"config"})) return 2;
  std::string error;
  auto getCryptList = api.Find<QorvGetCryptListExFn>("GetCryptListEx", error);
  if (getCryptList == nullptr) {
    std::fprintf(stderr, "qorvcrypt: %s\n", error.c_str());
    return 2;
  }
  LibraryText list(api);
  LibraryText reply(api);
  const unsigned char ok = getCryptList(0, line.Option("config").c_str(), list.Out(), "", reply.Out());
  if (ok) std::fputs(list.Text(), stdout);
  return Outcome(ok, reply.Text());
}

// Shows a reply: with --raw the parameter string as it came, for scripts to pass on;
// otherwise one entry a line.
void PrintReply(const CommandLine& line, const char* params) {
  if (line.Has("raw")) {
    std::printf("%s\n", params);
  } else {
    PrintParams(stdout, params);
  }
}

// The exports that take a user and a request and answer in the request.
int RunUserRequest(LibraryApi& api, const CommandLine& line, const char* exportName) {
  if (!NeedOptions(line, {"config", "type"})) return 2;
  std::string error;
  auto request = api.Find<QorvUserRequestExFn>(exportName, error);
  if (request == nullptr) {
    std::fprintf(stderr, "qorvcrypt: %s\n", error.c_str());
    return 2;
  }
  LibraryText reply(api);
  const unsigned char ok = request(0, line.Option("config").c_str(), line.Option("type").c_str(),
                                   line.Option("user").c_str(), line.Option("params").c_str(), reply.Out());
  if (ok) PrintReply(line, reply.Text());
  return Outcome(ok, reply.Text());
}

int RunSetServer(LibraryApi& api, const CommandLine& line) {
  if (!NeedOptions(line, {"config", "type"})) return 2;
  std::string error;
  auto setRevenueCaFile = api.Find<QorvTypeRequestExFn>("SetRevenueCAFileEx", error);
  if (setRevenueCaFile == nullptr) {
    std::fprintf(stderr, "qorvcrypt: %s\n", error.c_str());
    return 2;
  }
  LibraryText reply(api);
  const unsigned char ok = setRevenueCaFile(0, line.Option("config").c_str(), line.Option("type").c_str(),
                                            line.Option("params").c_str(), reply.Out());
  if (ok) PrintReply(line, reply.Text());
  return Outcome(ok, reply.Text());
}

std::string TargetFor(const CommandLine& line, const std::string& source, bool encrypt) {
  if (line.Has("output")) return line.Option("output");
  const std::string suffix = line.Option("suffix", ".qcm");
  if (encrypt) return source + suffix;
  if (source.size() > suffix.size() && source.compare(source.size() - suffix.size(), suffix.size(), suffix) == 0) {
    return source.substr(0, source.size() - suffix.size());
  }
  return source + ".out";
}

// Encrypts or decrypts each source file in turn, with a progress line per file: the
// library reports no progress of its own, so a batch shows it file by file.
int RunCryptFiles(LibraryApi& api, const CommandLine& line, bool encrypt) {
  if (!NeedOptions(line, {"config", "type"})) return 2;
  if (line.arguments.empty() || (line.Has("output") && line.arguments.size() > 1)) {
    std::fprintf(stderr, "%s needs SOURCE files, and --output only with one\n", line.command.c_str());
    return 2;
  }
  std::string error;
  auto cryptFile = api.Find<QorvCryptFileExFn>(encrypt ? "EncryptEx" : "DecryptEx", error);
  if (cryptFile == nullptr) {
    std::fprintf(stderr, "qorvcrypt: %s\n", error.c_str());
    return 2;
  }
  const size_t total = line.arguments.size();
  int failures = 0;
  for (size_t i = 0; i < total; ++i) {
    const std::string& source = line.arguments[i];
    const std::string target = TargetFor(line, source, encrypt);
    std::printf("[%zu/%zu] %s %s -> %s ... ", i + 1, total, encrypt ? "encrypting" : "decrypting", source.c_str(),
                target.c_str());
    std::fflush(stdout);
    const auto started = std::chrono::steady_clock::now();
    LibraryText reply(api);
    const unsigned char ok =
        cryptFile(0, line.Option("config").c_str(), line.Option("type").c_str(), line.Option("user").c_str(),
                  source.c_str(), target.c_str(), line.Option("params").c_str(), reply.Out());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (ok) {
      std::error_code ignored;
      const auto bytes = fs::file_size(fs::path(source), ignored);
      std::printf("ok (%llu bytes, %.2f s)\n", ignored ? 0ull : static_cast<unsigned long long>(bytes), seconds);
    } else {
      std::printf("failed\n");
      std::fflush(stdout);
      std::fprintf(stderr, "  %s\n", qorv::GetParamValue(reply.Text(), "ResultMsgStr").c_str());
      ++failures;
    }
  }
  if (total > 1) std::printf("%zu of %zu files done\n", total - failures, total);
  return failures == 0 ? 0 : 1;
}

int RunEncrypt(LibraryApi& api, const CommandLine& line) { return RunCryptFiles(api, line, true); }
int RunDecrypt(LibraryApi& api, const CommandLine& line) { return RunCryptFiles(api, line, false); }

#define QORVCRYPT_USER_REQUEST(exportName) \
  [](LibraryApi& api, const CommandLine& line) { return RunUserRequest(api, line, exportName); }

// The examples pass passwords by a file or a pipe, never on the command line.
const Command kCommands[] = {
    {"list", "list --config FILE\n      List the crypto types of the configuration FILE as NAME=DESC lines.",
     "qorvcrypt list --config /usr/share/qorvcryptmanage/crypto-config.xml", RunList},
    {"info", "info --config FILE --type TYPE [--user USER] [REQUEST]\n"
             "      Show the crypto type's settings and the credentials stored for USER (GetCryptInfo).",
     "qorvcrypt info --config crypt.xml --type CertPair --user alice", QORVCRYPT_USER_REQUEST("GetCryptInfoEx")},
    {"encrypt", "encrypt --config FILE --type TYPE --user USER [--output TARGET | --suffix S] [REQUEST] SOURCE...\n"
                "      Encrypt each SOURCE into SOURCE.qcm (or SOURCE + S, or TARGET for one file).",
     "qorvcrypt encrypt --config crypt.xml --type CertPair --user alice report.pdf photo.jpg", RunEncrypt},
    {"decrypt", "decrypt --config FILE --type TYPE --user USER [--output TARGET | --suffix S] [REQUEST] SOURCE...\n"
                "      Decrypt each SOURCE; a name ending in .qcm (or S) loses it, others get .out.",
     "qorvcrypt decrypt --config crypt.xml --type CertPair --user alice report.pdf.qcm --output report.pdf",
     RunDecrypt},
    {"set-server", "set-server --config FILE --type TYPE REQUEST\n"
                   "      Install the server's certificates, RevenueEncCertFile (and RevenueSignCertFile)\n"
                   "      of REQUEST (SetRevenueCAFile).",
     "qorvcrypt set-server --config crypt.xml --type CertPair "
     "--params \"RevenueEncCertFile=/srv/pki/server_enc.crt;RevenueSignCertFile=/srv/pki/server_sign.crt\"",
     RunSetServer},
    {"set-ca", "set-ca --config FILE --type TYPE --user USER REQUEST\n"
               "      Install USER's certificate set: RootCertFile, EncCertFile, EncKeyFile, EncKeyPwd (and\n"
               "      the Sign ones) of REQUEST, or in USB-key mode the key passwords (SetCaFile).",
     "qorvcrypt create --config crypt.xml --type CertPair --user alice --raw |\n"
     "    qorvcrypt set-ca --config crypt.xml --type CertPair --user alice --params -",
     QORVCRYPT_USER_REQUEST("SetCaFileEx")},
    {"get-certs", "get-certs --config FILE --type TYPE --user USER [REQUEST]\n"
                  "      Copy USER's certificates to the files REQUEST names (EncCertFile, SignCertFile), or\n"
                  "      show where they are (GetCertFile).",
     "qorvcrypt get-certs --config crypt.xml --type CertPair --user alice --params \"EncCertFile=/tmp/alice_enc.crt\"",
     QORVCRYPT_USER_REQUEST("GetCertFileEx")},
    {"create", "create --config FILE --type TYPE --user USER [REQUEST]\n"
               "      Let the provider create USER's keys and certificates (CreateCAFile); with --raw\n"
               "      the reply is printed as a request for set-ca.",
     "qorvcrypt create --config crypt.xml --type CertPair --user bob --params-file bob-key-passwords.txt",
     QORVCRYPT_USER_REQUEST("CreateCAFileEx")},
    {"change-password", "change-password --config FILE --type TYPE --user USER REQUEST\n"
                        "      Change the passwords of USER's keys to NewEncKeyPwd (and NewSignKeyPwd) of\n"
                        "      REQUEST and record them (ChangeCAPassword).",
     "printf 'NewEncKeyPwd=%s;NewSignKeyPwd=%s' \"$enc\" \"$sign\" |\n"
     "    qorvcrypt change-password --config crypt.xml --type CertPair --user alice --params -",
     QORVCRYPT_USER_REQUEST("ChangeCAPasswordEx")},
    {"validate", "validate --config FILE --type TYPE --user USER [REQUEST]\n"
                 "      Let the provider validate USER's certificates (ValidateCert).",
     "qorvcrypt validate --config crypt.xml --type CertPair --user alice", QORVCRYPT_USER_REQUEST("ValidateCertEx")},
    {"set-password", "set-password --config FILE --type TYPE --user USER REQUEST\n"
                     "      Store USER's password, PassWord of REQUEST, for a password-mode crypto type\n"
                     "      (SetCryptParams).",
     "qorvcrypt set-password --config crypt.xml --type Password --user alice --params-file alice-password.txt",
     QORVCRYPT_USER_REQUEST("SetCryptParamsEx")},
};

#undef QORVCRYPT_USER_REQUEST

}  // namespace

const Command* Commands(size_t& count) {
  count = sizeof kCommands / sizeof kCommands[0];
  return kCommands;
}

}  // namespace qorvcrypt
