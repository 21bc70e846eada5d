// The packages: what a user unpacks or installs must hold the program and
// all it looks for beside itself. The Windows journeys run from the Windows
// package; the Debian package's program is started once as installed, in a
// new Wine prefix of its own; the Windows installer is installed, run and
// removed again in another.
#include "Desktop.h"
#include "ProgramTest.h"
#include "VintrelProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

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

// The Debian package ----------------------------------------------------------

// The one package scripts/build.sh left in the build directory, or "".
std::string DebianPackageFile()
{
    std::vector<std::string> found =
        Lines(e2e::Run("ls " + Quote(BuildDirectory()) + "/vintrel_*_amd64.deb 2>/dev/null").Output);
    return found.size() == 1 ? found[0] : "";
}

// The width and height a PNG file's header gives, or 0 x 0 when it is none.
std::pair<int, int> PngSize(const std::string &bytes)
{
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || bytes.compare(12, 4, "IHDR") != 0)
        return {0, 0};
    auto number = [&](size_t at) {
        int value = 0;
        for (size_t i = at; i < at + 4; i++) value = value << 8 | static_cast<unsigned char>(bytes[i]);
        return value;
    };
    return {number(16), number(20)};
}

// A scratch directory, with the package unpacked under root/ as dpkg would
// install it under /.
class UnpackedPackage {
public:
    UnpackedPackage()
    {
        char pattern[] = "/tmp/vintrel-deb.XXXXXX";
        Scratch = mkdtemp(pattern);
        Root = Scratch + "/root";
        Package = DebianPackageFile();
        if (!Package.empty()) Unpacked = e2e::Run("dpkg -x " + Quote(Package) + " " + Quote(Root)).Status == 0;
    }
    ~UnpackedPackage()
    {
        // Whatever a test took away from the files' modes is given back, so
        // that the directory can be removed.
        e2e::Run("chmod -R u+w " + Quote(Scratch) + " 2>/dev/null; rm -rf " + Quote(Scratch));
    }
    std::string Scratch, Root, Package;
    bool Unpacked = false;
};

