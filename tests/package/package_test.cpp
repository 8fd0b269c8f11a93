// The Debian package as a lab machine gets it: CPack builds it from this
// build tree, dpkg-deb unpacks it into a scratch root, and the program runs
// from there: --version and a headless script. Its control fields, desktop
// entry, icon and manual page are checked against what the program says of
// itself.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>
#include <string>

#include "system/program_run.h"

namespace packagetest {
namespace {

using systemtest::ReadFile;
using systemtest::TempDir;
using systemtest::WriteFile;

// Runs a shell command; its standard output, and its status in `status`.
std::string Shell(const std::string& command, int* status = nullptr) {
  const std::string dir = TempDir();
  const int raw = std::system((command + " >'" + dir + "/out' 2>'" + dir + "/err'").c_str());
  const int code = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  if (status) *status = code;
  EXPECT_TRUE(status || code == 0) << command << ": " << ReadFile(dir + "/err");
  return ReadFile(dir + "/out");
}

class Package : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    work_ = TempDir();
    int status = 0;
    Shell("cpack --config '" CPACK_CONFIG "' -B '" + work_ + "'", &status);
    std::string arch = Shell("dpkg --print-architecture");
    arch.erase(arch.find_last_not_of('\n') + 1);
    deb_ = work_ + "/osciloskop_" OSCILOSKOP_VERSION "_" + arch + ".deb";
    root_ = work_ + "/root";
    if (status == 0) Shell("dpkg-deb -x '" + deb_ + "' '" + root_ + "'", &status);
    built_ = status == 0;
  }
  void SetUp() override { ASSERT_TRUE(built_) << "cpack or dpkg-deb failed in " << work_; }

  static std::string Field(const std::string& name) {
    std::string v = Shell("dpkg-deb -f '" + deb_ + "' " + name);
    while (!v.empty() && v.back() == '\n') v.pop_back();
    return v;
  }
  static std::string Exe() { return root_ + "/usr/bin/osciloskop"; }

  static inline std::string work_, deb_, root_;
  static inline bool built_ = false;
};

TEST_F(Package, IsNamedAfterVersionAndArchitectureWithItsDependencies) {
  EXPECT_EQ(Field("Package"), "osciloskop");
  EXPECT_EQ(Field("Version"), OSCILOSKOP_VERSION);
  EXPECT_EQ(Field("Section"), "science");
  const std::string depends = Field("Depends");
  for (const char* p :
       {"libqt6widgets6", "libqt6gui6", "libqt6core6", "libasound2", "fonts-liberation2"})
    EXPECT_NE(depends.find(p), std::string::npos) << p << " not in " << depends;
  EXPECT_FALSE(Field("Maintainer").empty());
  EXPECT_FALSE(Field("Description").empty());
}

TEST_F(Package, RunsFromTheUnpackedRoot) {
  const std::string dir = TempDir();
  int status = 0;
  EXPECT_EQ(Shell("'" + Exe() + "' --version", &status), "osciloskop " OSCILOSKOP_VERSION "\n");
  EXPECT_EQ(status, 0);
  WriteFile(dir + "/s.txt",
            "wait 1.3\nscreenshot " + dir + "/s.png\ndump " + dir + "/d.json\nclose\n");
  Shell("'" + Exe() + "' --headless --script='" + dir + "/s.txt' --signal-r=sine:600:16000",
        &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(ReadFile(dir + "/d.json").find("\"text\": \"  570 Hz\""), std::string::npos);
  EXPECT_EQ(ReadFile(dir + "/s.png").substr(1, 3), "PNG");
}

TEST_F(Package, DesktopEntryIconAndManualPage) {
  const std::string entry = ReadFile(root_ + "/usr/share/applications/osciloskop.desktop");
  for (const char* line : {"\nType=Application\n", "\nName=Osciloskop\n", "\nIcon=osciloskop\n",
                           "\nCategories=Science;Electronics;\n", "\nExec=osciloskop --card=alsa\n",
                           "\nTerminal=false\n"})
    EXPECT_NE(entry.find(line), std::string::npos) << line;
  EXPECT_TRUE(
      std::regex_search(entry, std::regex("\nComment=[^\n]*osciloskop[^\n]*zvukové kartě\n")))
      << "a Czech comment";
  const std::string icon =
      ReadFile(root_ + "/usr/share/icons/hicolor/scalable/apps/osciloskop.svg");
  EXPECT_NE(icon.find("<svg"), std::string::npos);

  // The manual page names every option of --help and every script command.
  const std::string man = Shell("gzip -dc '" + root_ + "/usr/share/man/man1/osciloskop.1.gz'");
  EXPECT_NE(man.find(".TH OSCILOSKOP 1 \"\" \"osciloskop " OSCILOSKOP_VERSION "\""),
            std::string::npos);
  const std::string help = Shell("'" + Exe() + "' --help");
  const std::regex option("\n  (--[a-z-]+)");
  int options = 0;
  for (auto it = std::sregex_iterator(help.begin(), help.end(), option);
       it != std::sregex_iterator(); ++it, ++options) {
    std::string troff;  // "-" is "\-" in the page
    for (char c : (*it)[1].str()) troff += c == '-' ? std::string("\\-") : std::string(1, c);
    EXPECT_NE(man.find(troff), std::string::npos) << (*it)[1] << " is not in the manual page";
  }
  EXPECT_GE(options, 13);
  // The script commands, as --help lists them.
  const std::string listed = help.substr(help.find("Script commands"));
  const std::regex command_line("\n  ([a-z]+) ");
  int commands = 0;
  for (auto it = std::sregex_iterator(listed.begin(), listed.end(), command_line);
       it != std::sregex_iterator(); ++it, ++commands)
    EXPECT_TRUE(std::regex_search(man, std::regex("\n\\.B[IR]? " + (*it)[1].str() + "\\b")))
        << (*it)[1] << " is not in the manual page";
  EXPECT_GE(commands, 14);
  for (const char* section : {"OPTIONS", "SCRIPT COMMANDS", "FILES", "EXIT STATUS"})
    EXPECT_NE(man.find(std::string(".SH ") + section), std::string::npos) << section;
}

}  // namespace
}  // namespace packagetest
