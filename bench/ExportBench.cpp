// Each export through a copy of the built library with the no-op provider, next to the
// work it cannot avoid, measured in the same run: reading and parsing the configuration
// file, reading the certificate set file, loading and unloading the provider, and for
// the exports that save, copying the certificate files and replacing the set file.
#include <benchmark/benchmark.h>
#include <libxml/parser.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "QorvCryptManage.h"
#include "config/ConfigDocument.h"
#include "interface/ParamString.h"
#include "platform/AtomicFile.h"
#include "platform/DynamicLibrary.h"
#include "platform/FileSystem.h"
#include "platform/PathServices.h"
#include "store/IniFile.h"

namespace qorv::bench {
namespace {

namespace fs = std::filesystem;

const char* const kUser = "bench";
constexpr size_t kReplyRoom = 64 * 1024;

template <typename Fn>
Fn Bind(const platform::DynamicLibrary& library, const char* name) {
  auto fn = reinterpret_cast<Fn>(library.Symbol(name));
  if (fn == nullptr) throw std::runtime_error(std::string("missing export ") + name);
  return fn;
}

std::string Entry(const std::string& name, const std::string& body) {
  return "  <CRYPT>\n    <NAME>" + name + "</NAME>\n" + body + "  </CRYPT>\n";
}

// A deployment as a host has it: the library copy with its own CA folder, a
// configuration with one type per mode, and stores filled through the library.
class Deployment {
 public:
  Deployment() {
    dir = ScratchDir() + "deploy/";
    const std::string name = platform::SharedLibraryFileName("QorvCryptManage");
    fs::create_directories(dir + "lib");
    fs::copy_file(BinDir() + name, dir + "lib/" + name);
    if (!library.Open(dir + "lib/" + name)) throw std::runtime_error(library.LastError());
    encrypt = Bind<QorvCryptFileFn>(library, "Encrypt");
    decrypt = Bind<QorvCryptFileFn>(library, "Decrypt");
    getCryptInfo = Bind<QorvUserRequestFn>(library, "GetCryptInfo");
    setCaFile = Bind<QorvUserRequestFn>(library, "SetCaFile");
    getCertFile = Bind<QorvUserRequestFn>(library, "GetCertFile");
    createCAFile = Bind<QorvUserRequestFn>(library, "CreateCAFile");
    changeCAPassword = Bind<QorvUserRequestFn>(library, "ChangeCAPassword");
    validateCert = Bind<QorvUserRequestFn>(library, "ValidateCert");
    setCryptParams = Bind<QorvUserRequestFn>(library, "SetCryptParams");
    setRevenueCAFile = Bind<QorvTypeRequestFn>(library, "SetRevenueCAFile");
    getCryptList = Bind<QorvGetCryptListFn>(library, "GetCryptList");

    provider = NoopProviderPath();
    const std::string lib = "    <LIBPATH>" + provider + "</LIBPATH>\n";
    config = WriteScratchFile(
        "deploy/crypt.xml",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<CRYPTCONFIG>\n" +
            Entry("Cert", lib +
                              "    <MODE>1</MODE>\n    <DESC>证书模式</DESC>\n    <CA>\n      <CAMODE>1</CAMODE>\n"
                              "      <CAISMULTI>0</CAISMULTI>\n      <ROOTCERTFILE>" +
                              dir +
                              "in/root.cer</ROOTCERTFILE>\n    </CA>\n    <EXTENDS>\n      <EXT-PARAM>\n"
                              "        <PARAM-NAME>RevenueCode</PARAM-NAME>\n        <PARAM-VALUE>12</PARAM-VALUE>\n"
                              "      </EXT-PARAM>\n    </EXTENDS>\n") +
            Entry("Password", lib + "    <MODE>2</MODE>\n    <DESC>口令模式</DESC>\n") +
            Entry("Plain", lib + "    <MODE>0</MODE>\n    <DESC>普通模式</DESC>\n") + "</CRYPTCONFIG>\n");

    // Certificate-sized inputs.
    const std::string pem = "-----BEGIN CERTIFICATE-----\n" + std::string(1400, 'A') + "\n-----END CERTIFICATE-----\n";
    for (const char* file : {"root.cer", "enc.cer", "enc.key", "server-enc.cer"}) {
      inputs.push_back(WriteScratchFile(std::string("deploy/in/") + file, pem));
    }
    setCaRequest = SetParamValue("", "RootCertFile", dir + "in/root.cer");
    setCaRequest = SetParamValue(setCaRequest, "EncCertFile", dir + "in/enc.cer");
    setCaRequest = SetParamValue(setCaRequest, "EncKeyFile", dir + "in/enc.key");
    setCaRequest = SetParamValue(setCaRequest, "EncKeyPwd", "enc-key-password");
    setRevenueRequest = SetParamValue("", "RevenueEncCertFile", dir + "in/server-enc.cer");
    setPasswordRequest = SetParamValue("", "PassWord", "stored-password");

    Require(Call([&](char** p) { return setRevenueCAFile(0, config.c_str(), "Cert", p); }, setRevenueRequest),
            "SetRevenueCAFile");
    Require(Call([&](char** p) { return setCaFile(0, config.c_str(), "Cert", kUser, p); }, setCaRequest), "SetCaFile");
    Require(Call([&](char** p) { return setCryptParams(0, config.c_str(), "Password", kUser, p); }, setPasswordRequest),
            "SetCryptParams");
    certIni = dir + "lib/CA/Cert/UserCa_Cert.ini";
    passwordIni = dir + "lib/CA/Password/UserCa_Password.ini";
    if (!platform::FileExists(certIni) || !platform::FileExists(passwordIni)) {
      throw std::runtime_error("the stores were not written where expected");
    }
  }