TEST(DebianPackage, InstallsTheProgramItsFilesALauncherADesktopEntryAndItsIcon)
{
    UnpackedPackage deb;
    ASSERT_FALSE(deb.Package.empty()) << "no single vintrel_*_amd64.deb in " << BuildDirectory()
                                      << " (scripts/build.sh makes it)";
    ASSERT_TRUE(deb.Unpacked);

    // Exactly these files: the program with all it looks for beside itself,
    // nothing of the build's own (the help project, the compiled help's
    // sources). Directories as Debian's are; everything root's.
    std::string build = BuildDirectory();
    std::string expected = "./usr/bin/vintrel\n./usr/lib/vintrel/vintrel.exe.so\n./usr/lib/vintrel/vintrel-prefix.sh\n"
                           "./usr/lib/vintrel/vrl.chm\n./usr/share/applications/vintrel.desktop\n"
                           "./usr/share/icons/hicolor/16x16/apps/vintrel.png\n"
                           "./usr/share/icons/hicolor/32x32/apps/vintrel.png\n"
                           "./usr/share/icons/hicolor/48x48/apps/vintrel.png\n./usr/share/pixmaps/vintrel.png\n";
    for (const std::string &page : Lines(e2e::Run("cd " + Quote(build) + " && ls help/*.html").Output))
        expected += "./usr/lib/vintrel/" + page + "\n";
    for (const std::string &name : Lines(e2e::Run("cd " + Quote(build) + " && ls templates/*.sql").Output))
        expected += "./usr/lib/vintrel/" + name + "\n";
    std::string listing = e2e::Run("dpkg-deb -c " + Quote(deb.Package)).Output;
    EXPECT_EQ(Lines(expected), Lines(e2e::Run("dpkg-deb -c " + Quote(deb.Package) +
                                              " | awk '$1 !~ /^d/ {print $6}'").Output));
    for (const std::string &entry : Lines(listing)) {
        EXPECT_NE(std::string::npos, entry.find(" root/root ")) << entry;
        if (entry[0] == 'd') {
            EXPECT_EQ(0u, entry.rfind("drwxr-xr-x ", 0)) << entry;
        }
    }
    for (const char *program : {"/usr/bin/vintrel", "/usr/lib/vintrel/vintrel-prefix.sh", "/usr/lib/vintrel/vintrel.exe.so"})
        EXPECT_EQ(0, access((deb.Root + program).c_str(), X_OK)) << program;
    EXPECT_EQ(0, e2e::Run("cmp -s " + Quote(build + "/vintrel.exe.so") + " " +
                          Quote(deb.Root + "/usr/lib/vintrel/vintrel.exe.so")).Status);

    // What it needs from Debian, and no database server among it.
    std::string depends = RunLine("dpkg-deb -f " + Quote(deb.Package) + " Depends");
    std::vector<std::string> names =
        Lines(e2e::Run("printf '%s\\n' " + Quote(depends) + " | tr ',' '\\n' | awk '{print $1}'").Output);
    EXPECT_EQ(Lines("wine64\nlibmariadb3\nfonts-liberation\nfonts-wine\nfonts-wqy-microhei\nfonts-symbola\nxdg-utils\n"),
              names)
        << depends;
    EXPECT_EQ("openssh-client, x11-xserver-utils", RunLine("dpkg-deb -f " + Quote(deb.Package) + " Recommends"));
    EXPECT_EQ("vintrel", RunLine("dpkg-deb -f " + Quote(deb.Package) + " Package"));
    EXPECT_EQ("amd64", RunLine("dpkg-deb -f " + Quote(deb.Package) + " Architecture"));

    // The desktop entry starts the command on the PATH with the icon beside.
    std::string entry = ReadFile(deb.Root + "/usr/share/applications/vintrel.desktop");
    for (const char *line : {"[Desktop Entry]\n", "\nType=Application\n", "\nName=Vintrel\n", "\nExec=vintrel\n",
                             "\nIcon=vintrel\n", "\nTerminal=false\n"})
        EXPECT_NE(std::string::npos, entry.find(line)) << line;
    std::string icon = ReadFile(deb.Root + "/usr/share/icons/hicolor/32x32/apps/vintrel.png");
    EXPECT_EQ(std::make_pair(32, 32), PngSize(icon));
    EXPECT_EQ(std::make_pair(16, 16), PngSize(ReadFile(deb.Root + "/usr/share/icons/hicolor/16x16/apps/vintrel.png")));
    EXPECT_EQ(icon, ReadFile(deb.Root + "/usr/share/pixmaps/vintrel.png"));
}

// A Wine prefix of a test's own: its Wine processes (its desktop, its
// services) end with its server when the test ends.
struct PrefixServer {
    std::string Prefix;
    ~PrefixServer() { e2e::Run("WINEPREFIX=" + Quote(Prefix) + " wineserver -k 2>/dev/null"); }
};

// The program cannot write beside itself once installed. Root can write
// anywhere, whatever the modes say: for root the directory is made
// read-only by a read-only bind mount in a mount namespace of the
// program's own; for other users by its mode.
class InstalledPackage : public ProgramTest {
protected:
    // The launcher's command with the program's directory read-only, or an
    // empty one when that cannot be done here.
    std::vector<std::string> ReadOnlyLauncher(const std::string &root)
    {
        std::string lib = root + "/usr/lib/vintrel", launcher = root + "/usr/bin/vintrel";
        if (geteuid() != 0) {
            e2e::Run("chmod -R a-w " + Quote(lib));
            return {launcher};
        }
        const std::string readOnly = "mount --bind \"$0\" \"$0\" && mount -o remount,bind,ro \"$0\" && ";
        if (e2e::Run("unshare -m --propagation private sh -c " + Quote(readOnly + "! touch \"$0/probe\"") + " " +
                     Quote(lib) + " 2>/dev/null").Status != 0) {
            e2e::Run("rm -f " + Quote(lib + "/probe"));
            return {};
        }
        return {"unshare", "-m", "--propagation", "private", "sh", "-c", readOnly + "exec \"$1\"", lib, launcher};
    }
};

