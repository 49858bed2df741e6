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

std::string ProviderLoadFailed(std::string_view fullLibPath) {
  return Wrap("加载加解密组件[", fullLibPath, "]失败！");
}

std::string ProviderRaised(std::string_view functionName) {
  return Wrap("调用加解密组件[", functionName, "]发生异常。");
}

std::string ProviderNotSupported() { return Text("加解密组件不支持该功能。"); }

std::string UnexpectedError() { return Text("加解密管理组件内部发生意外错误！"); }

}  // namespace qorv::msg
