// The embedded default server of ./run, started by its own script in a data
// directory of its own: it holds accounts without passwords, so nobody but
// its owner may reach it.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "Desktop.h"
#include "VintrelProcess.h"

using namespace e2e;

namespace {

TEST(EmbeddedServer, ListensOnItsOwnersSocketOnlyAndAdmitsTheOwner)
{
    char pattern[] = "/tmp/vintrel-embedded.XXXXXX";
    std::string home = mkdtemp(pattern);
    std::string script = BuildDirectory() + "/../scripts/embedded-server.sh";
    std::string env = "XDG_DATA_HOME=" + Quote(home) + " ";
    // A directory left by an earlier version, readable by everybody.
    e2e::Run("mkdir -p " + Quote(home + "/vintrel") + " && chmod 755 " + Quote(home + "/vintrel"));
    ASSERT_EQ(0, e2e::Run(env + Quote(script) + " start 2>&1").Status);
    std::string socket = RunLine(env + Quote(script) + " socket");

    struct stat directory = {};
    ASSERT_EQ(0, stat((home + "/vintrel").c_str(), &directory));
    EXPECT_EQ(0700u, directory.st_mode & 0777);
    std::string client = "mariadb --no-defaults --batch --skip-column-names --socket=" + Quote(socket);
    // No TCP at all: root and the owner's passwordless accounts cannot be
    // reached from another user's process over the network.
    EXPECT_EQ("1", RunLine(client + " -uroot -e 'select @@skip_networking'"));
    // As the README says: the owner logs in through the socket.
    EXPECT_EQ("8", RunLine(client + " -u\"$(id -un)\" -e 'select count(*) from demo.customers'"));

    e2e::Run(env + Quote(script) + " stop");
    e2e::Run("rm -rf " + Quote(home));
}

} // namespace