TEST_F(InstalledPackage, StartsInANewWinePrefixAndKeepsItsSettingsInTheUsersFolder)
{
    if (TestingWindowsBuild()) GTEST_SKIP() << "the Debian package holds the Linux build";
    UnpackedPackage deb;
    ASSERT_FALSE(deb.Package.empty()) << "no single vintrel_*_amd64.deb in " << BuildDirectory();
    ASSERT_TRUE(deb.Unpacked);
    std::string lib = deb.Root + "/usr/lib/vintrel";
    std::string prefix = deb.Scratch + "/data/vintrel/wineprefix";
    std::vector<std::string> command = ReadOnlyLauncher(deb.Root);
    bool readOnly = !command.empty();
    if (!readOnly) {
        fprintf(stderr, "the test runs as root without mount namespaces: the program's directory stays writable\n");
        command = {deb.Root + "/usr/bin/vintrel"};
    }

    // A new prefix takes some seconds before the frame shows. The tests'
    // display has no window manager: Wine's own windows, as in every test.
    // The server script a source tree's ./run names would be started by
    // "Start local server"; the installed program starts none.
    std::string serverScript = deb.Scratch + "/embedded-server.sh";
    WriteFile(serverScript, "touch " + Quote(deb.Scratch + "/server-started") + "\n");
    bool started = program.StartCommand(account.Socket, command,
                                        {"VINTREL_PACKAGE_ROOT=" + deb.Root, "XDG_DATA_HOME=" + deb.Scratch + "/data",
                                         "VINTREL_UNMANAGED_WINDOWS=1", "VINTREL_EMBEDDED_SERVER=" + serverScript},
                                        90);
    PrefixServer server{prefix};
    ASSERT_TRUE(started) << ReadFile(program.WorkDirectory() + "/wine.log");
    EXPECT_EQ("Vintrel", program.FrameTitle());

    // The prefix was made with the fonts and settings the program needs.
    EXPECT_EQ(0, e2e::Run("ls " + Quote(prefix) + "/.vintrel-ready-* >/dev/null 2>&1").Status);
    EXPECT_NE(std::string::npos, ReadFile(prefix + "/user.reg").find("\"Courier New\"=\"Liberation Mono\""));
    EXPECT_FALSE(ReadFile(prefix + "/drive_c/windows/Fonts/tahoma.ttf").empty());

    // Connecting as a person does, with "Start local server" and "Save
    // password".
    ASSERT_FALSE(program.WaitForWindow("^Connect to MySQL Server$").empty());
    Pause(200);
    Keys("Tab space Tab"); // from the server to its check box, then the user name
    Type(account.User);
    Keys("Tab");
    Type(account.Password);
    Keys("Tab space Return");
    ASSERT_TRUE(program.WaitUntilGone("^Connect to MySQL Server$", 20))
        << (program.MessageBoxShown() ? "a message box is open: were the settings not saved?" : "");
    ASSERT_TRUE(program.MaximizeQueryWindow());
    EXPECT_EQ("Vintrel - [Query - localhost.mysql." + account.User + "@localhost - Untitled1]", program.FrameTitle());

    std::vector<std::string> saved =
        Lines(e2e::Run("ls " + Quote(prefix) + "/drive_c/users/*/AppData/Roaming/Vintrel/settings.ini 2>/dev/null").Output);
    if (readOnly) {
        ASSERT_EQ(1u, saved.size()) << "no settings.ini in the prefix's application-data folder";
        std::string settings = ReadFile(saved[0]);
        EXPECT_NE(std::string::npos, settings.find("\r\nstartmysql=0100000001\r\n")) << settings;
        EXPECT_NE(std::string::npos, settings.find("\r\nuser=" + account.User + "\r\n")) << settings;
        // The password went to the desktop's keyring, not into the file.
        EXPECT_NE(std::string::npos, settings.find("\r\npassword=\r\npasswordstore=keyring\r\n")) << settings;
        EXPECT_EQ(std::string::npos, settings.find(account.Password)) << settings;
        struct stat status = {};
        ASSERT_EQ(0, stat(saved[0].c_str(), &status));
        EXPECT_EQ(0600u, status.st_mode & 0777);
        EXPECT_NE(0, access((lib + "/settings.ini").c_str(), F_OK)) << "settings.ini beside the installed program";
    } else {
        EXPECT_TRUE(saved.empty());
        EXPECT_EQ(0, access((lib + "/settings.ini").c_str(), F_OK)) << "a writable directory keeps settings.ini";
    }

    // The help pages are found where the package put them.
    Keys("F1");
    std::string opened;
    EXPECT_TRUE(WaitFor([&] { return !(opened = ReadFile(program.WorkDirectory() + "/opened.txt")).empty(); },
                        std::chrono::seconds(15)));
    EXPECT_EQ(lib + "/help/index.html\n", opened);
    program.Kill();
    EXPECT_NE(0, access((deb.Scratch + "/server-started").c_str(), F_OK)) << "a database server was started";
}

