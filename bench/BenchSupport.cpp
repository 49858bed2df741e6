#include "BenchSupport.h"

#include <libxml/parser.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

#include "platform/DynamicLibrary.h"
#include "platform/ProcessInfo.h"
#include "util/PasswordScramble.h"

namespace qorv::bench {

namespace fs = std::filesystem;

namespace {

class Scratch {
 public:
  Scratch() {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
      const fs::path candidate = fs::temp_directory_path() / ("qorv-bench-" + std::to_string(random()));
      if (fs::create_directory(candidate)) {
        path_ = candidate.string() + "/";
        return;
      }
    }
    throw std::runtime_error("no scratch folder");
  }
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::string Numbered(const char* prefix, int index) {
  char text[32];
  std::snprintf(text, sizeof text, "%s%06d", prefix, index);
  return text;
}

}  // namespace

void RunEach(benchmark::State& state, const std::string& what, const std::function<bool()>& step) {
  for (auto _ : state) {
    if (!step()) {
      state.SkipWithError((what + " failed").c_str());
      break;
    }
  }
}

bool BareXmlParse(std::string_view bytes) {
  xmlDoc* doc = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr,
                              XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  if (doc == nullptr) return false;
  xmlFreeDoc(doc);
  return true;
}

const std::string& ScratchDir() {
  static const Scratch scratch;
  return scratch.path();
}

std::string WriteScratchFile(const std::string& name, std::string_view bytes) {
  const std::string path = ScratchDir() + name;
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
  return path;
}

std::string BinDir() {
  const std::string exe = platform::ExecutablePath();
  return exe.substr(0, exe.rfind('/') + 1);
}

std::string NoopProviderPath() { return BinDir() + platform::SharedLibraryFileName("qorv_bench_provider"); }

std::string ScaledTypeName(int index) { return Numbered("Type", index); }
std::string ScaledUserName(int index) { return Numbered("user", index); }

std::string ScaledConfigXml(int count, const std::string& libPath) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<CRYPTCONFIG>\n";
  for (int i = 1; i <= count; ++i) {
    const std::string name = ScaledTypeName(i);
    xml += "  <CRYPT>\n    <NAME>" + name + "</NAME>\n    <LIBPATH>" + libPath +
           "</LIBPATH>\n    <MODE>1</MODE>\n    <DESC>证书模式 " + name +
           "</DESC>\n    <CA>\n      <CAMODE>1</CAMODE>\n      <CAISMULTI>0</CAISMULTI>\n"
           "      <ROOTCERTFILE>certs/root.cer</ROOTCERTFILE>\n    </CA>\n    <EXTENDS>\n"
           "      <EXT-PARAM>\n        <PARAM-NAME>RevenueCode</PARAM-NAME>\n"
           "        <PARAM-VALUE>12</PARAM-VALUE>\n      </EXT-PARAM>\n"
           "      <EXT-PARAM>\n        <PARAM-NAME>Level</PARAM-NAME>\n"
           "        <PARAM-VALUE>9</PARAM-VALUE>\n      </EXT-PARAM>\n    </EXTENDS>\n  </CRYPT>\n";
  }
  xml += "</CRYPTCONFIG>\n";
  return xml;
}

std::string ScaledIniText(int count, const std::string& certDir) {
  const std::string password = ScramblePassword("enc-key-password");
  std::string ini;
  for (int i = 1; i <= count; ++i) {
    const std::string user = ScaledUserName(i);
    const std::string dir = certDir + user + "/";
    ini += "[" + user + "]\r\nRootCertFile=" + dir + "root.cer\r\nEncCertFile=" + dir + "enc.cer\r\nEncKeyFile=" + dir +
           "enc.key\r\nEncKeyPwd=" + password + "\r\n";
  }
  ini += "[Revenue12]\r\nEncCertFile=" + certDir + "Revenue12/server-enc.cer\r\n";
  return ini;
}

namespace {
std::vector<Ratio>& RatioList() {
  static std::vector<Ratio> list;
  return list;
}
std::vector<Throughput>& ThroughputList() {
  static std::vector<Throughput> list;
  return list;
}
}  // namespace

void AddRatio(Ratio ratio) { RatioList().push_back(std::move(ratio)); }
const std::vector<Ratio>& Ratios() { return RatioList(); }
void AddThroughput(Throughput throughput) { ThroughputList().push_back(std::move(throughput)); }
const std::vector<Throughput>& Throughputs() { return ThroughputList(); }

}  // namespace qorv::bench
