#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "SettingsFile.h"
#include "FileText.h"
#include "TempDir.h"


TEST(SettingsFile, ValuesAreEscapedAsQtWritesThemAndReadBack) {
  struct Case {
    const char* value;
    const char* written;
  };
  for (const Case& c : {Case{"10.0.0.7:8000:pw", "10.0.0.7:8000:pw"}, Case{"pw;with,=", "\"pw;with,=\""},
                        Case{" spaced ", "\" spaced \""}, Case{"quote\"back\\slash", "quote\\\"back\\\\slash"},
                        Case{"tab\there\nline", "tab\\there\\nline"}, Case{"@at", "@@at"},
                        Case{"caf\xc3\xa9", "caf\xc3\xa9"}, Case{"", ""}}) {
    EXPECT_EQ(SettingsFile::escaped(c.value), c.written) << c.value;
    EXPECT_EQ(SettingsFile::unescaped(c.written), c.value) << c.written;
  }
  EXPECT_EQ(SettingsFile::unescaped("\\x1\\x41"), "\x01" "A");
}

TEST(SettingsFile, OtherGroupsSurviveAndTheFileIsPrivateFromItsCreation) {
  TempDir dir;
  const std::string path = dir.path() + "/Telmora/Vestrel.conf";
  ::mkdir((dir.path() + "/Telmora").c_str(), 0700);
  std::ofstream(path) << "[General]\nwindow=1\n\n[hosts]\ncount=1\nhost0=a:1:x\nname0=A\n";
  const mode_t saved = ::umask(0);  // a process that would make every file readable by all
  SettingsFile file(path);
  ASSERT_TRUE(file.load());
  EXPECT_EQ(file.value("hosts", "host0"), "a:1:x");
  file.replaceGroup("hosts", {{"count", "1"}, {"host0", "b:2:y,z"}, {"name0", "B"}});
  file.replaceGroup("bluetooth", {{"count", "0"}});
  std::string error;
  ASSERT_TRUE(file.save(error)) << error;
  ::umask(saved);
  EXPECT_EQ(fileText(path),
            "[General]\nwindow=1\n\n[hosts]\ncount=1\nhost0=\"b:2:y,z\"\nname0=B\n\n[bluetooth]\ncount=0\n");
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  SettingsFile missing(dir.path() + "/none/Vestrel.conf");
  EXPECT_FALSE(missing.load());
  EXPECT_EQ(missing.value("hosts", "count"), "");
}
