// The Windows package: what a user unpacks must hold the program and all it
// looks for beside itself. The Windows journeys run from this package too.
#include "Desktop.h"
#include "VintrelProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

using namespace e2e;

namespace {

std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        if (!line.empty()) lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return lines;
}

TEST(WindowsPackage, HoldsTheProgramItsClientLibraryTemplatesHelpAndReadme)
{
    std::string build = WindowsBuildDirectory();
    if (build.empty()) GTEST_SKIP() << "VINTREL_E2E_WINDOWS names no Windows build";
    if (ReadFile(build + "/libmysql.dll").empty())
        GTEST_SKIP() << "no " << build << "/libmysql.dll, so no package: scripts/client-dll.sh could not build it";
    std::string zip = Quote(build + "/vintrel-windows.zip");
    CommandResult listing = e2e::Run("unzip -Z1 " + zip + " 2>&1");
    ASSERT_EQ(0, listing.Status) << listing.Output;

    std::string expected = "vintrel.exe\nlibmysql.dll\nvrl.chm\nREADME.txt\ntemplates/\n";
    for (const std::string &name : Lines(e2e::Run("cd " + Quote(build) + " && ls templates/*.sql").Output))
        expected += name + "\n";
    EXPECT_EQ(Lines(expected), Lines(listing.Output));

    // The library and the help as built, the readme in Windows' line ends.
    EXPECT_EQ(0, e2e::Run("unzip -p " + zip + " libmysql.dll | cmp -s - " + Quote(build + "/libmysql.dll")).Status);
    EXPECT_EQ(0, e2e::Run("unzip -p " + zip + " vrl.chm | cmp -s - " + Quote(build + "/vrl.chm")).Status);
    std::string readme = e2e::Run("unzip -p " + zip + " README.txt").Output;
    EXPECT_NE(std::string::npos, readme.find("settings.ini")) << readme;
    EXPECT_NE(std::string::npos, readme.find("Schannel")) << readme;
    EXPECT_EQ(std::count(readme.begin(), readme.end(), '\n'), std::count(readme.begin(), readme.end(), '\r'));
}

} // namespace
