// The messages the provider reports under ResultMsgStr, in Chinese. The texts here and
// every descriptive argument (what, allowed) are UTF-8 and are turned into the host's
// message text; paths and names are the host's text already and stay as they are.
#pragma once

#include <string>

#include "platform/MessageText.h"

namespace qorv_ref::msg {

inline std::string T(const std::string& utf8) { return platform::MessageText(utf8); }

inline std::string Quoted(const std::string& what, const std::string& path, const char* tail) {
  return T(what) + "[" + path + "]" + T(tail);
}

// Calls and parameters
inline std::string NotInitialised() { return T("加解密组件未初始化，请先调用InitCrypt！"); }
inline std::string Internal() { return T("加解密组件内部错误！"); }
inline std::string OutOfMemory() { return T("内存不足，加解密组件无法完成操作！"); }
inline std::string ReplyTooLong() { return T("返回参数超出缓冲区长度！"); }
inline std::string NoUsbKey() { return T("本加解密组件不支持USB Key，无法获取USB证书文件！"); }
inline std::string ParamMissing(const std::string& name) { return T("缺少参数[") + name + T("]！"); }
inline std::string ExtParamInvalid(const std::string& name, const std::string& allowed) {
  return T("扩展参数[") + name + T("]的取值无效，应为") + T(allowed) + T("！");
}

// Files
inline std::string FileMissing(const std::string& what, const std::string& path) {
  return Quoted(what, path, "不存在！");
}
inline std::string FileUnreadable(const std::string& what, const std::string& path) {
  return Quoted(what, path, "读取失败！");
}
inline std::string TargetNotCreatable(const std::string& path) { return Quoted("目标文件", path, "无法创建！"); }
inline std::string TargetWriteFailed(const std::string& path) { return Quoted("目标文件", path, "写入失败！"); }
inline std::string OutputExists(const std::string& path) {
  return Quoted("文件", path, "已存在，为避免覆盖已有的密钥，请先移走！");
}
inline std::string FolderNotCreatable(const std::string& path) { return Quoted("输出文件夹", path, "无法创建！"); }

// Keys and certificates
inline std::string NotACertificate(const std::string& what, const std::string& path) {
  return Quoted(what, path, "不是有效的证书文件！");
}
inline std::string NotAKey(const std::string& what, const std::string& path) {
  return Quoted(what, path, "不是有效的私钥文件，或密码错误！");
}
inline std::string KeyWrongPassword(const std::string& what, const std::string& path) {
  return Quoted(what, path, "的密码错误！");
}
inline std::string KeyCostTooHigh(const std::string& what, const std::string& path) {
  return Quoted(what, path, "的密码保护参数超出允许的范围，文件可能是伪造的！");
}
inline std::string KeyFileNotConfigured() { return T("未配置密钥文件，请在扩展参数KeyFile中指定！"); }
inline std::string KeyFileInvalid(const std::string& path) {
  return Quoted("密钥文件", path, "无效，应为32字节的密钥或64位十六进制文本！");
}
inline std::string PasswordEmpty() { return T("用户密码为空，请先设置密码！"); }
inline std::string NewPasswordEmpty(const std::string& name) { return T("新密码[") + name + T("]不能为空！"); }

// Encrypted files
inline std::string NotOurFile() { return T("源文件不是本组件加密的文件！"); }
inline std::string UnsupportedFormat() { return T("加密文件的格式版本不受支持！"); }
inline std::string ModeMismatch() { return T("加密文件的加密方式与当前加解密类型不一致！"); }
inline std::string HeaderDamaged() { return T("加密文件头已损坏！"); }
inline std::string WrongPassword() { return T("密码错误，或加密文件头已损坏！"); }
inline std::string WrongKeyFile() { return T("密钥文件与加密时使用的不一致，或加密文件头已损坏！"); }
inline std::string Tampered() { return T("加密文件已被篡改或损坏！"); }
inline std::string Truncated() { return T("加密文件不完整，可能已被截断！"); }
inline std::string TrailingData() { return T("加密文件末尾有多余的数据！"); }
inline std::string NotARecipient() {
  return T("无法用用户的加密私钥解开文件：文件不是加密给该证书的，或私钥与证书不匹配！");
}
inline std::string SignatureMissing() { return T("文件没有签名，双证书模式要求文件经过签名！"); }
inline std::string SignatureInvalid() { return T("文件签名验证失败：签名无效，或签名证书不是由根证书签发！"); }
inline std::string EnvelopeFailed() { return T("生成数字信封失败！"); }
inline std::string SignFailed() { return T("用签名私钥签名失败！"); }
inline std::string CryptoFailed() { return T("加解密运算失败！"); }

// Creating, checking and re-protecting certificate files
inline std::string UserEmpty() { return T("用户名不能为空！"); }
inline std::string NotACa(const std::string& path) { return Quoted("CA证书", path, "不是CA证书，不能签发证书！"); }
inline std::string CaKeyMismatch(const std::string& path) { return Quoted("CA私钥", path, "与CA证书不匹配！"); }
inline std::string KeyGenFailed() { return T("生成密钥对失败！"); }
inline std::string IssueFailed() { return T("签发证书失败！"); }
inline std::string Expired(const std::string& what, const std::string& path) { return Quoted(what, path, "已过期！"); }
inline std::string NotYetValid(const std::string& what, const std::string& path) {
  return Quoted(what, path, "尚未生效！");
}
inline std::string NotIssuedByRoot(const std::string& what, const std::string& path) {
  return Quoted(what, path, "不是由根证书签发的！");
}
inline std::string UsageNotForEncryption(const std::string& path) {
  return Quoted("加密证书", path, "的密钥用法不允许用于加密！");
}
inline std::string UsageNotForSigning(const std::string& path) {
  return Quoted("签名证书", path, "的密钥用法不允许用于签名！");
}
inline std::string KeyMismatch(const std::string& keyWhat, const std::string& path, const std::string& certWhat) {
  return Quoted(keyWhat, path, "与") + T(certWhat) + T("不匹配！");
}

}  // namespace qorv_ref::msg