// The Windows installer -------------------------------------------------------

// vintrel-setup.msi as an administrator deploys it, in a new Wine prefix:
// installed silently over an older version, the installed program started
// and connected, then removed silently by the uninstaller its entry names.
// Under Wine everyone is an administrator, so the package's per-user
// default installs for the machine, into Program Files.
class WindowsInstaller : public ProgramTest {
protected:
    // A command run in the test's prefix. Wine's menu builder stays off:
    // it would copy the Start menu's shortcut to the Linux desktop's menu.
    CommandResult InPrefix(const std::string &command)
    {
        return e2e::Run("WINEPREFIX=" + Quote(Prefix) + " WINEDLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe=d' " +
                        command + " 2>&1");
    }

    // The entries of the installed-programs list named Vintrel as reg
    // query shows them: a paragraph each, of "    Name    TYPE    value"
    // lines.
    std::string InstalledEntries()
    {
        return InPrefix("wine reg query 'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall' /s | "
                        "tr -d '\\r' | awk -v RS= '/DisplayName +REG_SZ +Vintrel\\n/'")
            .Output;
    }
    // How often part occurs in text.
    static int Count(const std::string &text, const std::string &part)
    {
        int count = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) count++;
        return count;
    }

    std::string Prefix;
};

TEST_F(WindowsInstaller, InstallsOverAnOlderVersionRunsAndUninstallsKeepingTheSettings)
{
    std::string build = WindowsBuildDirectory();
    if (build.empty()) GTEST_SKIP() << "VINTREL_E2E_WINDOWS names no Windows build";
    std::string msi = build + "/vintrel-setup.msi", zip = build + "/vintrel-windows.zip";
    ASSERT_FALSE(ReadFile(msi).empty()) << "no " << msi << ": scripts/package-windows.sh makes it beside the zip";
    const char *source = getenv("VINTREL_E2E_SOURCE"), *versionSet = getenv("VINTREL_E2E_VERSION");
    ASSERT_TRUE(source && versionSet) << "run through CTest: it names the source tree and the version";
    std::string version = versionSet;
    Prefix = program.WorkDirectory() + "/prefix";
    PrefixServer server{Prefix};
    CommandResult prepared = InPrefix(std::string(source) + "/packaging/vintrel-prefix.sh");
    ASSERT_EQ(0, prepared.Status) << prepared.Output;

    // An older version, made from the same zip, then this one over it.
    std::string older = program.WorkDirectory() + "/older.msi";
    CommandResult made =
        e2e::Run(std::string(source) + "/scripts/package-msi.sh " + Quote(zip) + " 0.9 " + Quote(older) + " 2>&1");
    ASSERT_EQ(0, made.Status) << made.Output;
    CommandResult installed = InPrefix("wine msiexec /i " + Quote(WindowsPath(older)) + " /qn");
    ASSERT_EQ(0, installed.Status) << installed.Output;
    EXPECT_EQ(1, Count(InstalledEntries(), "DisplayVersion    REG_SZ    0.9\n"));
    installed = InPrefix("wine msiexec /i " + Quote(WindowsPath(msi)) + " /qn");
    ASSERT_EQ(0, installed.Status) << installed.Output;

    // One entry, of this version, with its publisher and uninstaller.
    std::string entries = InstalledEntries();
    EXPECT_EQ(1, Count(entries, "DisplayName")) << "the older version was not replaced:\n" << entries;
    EXPECT_EQ(1, Count(entries, "    DisplayVersion    REG_SZ    " + version + "\n")) << entries;
    EXPECT_EQ(1, Count(entries, "    Publisher    REG_SZ    Vintrel developers\n")) << entries;
    std::smatch uninstaller;
    ASSERT_TRUE(std::regex_search(entries, uninstaller,
                                  std::regex("UninstallString +REG_EXPAND_SZ +(MsiExec.exe /X\\{[-0-9A-F]+\\})\n")));

    // What the zip holds, with the installer's marker, and a Start menu
    // shortcut.
    std::string folder = Prefix + "/drive_c/Program Files/Vintrel";
    std::string expected = "./installed.txt\n";
    for (const std::string &name : Lines(e2e::Run("unzip -Z1 " + Quote(zip)).Output))
        if (name.back() != '/') expected += "./" + name + "\n";
    EXPECT_EQ(Lines(expected), Lines(e2e::Run("cd " + Quote(folder) + " && find . -type f").Output));
    auto shortcuts = [&] { return Lines(e2e::Run("find " + Quote(Prefix + "/drive_c") + " -name Vintrel.lnk").Output); };
    EXPECT_EQ(1u, shortcuts().size());

    // The executable carries the build's version: its version resource's
    // strings (UTF-16), each name followed by its value.
    std::string strings = e2e::Run("strings -e l -n 3 " + Quote(folder + "/vintrel.exe")).Output;
    std::vector<std::string> pairs = {"ProductName\nVintrel\n", "ProductVersion\n" + version + "\n",
                                      "FileVersion\n" + version + "\n",
                                      "FileDescription\nVintrel, a query tool for MySQL and MariaDB servers\n"};
    for (const std::string &pair : pairs) EXPECT_NE(std::string::npos, strings.find(pair)) << pair;

    // Started from there and connected as a person does, saving the
    // password: the settings go to the user's folder, not the installed one.
    ASSERT_TRUE(program.StartCommand(account.Socket, {"wine", "C:\\Program Files\\Vintrel\\vintrel.exe"},
                                     {"WINEPREFIX=" + Prefix}, 60))
        << ReadFile(program.WorkDirectory() + "/wine.log");
    ASSERT_FALSE(program.WaitForWindow("^Connect to MySQL Server$").empty());
    Pause(200);
    Keys("Tab Tab");
    Type(account.User);
    Keys("Tab");
    Type(account.Password);
    Keys("Tab space Return");
    ASSERT_TRUE(program.WaitUntilGone("^Connect to MySQL Server$", 20));
    ASSERT_TRUE(program.MaximizeQueryWindow());
    EXPECT_EQ(FrameTitleFor("mysql", account.User, "Untitled1"), program.FrameTitle());
    program.Kill();
    std::vector<std::string> saved =
        Lines(e2e::Run("ls " + Quote(Prefix) + "/drive_c/users/*/AppData/Roaming/Vintrel/settings.ini").Output);
    ASSERT_EQ(1u, saved.size()) << "no settings.ini in the user's application-data folder";
    std::string settings = ReadFile(saved[0]);
    EXPECT_NE(std::string::npos, settings.find("\r\nuser=" + account.User + "\r\n")) << settings;
    EXPECT_NE(0, access((folder + "/settings.ini").c_str(), F_OK)) << "settings.ini in the installed folder";

    // Removed by its entry's uninstaller: nothing stays but the settings.
    CommandResult removed = InPrefix("wine " + uninstaller[1].str() + " /qn");
    ASSERT_EQ(0, removed.Status) << removed.Output;
    EXPECT_NE(0, access(folder.c_str(), F_OK)) << "the installed folder stayed";
    EXPECT_TRUE(shortcuts().empty());
    EXPECT_EQ("", InstalledEntries());
    EXPECT_EQ(settings, ReadFile(saved[0]));
}

} // namespace
