// Character encodings a configuration document may arrive in.
#pragma once

namespace qorv::platform {

enum class TextEncoding {
  Utf8,
  Utf16LE,
  Utf16BE,
  Gbk,      // GBK and its subset GB2312 (code page 936)
  Gb18030,  // code page 54936
  Latin1,   // ISO-8859-1
  Ascii,
  Windows1252,
};

}  // namespace qorv::platform
