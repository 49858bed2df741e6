#include "util/Messages.h"

#include "platform/TextConversion.h"

namespace qorv::msg {
namespace {

std::string Text(std::string_view utf8) { return platform::Utf8ToMessageText(utf8); }

// fixed + inserted + fixed, with the fixed parts converted.
std::string Wrap(std::string_view head, std::string_view inserted, std::string_view tail) {
  return Text(head) + std::string(inserted) + Text(tail);
}

}  // namespace

std::string ConfigFileMissing(std::string_view path) { return Wrap("加解密配置文件[", path, "]不存在！"); }

std::string ConfigReadError(std::string_view path) { return Wrap("读取加解密配置文件[", path, "]出错！"); }

std::string ConfigIncorrect() { return Text("加解密配置文件不正确！"); }

std::string ConfigNameEmpty() { return Text("加解密配置文件不正确[NAME节点不能为空]！"); }

std::string CryptTypeNotConfigured(std::string_view path, std::string_view cryptType) {
  return Wrap("加解密配置文件[", path, "]中加解密类型[") + std::string(cryptType) + Text("]的配置不存在，请重新配置！");
}

std::string ListParseError(std::string_view path) { return Wrap("解析加解密配置文件[", path, "]发生异常！"); }

std::string ListConfigIncorrect(std::string_view path) { return Wrap("加解密配置文件[", path, "]配置不正确！"); }

std::string ListBufferMissing() { return Text("调用参数错误：未提供接收列表的缓冲区！"); }

std::string CertificateModeRequired() { return Text("非CA模式不支持该功能！"); }

std::string CertificateFilesRequired() { return Text("仅在CA文件证书模式才支持该功能！"); }

std::string PasswordModeRequired() { return Text("非密码模式不支持该功能！"); }

std::string ServerCertificateMissing() { return Text("服务器证书文件不存在，请重新获取！"); }

std::string UserCertificateMissing() { return Text("证书文件没配置,或者证书文件不存在，请重新配置！"); }

std::string UnsafeStoreName(std::string_view name) {
  return Wrap("名称[", name,
              "]不能用作证书存储的用户名或加解密类型名：名称不得为空，首尾不得为空格，末尾不得为句点，"
              "不得含有路径分隔符、方括号或控制字符！");
}

std::string ReservedUserName(std::string_view name) {
  return Wrap("用户名[", name, "]不能使用：以Revenue开头的名称（不区分大小写）留给服务器证书记录！");
}

std::string CertificateFileNotRegular(std::string_view path) {
  return Wrap("证书文件[", path, "]不是普通文件，无法保存！");
}

std::string CertificateFileTooLarge(std::string_view path) {
  return Wrap("证书文件[", path, "]超过16MB，不是证书或密钥文件，无法保存！");
}

std::string PasswordTooLongToStore() { return Text("密码过长，无法保存：证书存储中的密码最多958个字节！"); }

std::string PathTooLongToStore(std::string_view path) {
  return Wrap("文件路径[", path, "]无法完整保存到证书存储中（最多2047个字节，首尾不得为空白或引号），无法保存！");
}

std::string UserCertificateFilesNotFound() { return Text("找不到用户证书文件，无法保存！"); }

std::string UserCertificateFilesSaveFailed() { return Text("保存用户证书文件发生错误！"); }

std::string UserCertificatePasswordsSaveFailed() { return Text("保存用户证书发生错误！"); }

std::string ServerCertificateFilesNotFound() { return Text("没找到服务器证书文件，无法保存！"); }

std::string ServerCertificateFilesSaveFailed() { return Text("保存服务器证书文件参数发生错误！"); }

std::string EncCertificateNotFound() { return Text("找不到加密证书文件！"); }

std::string EncCertificateCopyFailed() { return Text("拷贝加密证书文件发生错误！"); }

std::string SignCertificateNotFound() { return Text("找不到签名证书文件！"); }

std::string SignCertificateCopyFailed() { return Text("拷贝签名证书文件发生错误！"); }

std::string PasswordChangeCertificateMissing() { return Text("证书文件没配置,或者证书文件不存在，无法修改密码！"); }

std::string NewKeyPasswordsNotRecorded() {
  return Text("证书密码已修改，但保存新密码发生错误，证书存储中仍是原密码，请重新保存证书密码！");
}

std::string StoredKeyPasswordsNotWritable() {
  return Text("证书存储无法写入，无法记录存储中证书的新密码，未修改密码！");
}

std::string ValidationCertificateMissing() { return Text("证书文件没配置,或者证书文件不存在，无法进行验证！"); }

std::string UserPasswordSaveFailed() { return Text("保存用户密码发生错误！"); }

std::string ProviderLoadFailed(std::string_view fullLibPath) {
  return Wrap("加载加解密组件[", fullLibPath, "]失败！");
}

std::string ProviderRaised(std::string_view functionName) {
  return Wrap("调用加解密组件[", functionName, "]发生异常。");
}

std::string ProviderNotSupported() { return Text("加解密组件不支持该功能。"); }

std::string UnexpectedError() { return Text("加解密管理组件内部发生意外错误！"); }

}  // namespace qorv::msg
