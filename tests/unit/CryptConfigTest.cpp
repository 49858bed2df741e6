#include "config/CryptConfig.h"

#include <gtest/gtest.h>

#include <string>

#include "interface/ParamString.h"
#include "platform/TextConversion.h"
#include "platform/Xml.h"
#include "support/ConfigXml.h"
#include "support/TempDir.h"
#include "util/Messages.h"

namespace qorv {
namespace {

using test::ConfigXml;
using test::CryptEntry;
using test::RootWith;

class CryptConfigTest : public ::testing::Test {
 protected:
  // Writes the document and loads the crypto type from it.
  TCryptConfig Load(const std::string& xml, const std::string& type = "T1") {
    path_ = dir_.Write("crypt.xml", xml);
    return TCryptConfig(path_, type);
  }
  test::TempDir dir_;
  std::string path_;
};

const std::string kT1 = "<CRYPT><NAME>T1</NAME><LIBPATH>p1.dll</LIBPATH><MODE>1</MODE><DESC>one</DESC></CRYPT>";

TEST_F(CryptConfigTest, ReadsEveryFieldOfTheMatchingEntry) {
  CryptEntry entry{"T1", " lib\\p.dll ", "1", " desc ", "1", "1", "root.cer", {{" RevenueCode ", " 12 "}, {"X", "y"}}};
  TCryptConfig config = Load(ConfigXml({{"T0", "other", "2", "zero", "", "", "", {}}, entry}));
  EXPECT_EQ(config.FErrorMsg, "");
  EXPECT_EQ(config.FLibPath, "lib\\p.dll");
  EXPECT_EQ(config.FMode, "1");
  EXPECT_EQ(config.FDesc, "desc");
  EXPECT_EQ(config.FCAMode, "1");
  EXPECT_EQ(config.FCAIsMulti, "1");
  EXPECT_EQ(config.FRootCertFile, "root.cer");
  // PARAM-NAME is trimmed, PARAM-VALUE is kept as written.
  ASSERT_EQ(config.FExtParams.size(), 2u);
  EXPECT_EQ(config.FExtParams[0], "RevenueCode= 12 ");
  EXPECT_EQ(config.ExtParamValue("revenuecode"), " 12 ");
  EXPECT_EQ(config.FFileName, path_);
  EXPECT_EQ(config.FCryptType, "T1");
}

TEST_F(CryptConfigTest, ReportsEachFailureWithItsMessage) {
  const std::string missing = dir_.File("nothing.xml");
  EXPECT_EQ(TCryptConfig(missing, "T1").FErrorMsg, msg::ConfigFileMissing(missing));
  EXPECT_EQ(TCryptConfig("", "T1").FErrorMsg, msg::ConfigFileMissing(""));

  struct Case {
    std::string xml;
    std::string expected;  // "read", "incorrect", "name", "absent"
  };
  const Case cases[] = {
      {"", "read"},
      {"<CRYPTS><CRYPT>", "read"},
      {"just text", "read"},
      {RootWith("<!-- note -->" + kT1), "incorrect"},
      {RootWith("<OTHER/>" + kT1), "incorrect"},
      {RootWith("<x:CRYPT xmlns:x=\"urn:x\"><NAME>T1</NAME></x:CRYPT>"), "incorrect"},
      {RootWith("<CRYPT><MODE>1</MODE></CRYPT>" + kT1), "name"},
      {RootWith("<CRYPT><NAME>   </NAME></CRYPT>" + kT1), "name"},
      {RootWith("<CRYPT><NAME>T0<b/></NAME></CRYPT>" + kT1), "read"},
      {RootWith("<CRYPT><NAME>T1</NAME><LIBPATH>a<b/></LIBPATH></CRYPT>"), "read"},
      {RootWith("<CRYPT><NAME>T1</NAME><MODE>1<!--c--></MODE></CRYPT>"), "read"},
      {RootWith("<CRYPT><NAME>T1</NAME><CA><CAMODE><x/></CAMODE></CA></CRYPT>"), "read"},
      {RootWith("<CRYPT><NAME>T1</NAME><EXTENDS><EXT-PARAM><PARAM-VALUE>v</PARAM-VALUE></EXT-PARAM></EXTENDS></CRYPT>"),
       "read"},
      {RootWith("<CRYPT><NAME>T1</NAME><EXTENDS><EXT-PARAM><PARAM-NAME>n</PARAM-NAME></EXT-PARAM></EXTENDS></CRYPT>"),
       "read"},
      {RootWith(""), "absent"},
      {RootWith("<CRYPT><NAME>T2</NAME></CRYPT>"), "absent"},
  };
  for (const Case& c : cases) {
    TCryptConfig config = Load(c.xml);
    const std::string expected = c.expected == "read"        ? msg::ConfigReadError(path_)
                                 : c.expected == "incorrect" ? msg::ConfigIncorrect()
                                 : c.expected == "name"      ? msg::ConfigNameEmpty()
                                                             : msg::CryptTypeNotConfigured(path_, "T1");
    EXPECT_EQ(config.FErrorMsg, expected) << c.xml;
  }
}

TEST_F(CryptConfigTest, StopsAtTheFirstMatchAndTrimsOnlyTheFileSide) {
  // Anything after the match is never examined.
  TCryptConfig first = Load(RootWith(kT1 + "<CRYPT><NAME>T1</NAME><MODE>2</MODE></CRYPT><!--c--><CRYPT/><X/>"));
  EXPECT_EQ(first.FErrorMsg, "");
  EXPECT_EQ(first.FMode, "1");

  EXPECT_EQ(Load(RootWith("<CRYPT><NAME>  t1 </NAME></CRYPT>")).FErrorMsg, "");
  EXPECT_NE(Load(RootWith("<CRYPT><NAME>T1</NAME></CRYPT>"), " T1").FErrorMsg, "");
  EXPECT_NE(Load(RootWith("<CRYPT><NAME>T1</NAME></CRYPT>"), "T").FErrorMsg, "");
  // Later elements of the same name are ignored; a prefixed name matches by its local name.
  TCryptConfig twice = Load(RootWith("<CRYPT><NAME>T1</NAME><MODE>1</MODE><MODE>2</MODE></CRYPT>"));
  EXPECT_EQ(twice.FMode, "1");
  TCryptConfig prefixed = Load(RootWith("<CRYPT xmlns:q=\"urn:q\"><q:NAME>T1</q:NAME><q:MODE>2</q:MODE></CRYPT>"));
  EXPECT_EQ(prefixed.FErrorMsg, "");
  EXPECT_EQ(prefixed.FMode, "2");
}

TEST_F(CryptConfigTest, SkipsNamelessExtensionParametersAndOtherChildren) {
  TCryptConfig config = Load(RootWith(
      "<CRYPT><NAME>T1</NAME><EXTENDS><OTHER/><EXT-PARAM><PARAM-NAME> </PARAM-NAME></EXT-PARAM>"
      "<EXT-PARAM><PARAM-NAME>A</PARAM-NAME><PARAM-VALUE/></EXT-PARAM>"
      "<EXT-PARAM><PARAM-NAME>B</PARAM-NAME><PARAM-VALUE><![CDATA[ <x> ]]></PARAM-VALUE></EXT-PARAM>"
      "</EXTENDS></CRYPT>"));
  EXPECT_EQ(config.FErrorMsg, "");
  ASSERT_EQ(config.FExtParams.size(), 2u);
  EXPECT_EQ(config.FExtParams[0], "A=");
  EXPECT_EQ(config.FExtParams[1], "B= <x> ");
}

TEST_F(CryptConfigTest, AppendDescriptionSetsExtensionsThenTheFourSettings) {
  TCryptConfig config = Load(ConfigXml({{"T1", "p.dll", "2", "d", "", "", "", {{"mode", "ext"}, {"K=v", "w"}, {"K", "later"}}}}));
  ASSERT_EQ(config.FErrorMsg, "");
  const std::string described = config.AppendDescription(";Keep=1;");
  // K=v=w splits at the first equals sign; the later K overwrites it; the configured
  // Mode overwrites the extension parameter of that name; CAMode and CAISMULTI are set empty.
  EXPECT_EQ(GetParamValue(described, "K"), "later");
  EXPECT_EQ(GetParamValue(described, "Mode"), "2");
  EXPECT_EQ(GetParamValue(described, "Keep"), "1");
  EXPECT_EQ(GetParamValue(described, "DESC"), "d");
  EXPECT_NE(described.find("CAMode=;"), std::string::npos) << described;
  EXPECT_NE(described.find("CAISMULTI=;"), std::string::npos) << described;
  EXPECT_EQ(GetParamValue(described, "NAME"), "");
  EXPECT_EQ(described, ";Keep=1;;Mode=2;K=later;CAMode=;CAISMULTI=;DESC=d");
}

TEST_F(CryptConfigTest, ReadsEveryDeclaredEncodingTheSame) {
  // 中文 in each encoding, as NAME and DESC.
  const std::string chinese = "\xE4\xB8\xAD\xE6\x96\x87";
  const std::string gbk = "\xD6\xD0\xCE\xC4";
  const std::string body = "<CRYPTS><CRYPT><NAME>N</NAME><DESC>" + chinese + "</DESC></CRYPT></CRYPTS>";
  const std::string gbkBody = "<CRYPTS><CRYPT><NAME>N</NAME><DESC>" + gbk + "</DESC></CRYPT></CRYPTS>";
  const std::string decl16 = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>";
  const std::string documents[] = {
      body,
      "\xEF\xBB\xBF" + body,
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>" + body,
      "<?xml version=\"1.0\" encoding=\"GBK\"?>" + gbkBody,
      "<?xml version=\"1.0\" encoding=\"GB2312\"?>" + gbkBody,
      "<?xml version='1.0' encoding='gb18030'?>" + gbkBody,
      "\xFF\xFE" + test::Utf16Bytes(decl16 + body, false),
      "\xFE\xFF" + test::Utf16Bytes(decl16 + body, true),
      test::Utf16Bytes(decl16 + body, false),
  };
  for (const std::string& document : documents) {
    TCryptConfig config = Load(document, "N");
    EXPECT_EQ(config.FErrorMsg, "") << document;
    EXPECT_EQ(config.FDesc, platform::Utf8ToHostText(chinese)) << document;
  }
}

TEST_F(CryptConfigTest, RefusesDocumentTypesUnknownEncodingsAndBadBytes) {
  const std::string entry = "<CRYPTS><CRYPT><NAME>T1</NAME></CRYPT></CRYPTS>";
  const std::string refused[] = {
      "<!DOCTYPE CRYPTS [<!ENTITY x \"y\">]>" + entry,
      "<?xml version=\"1.0\"?>\n<!-- c --><!DOCTYPE CRYPTS SYSTEM \"other.dtd\">" + entry,
      "<?xml version=\"1.0\"?><!DOCTYPE CRYPTS [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;\">]>"
      "<CRYPTS><CRYPT><NAME>T1</NAME><DESC>&b;</DESC></CRYPT></CRYPTS>",
      "<?xml version=\"1.0\" encoding=\"EBCDIC-XYZ\"?>" + entry,
      "<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + entry,  // says UTF-16 but is not
      "<CRYPTS><CRYPT><NAME>T1</NAME><DESC>\xFF\xFE</DESC></CRYPT></CRYPTS>",  // not UTF-8
      "<?xml version=\"1.0\" encoding=\"GBK\"?><CRYPTS><CRYPT><NAME>T1</NAME><DESC>\x81</DESC></CRYPT></CRYPTS>",
  };
  for (const std::string& document : refused) {
    const std::string error = Load(document).FErrorMsg;
    EXPECT_EQ(error, msg::ConfigReadError(path_)) << document;
  }
  // CRYPTS, CRYPT and EXTENDS are depths 1 to 3; the deepest <a> is at 3 + levels.
  auto nested = [](int levels) {
    std::string deep = "<CRYPTS><CRYPT><NAME>T1</NAME><EXTENDS>";
    for (int i = 0; i < levels; ++i) deep += "<a>";
    for (int i = 0; i < levels; ++i) deep += "</a>";
    return deep + "</EXTENDS></CRYPT></CRYPTS>";
  };
  EXPECT_EQ(Load(nested(platform::kMaxXmlDepth - 4)).FErrorMsg, "");
  EXPECT_EQ(Load(nested(platform::kMaxXmlDepth - 3)).FErrorMsg, msg::ConfigReadError(path_));
  EXPECT_EQ(Load(nested(400)).FErrorMsg, msg::ConfigReadError(path_));
}

}  // namespace
}  // namespace qorv