  // Runs call on a reply buffer holding request; true when the export answered 1.
  bool Call(const std::function<unsigned char(char**)>& call, const std::string& request) {
    if (buffer.size() < request.size() + kReplyRoom) buffer.resize(request.size() + kReplyRoom);
    std::memcpy(buffer.data(), request.c_str(), request.size() + 1);
    char* text = buffer.data();
    return call(&text) == 1;
  }
  std::string Reply() const { return buffer.data(); }

  void Require(bool ok, const char* what) const {
    if (!ok) throw std::runtime_error(std::string(what) + " failed: " + Reply());
  }

  std::string dir, config, provider, certIni, passwordIni;
  std::vector<std::string> inputs;
  std::string setCaRequest, setRevenueRequest, setPasswordRequest;
  std::vector<char> buffer;
  platform::DynamicLibrary library;
  QorvCryptFileFn encrypt = nullptr, decrypt = nullptr;
  QorvUserRequestFn getCryptInfo = nullptr, setCaFile = nullptr, getCertFile = nullptr, createCAFile = nullptr,
                    changeCAPassword = nullptr, validateCert = nullptr, setCryptParams = nullptr;
  QorvTypeRequestFn setRevenueCAFile = nullptr;
  QorvGetCryptListFn getCryptList = nullptr;
};

Deployment& TheDeployment() {
  static Deployment deployment;
  return deployment;
}

void RunExport(benchmark::State& state, const std::function<unsigned char(Deployment&, char**)>& call,
               const std::string& request) {
  Deployment& d = TheDeployment();
  for (auto _ : state) {
    if (!d.Call([&](char** p) { return call(d, p); }, request)) {
      state.SkipWithError(("the export failed: " + d.Reply()).c_str());
      break;
    }
  }
}

// The parts.

void ConfigReadParse(benchmark::State& state) {
  const std::string& config = TheDeployment().config;
  for (auto _ : state) {
    const std::string bytes = LoadFileText(config);
    xmlDoc* doc = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr,
                                XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (doc == nullptr) {
      state.SkipWithError("parse failed");
      break;
    }
    xmlFreeDoc(doc);
  }
}

void IniRead(benchmark::State& state, const std::string& path) {
  const TIniFile ini(path);
  for (auto _ : state) {
    TIniDocument document;
    if (!ini.Load(document)) {
      state.SkipWithError("read failed");
      break;
    }
    benchmark::DoNotOptimize(document.Read(kUser, "EncKeyPwd"));
  }
}

void ProviderLoadUnload(benchmark::State& state) {
  const std::string& provider = TheDeployment().provider;
  for (auto _ : state) {
    platform::DynamicLibrary library;
    if (!library.Open(provider) || !library.Close()) {
      state.SkipWithError("load failed");
      break;
    }
  }
}

void FileCopy(benchmark::State& state) {
  const Deployment& d = TheDeployment();
  const std::string target = d.dir + "part/enc.cer";
  fs::create_directories(d.dir + "part");
  for (auto _ : state) {
    if (!platform::CopyFileReplacing(d.inputs[1], target)) {
      state.SkipWithError("copy failed");
      break;
    }
  }
}

void IniReplace(benchmark::State& state, const std::string& source) {
  const Deployment& d = TheDeployment();
  std::string bytes;
  platform::ReadWholeFile(source, bytes);
  const std::string target = d.dir + "part/" + fs::path(source).filename().string();
  fs::create_directories(d.dir + "part");
  for (auto _ : state) {
    if (!platform::WriteFileAtomically(target, bytes)) {
      state.SkipWithError("write failed");
      break;
    }
  }
}

}  // namespace

void RegisterExportBenchmarks() {
  TheDeployment();  // a deployment that cannot be set up stops the run before it starts
  auto reg = [](const std::string& name, auto fn) {
    benchmark::RegisterBenchmark(name.c_str(), fn)->Unit(benchmark::kMicrosecond)->UseRealTime();
  };
  const std::string config = "Part/ConfigReadParse";
  const std::string ini = "Part/IniRead(cert store)";
  const std::string pwdIni = "Part/IniRead(password store)";
  const std::string provider = "Part/ProviderLoadUnload";
  const std::string copy = "Part/FileCopy";
  const std::string replace = "Part/IniReplace(cert store)";
  const std::string pwdReplace = "Part/IniReplace(password store)";

  reg(config, ConfigReadParse);
  reg(ini, [](benchmark::State& s) { IniRead(s, TheDeployment().certIni); });
  reg(pwdIni, [](benchmark::State& s) { IniRead(s, TheDeployment().passwordIni); });
  reg(provider, ProviderLoadUnload);
  reg(copy, FileCopy);
  reg(replace, [](benchmark::State& s) { IniReplace(s, TheDeployment().certIni); });
  reg(pwdReplace, [](benchmark::State& s) { IniReplace(s, TheDeployment().passwordIni); });

  struct Case {
    const char* name;
    std::function<unsigned char(Deployment&, char**)> call;
    std::function<std::string(const Deployment&)> request;
    std::vector<std::string> parts;
  };
  auto none = [](const Deployment&) { return std::string(); };
  auto user = [](QorvUserRequestFn Deployment::*fn, const char* type) {
    return [fn, type](Deployment& d, char** p) { return (d.*fn)(0, d.config.c_str(), type, kUser, p); };
  };
  const std::vector<Case> cases = {
      {"GetCryptList",
       [](Deployment& d, char** p) {
         static std::vector<char> list(kReplyRoom);
         return d.getCryptList(0, d.config.c_str(), list.data(), p);
       },
       none,
       {config}},
      {"GetCryptInfo", user(&Deployment::getCryptInfo, "Cert"), none, {config, ini}},
      {"GetCertFile", user(&Deployment::getCertFile, "Cert"), none, {config, ini}},
      {"Encrypt",
       [](Deployment& d, char** p) {
         return d.encrypt(0, d.config.c_str(), "Cert", kUser, "/bench/plain.txt", "/bench/plain.txt.qcm", p);
       },
       none,
       {config, ini, provider}},
      {"Decrypt",
       [](Deployment& d, char** p) {
         return d.decrypt(0, d.config.c_str(), "Cert", kUser, "/bench/plain.txt.qcm", "/bench/plain.txt", p);
       },
       none,
       {config, ini, provider}},
      {"CreateCAFile", user(&Deployment::createCAFile, "Cert"), none, {config, ini, provider}},
      {"ValidateCert", user(&Deployment::validateCert, "Cert"), none, {config, ini, provider}},
      {"ChangeCAPassword",
       user(&Deployment::changeCAPassword, "Cert"),
       [](const Deployment&) { return std::string("NewEncKeyPwd=enc-key-password"); },
       {config, ini, provider, replace}},
      {"SetCaFile",
       user(&Deployment::setCaFile, "Cert"),
       [](const Deployment& d) { return d.setCaRequest; },
       {config, ini, copy, copy, copy, replace}},
      {"SetRevenueCAFile",
       [](Deployment& d, char** p) { return d.setRevenueCAFile(0, d.config.c_str(), "Cert", p); },
       [](const Deployment& d) { return d.setRevenueRequest; },
       {config, ini, copy, replace}},
      {"SetCryptParams",
       user(&Deployment::setCryptParams, "Password"),
       [](const Deployment& d) { return d.setPasswordRequest; },
       {config, pwdIni, pwdReplace}},
  };
  for (const Case& c : cases) {
    const std::string name = std::string("Export/") + c.name;
    reg(name, [c](benchmark::State& s) { RunExport(s, c.call, c.request(TheDeployment())); });
    AddRatio({"exports", c.name, name, c.parts, 1.20});
  }
}

}  // namespace qorv::bench
