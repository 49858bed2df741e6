#include "support/Deployment.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/ProcessInfo.h"

namespace qorv::test {

namespace fs = std::filesystem;

namespace {

template <typename Fn>
Fn Bind(const platform::DynamicLibrary& library, const char* name) {
  auto fn = reinterpret_cast<Fn>(library.Symbol(name));
  EXPECT_NE(fn, nullptr) << name;
  return fn;
}

}  // namespace

Deployment::Deployment(LoadBy loadBy) : libraryDir_(dir_.File("lib") + dir_.path().back()) {
  const std::string exe = platform::ExecutablePath();
  const std::string name = platform::SharedLibraryFileName("QorvCryptManage");
  const std::string built = exe.substr(0, exe.find_last_of("/\\") + 1) + name;
  fs::create_directories(fs::path(LibraryDir()));
  fs::copy_file(fs::path(built), fs::path(LibraryDir() + name));
  if (loadBy == LoadBy::FullPath) {
    EXPECT_TRUE(library_.Open(LibraryDir() + name)) << library_.LastError();
  } else {
    const CurrentDirGuard guard;
    fs::current_path(fs::path(LibraryDir()));
    EXPECT_TRUE(library_.Open((fs::path(".") / name).string())) << library_.LastError();
  }
  BindExports();
}

Deployment::Deployment(const std::string& libraryDir, const std::string& configPath)
    : libraryDir_(libraryDir), configPath_(configPath) {
  const std::string path = libraryDir + platform::SharedLibraryFileName("QorvCryptManage");
  EXPECT_TRUE(library_.Open(path)) << library_.LastError();
  BindExports();
}

void Deployment::BindExports() {
  getCryptList = Bind<QorvGetCryptListFn>(library_, "GetCryptList");
  encrypt = Bind<QorvCryptFileFn>(library_, "Encrypt");
  decrypt = Bind<QorvCryptFileFn>(library_, "Decrypt");
  getCryptInfo = Bind<QorvUserRequestFn>(library_, "GetCryptInfo");
  setCaFile = Bind<QorvUserRequestFn>(library_, "SetCaFile");
  getCertFile = Bind<QorvUserRequestFn>(library_, "GetCertFile");
  createCAFile = Bind<QorvUserRequestFn>(library_, "CreateCAFile");
  changeCAPassword = Bind<QorvUserRequestFn>(library_, "ChangeCAPassword");
  validateCert = Bind<QorvUserRequestFn>(library_, "ValidateCert");
  setCryptParams = Bind<QorvUserRequestFn>(library_, "SetCryptParams");
  setRevenueCAFile = Bind<QorvTypeRequestFn>(library_, "SetRevenueCAFile");
}

std::string Deployment::LibraryDir() const { return libraryDir_; }

std::string Deployment::WriteConfig(std::vector<CryptEntry> entries) {
  for (CryptEntry& entry : entries) {
    if (entry.libPath.empty()) entry.libPath = TestProviderPath();
    entry.extParams.emplace_back("TestScript", script_.path());
  }
  configPath_ = dir_.Write("crypt.xml", ConfigXml(entries));
  return configPath_;
}

ExportReply Deployment::Encrypt(const std::string& type, const std::string& user, const std::string& source,
                                const std::string& target, const std::string& params, uintptr_t handle) {
  return CallWithBuffer(params, [&](char** text) {
    return encrypt(handle, configPath_.c_str(), type.c_str(), user.c_str(), source.c_str(), target.c_str(), text);
  });
}

ExportReply Deployment::Decrypt(const std::string& type, const std::string& user, const std::string& source,
                                const std::string& target, const std::string& params, uintptr_t handle) {
  return CallWithBuffer(params, [&](char** text) {
    return decrypt(handle, configPath_.c_str(), type.c_str(), user.c_str(), source.c_str(), target.c_str(), text);
  });
}

ExportReply Deployment::GetCryptInfo(const std::string& type, const std::string& user, const std::string& params,
                                     uintptr_t handle) {
  return CallWithBuffer(params, [&](char** text) {
    return getCryptInfo(handle, configPath_.c_str(), type.c_str(), user.c_str(), text);
  });
}

ExportReply Deployment::UserRequest(QorvUserRequestFn fn, const std::string& type, const std::string& user,
                                    const std::string& params) {
  return CallWithBuffer(params,
                        [&](char** text) { return fn(0, configPath_.c_str(), type.c_str(), user.c_str(), text); });
}

ExportReply Deployment::SetCaFile(const std::string& type, const std::string& user, const std::string& params) {
  return UserRequest(setCaFile, type, user, params);
}

ExportReply Deployment::GetCertFile(const std::string& type, const std::string& user, const std::string& params) {
  return UserRequest(getCertFile, type, user, params);
}

ExportReply Deployment::CreateCAFile(const std::string& type, const std::string& user, const std::string& params) {
  return UserRequest(createCAFile, type, user, params);
}

ExportReply Deployment::ChangeCAPassword(const std::string& type, const std::string& user,
                                         const std::string& params) {
  return UserRequest(changeCAPassword, type, user, params);
}

ExportReply Deployment::ValidateCert(const std::string& type, const std::string& user, const std::string& params) {
  return UserRequest(validateCert, type, user, params);
}

ExportReply Deployment::SetCryptParams(const std::string& type, const std::string& user,
                                       const std::string& params) {
  return UserRequest(setCryptParams, type, user, params);
}

ExportReply Deployment::SetRevenueCAFile(const std::string& type, const std::string& params) {
  return CallWithBuffer(params,
                        [&](char** text) { return setRevenueCAFile(0, configPath_.c_str(), type.c_str(), text); });
}

}  // namespace qorv::test
