// Each export through a copy of the built library with the no-op provider, next to the
// work it cannot avoid, measured in the same run: reading and parsing the configuration
// file, reading the certificate set file, loading and unloading the provider, and for
// the exports that save, copying the certificate files and replacing the set file.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "QorvCryptManage.h"
#include "config/ConfigDocument.h"
#include "interface/ParamString.h"
#include "platform/AtomicFile.h"
#include "platform/DynamicLibrary.h"
#include "platform/FileCopy.h"
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

// The parts: one step each of the work an export cannot avoid. False when it failed.

bool ConfigReadParse() { return BareXmlParse(LoadFileText(TheDeployment().config)); }

bool IniRead(const std::string& path) {
  TIniDocument document;
  if (!TIniFile(path).Load(document)) return false;
  benchmark::DoNotOptimize(document.Read(kUser, "EncKeyPwd"));
  return true;
}

bool ProviderLoadUnload() {
  platform::DynamicLibrary library;
  return library.Open(TheDeployment().provider) && library.Close();
}

const std::string& PartFolder() {
  static const std::string folder = [] {
    const std::string dir = TheDeployment().dir + "part/";
    fs::create_directories(dir);
    return dir;
  }();
  return folder;
}

bool FileCopy() { return platform::CopyFileReplacing(TheDeployment().inputs[1], PartFolder() + "enc.cer"); }

bool IniReplace(const std::string& source) {
  static std::map<std::string, std::string> contents;
  auto [at, added] = contents.try_emplace(source);
  if (added) platform::ReadWholeFile(source, at->second);
  return platform::WriteFileAtomically(PartFolder() + fs::path(source).filename().string(), at->second);
}

struct Part {
  std::string name;
  std::function<bool()> step;
};

// Each iteration runs the export's parts and then the export, so that both meet the
// same state of the machine (caches, the disk, other work on a shared host); the time
// reported is the export's, and the parts' time per iteration is the counter "parts".
void RunExport(benchmark::State& state, const std::function<unsigned char(Deployment&, char**)>& call,
               const std::string& request, const std::vector<Part>& parts) {
  using Clock = std::chrono::steady_clock;
  Deployment& d = TheDeployment();
  double partsSeconds = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    for (const Part& part : parts) {
      if (!part.step()) {
        state.SkipWithError((part.name + " failed").c_str());
        return;
      }
    }
    const auto between = Clock::now();
    if (!d.Call([&](char** p) { return call(d, p); }, request)) {
      state.SkipWithError(("the export failed: " + d.Reply()).c_str());
      return;
    }
    const auto end = Clock::now();
    partsSeconds += std::chrono::duration<double>(between - start).count();
    state.SetIterationTime(std::chrono::duration<double>(end - between).count());
  }
  state.counters["parts"] = benchmark::Counter(partsSeconds, benchmark::Counter::kAvgIterations);
}

}  // namespace

void RegisterExportBenchmarks() {
  TheDeployment();  // a deployment that cannot be set up stops the run before it starts
  auto reg = [](const std::string& name, auto fn, bool manualTime) {
    auto* benchmark = benchmark::RegisterBenchmark(name.c_str(), fn)->Unit(benchmark::kMicrosecond);
    if (manualTime) {
      benchmark->UseManualTime();
    } else {
      benchmark->UseRealTime();
    }
  };
  const Part config{"ConfigReadParse", ConfigReadParse};
  const Part ini{"IniRead(cert store)", [] { return IniRead(TheDeployment().certIni); }};
  const Part pwdIni{"IniRead(password store)", [] { return IniRead(TheDeployment().passwordIni); }};
  const Part provider{"ProviderLoadUnload", ProviderLoadUnload};
  const Part copy{"FileCopy", FileCopy};
  const Part replace{"IniReplace(cert store)", [] { return IniReplace(TheDeployment().certIni); }};
  const Part pwdReplace{"IniReplace(password store)", [] { return IniReplace(TheDeployment().passwordIni); }};
  for (const Part& part : {config, ini, pwdIni, provider, copy, replace, pwdReplace}) {
    reg(
        "Part/" + part.name, [part](benchmark::State& s) { RunEach(s, part.name, part.step); }, false);
  }

  struct Case {
    const char* name;
    std::function<unsigned char(Deployment&, char**)> call;
    std::function<std::string(const Deployment&)> request;
    std::vector<Part> parts;
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
    reg(
        name, [c](benchmark::State& s) { RunExport(s, c.call, c.request(TheDeployment()), c.parts); }, true);
    std::string partNames;
    for (const Part& part : c.parts) partNames += (partNames.empty() ? "" : " + ") + part.name;
    AddRatio({"exports, against their parts run in the same iterations", c.name, name, {}, 1.20, partNames});
  }
}

}  // namespace qorv::bench
