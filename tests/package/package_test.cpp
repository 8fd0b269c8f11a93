// The Debian package as a lab machine gets it (package_root.h), and the
// program run from its scratch root: --version and a headless script. Its
// control fields, desktop entry, icon, manual page, changelog and AppStream
// metainfo are checked against what the program says of itself, and lintian
// and appstreamcli find nothing to warn about.
#include <regex>
#include <string>
#include <vector>

#include "package/package_root.h"

namespace packagetest {
namespace {

TEST_F(Package, IsNamedAfterVersionAndArchitectureWithItsDependencies) {
  EXPECT_EQ(Field("Package"), "osciloskop");
  EXPECT_EQ(Field("Version"), OSCILOSKOP_VERSION);
  EXPECT_EQ(Field("Section"), "science");
  const std::string depends = Field("Depends");
  for (const char* p : {"libqt6widgets6", "libqt6gui6", "libqt6core6", "libasound2",
                        "libsndfile1", "libsoxr0", "fonts-liberation2"})
    EXPECT_NE(depends.find(p), std::string::npos) << p << " not in " << depends;
  EXPECT_NE(Field("Recommends").find("qt6-wayland"), std::string::npos) << Field("Recommends");
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
  const std::string entry = ReadFile(DesktopEntry());
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
  const std::regex command_line("\n  ([a-z-]+) ");
  int commands = 0;
  for (auto it = std::sregex_iterator(listed.begin(), listed.end(), command_line);
       it != std::sregex_iterator(); ++it, ++commands) {
    std::string troff;
    for (char c : (*it)[1].str()) troff += c == '-' ? std::string("\\\\-") : std::string(1, c);
    EXPECT_TRUE(std::regex_search(man, std::regex("\n\\.B[IR]? " + troff + "\\b")))
        << (*it)[1] << " is not in the manual page";
  }
  EXPECT_GE(commands, 14);
  for (const char* section : {"OPTIONS", "SCRIPT COMMANDS", "FILES", "EXIT STATUS"})
    EXPECT_NE(man.find(std::string(".SH ") + section), std::string::npos) << section;
}

TEST_F(Package, LintianReportsNoErrorOrWarning) {
  PACKAGE_TEST_NEEDS("lintian");
  int status = 0;
  const std::string report = Shell("lintian '" + deb_ + "'", &status);
  EXPECT_EQ(status, 0) << report;
  EXPECT_FALSE(std::regex_search(report, std::regex("(^|\n)[EW]: "))) << report;
}

// The metainfo validates, launches the package's desktop entry, and its
// newest release is this version, as is the changelog's newest entry.
TEST_F(Package, AppStreamMetainfoAndChangelogNameThisVersion) {
  PACKAGE_TEST_NEEDS("appstreamcli");
  const std::string file = root_ + "/usr/share/metainfo/" OSCILOSKOP_APP_ID ".metainfo.xml";
  int status = 0;
  const std::string report = Shell("appstreamcli validate --no-net '" + file + "'", &status);
  EXPECT_EQ(status, 0) << report;
  EXPECT_FALSE(std::regex_search(report, std::regex("(^|\n)[EW]: "))) << report;
  const std::string xml = ReadFile(file);
  EXPECT_NE(xml.find("<id>" OSCILOSKOP_APP_ID "</id>"), std::string::npos);
  EXPECT_NE(xml.find("<launchable type=\"desktop-id\">" OSCILOSKOP_APP_ID ".desktop<"),
            std::string::npos);
  EXPECT_FALSE(ReadFile(DesktopEntry()).empty());
  for (const char* tag : {"name", "summary"})
    EXPECT_TRUE(std::regex_search(xml, std::regex(std::string("<") + tag + " xml:lang=\"cs\">")))
        << "a Czech " << tag;
  std::smatch newest;
  ASSERT_TRUE(std::regex_search(xml, newest, std::regex("<release version=\"([^\"]+)\"")));
  EXPECT_EQ(newest[1], OSCILOSKOP_VERSION);
  const std::string changelog =
      Shell("gzip -dc '" + root_ + "/usr/share/doc/osciloskop/changelog.gz'");
  EXPECT_EQ(changelog.rfind("osciloskop (" OSCILOSKOP_VERSION ") ", 0), 0u) << changelog;
}

}  // namespace
}  // namespace packagetest
