#include "support/pg_cluster.h"

#include <fcntl.h>
#include <glob.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

namespace quorvel::testing {

namespace {

constexpr int kPort = 5432;

std::vector<std::string> globbed(const std::string& pattern) {
    std::vector<std::string> out;
    glob_t found{};
    if (::glob(pattern.c_str(), 0, nullptr, &found) == 0) {
        for (std::size_t i = 0; i < found.gl_pathc; ++i) out.emplace_back(found.gl_pathv[i]);
    }
    ::globfree(&found);
    return out;
}

std::string firstOf(const std::vector<std::string>& patterns, bool last = false) {
    for (const auto& pattern : patterns) {
        auto found = globbed(pattern);
        if (!found.empty()) return last ? found.back() : found.front();
    }
    return {};
}

void writeFile(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

}  // namespace

PgCluster& PgCluster::shared() {
    static PgCluster* cluster = new PgCluster();  // lives until the program ends; the watchdog cleans up
    return *cluster;
}

PgCluster::PgCluster() { create(); }

void PgCluster::create() {
    std::string initdb = firstOf({"/usr/lib/postgresql/*/bin/initdb"}, true);
    std::string driver = firstOf({"/usr/lib/*/odbc/psqlodbcw.so", "/usr/lib/odbc/psqlodbcw.so",
                                  "/usr/lib64/psqlodbcw.so", "/usr/local/lib/psqlodbcw.so"});
    if (initdb.empty() || driver.empty()) {
        problem_ =
            "the PostgreSQL server or its ODBC driver is not installed (scripts/setup.sh installs them)";
        return;
    }
    bin_ = initdb.substr(0, initdb.size() - std::string("/initdb").size());
    root_ = ::geteuid() == 0;

    char folder[] = "/tmp/quorvel-pg.XXXXXX";
    if (::mkdtemp(folder) == nullptr) {
        problem_ = "no temporary folder";
        return;
    }
    folder_ = folder;
    if (root_) {
        // initdb refuses root: the server runs as the system user the
        // package made, owning the folder.
        const passwd* owner = ::getpwnam("postgres");
        if (owner == nullptr || ::chown(folder, owner->pw_uid, owner->pw_gid) != 0) {
            problem_ = "running as root, and there is no 'postgres' user to run the server";
            return;
        }
    }
    writeFile(folder_ + "/pw", kPassword);
    writeFile(folder_ + "/odbcinst.ini", "[" + std::string(kDriver) + "]\nDriver=" + driver + "\n");
    writeFile(folder_ + "/odbc.ini", "[QuorvelList]\nDriver=" + std::string(kDriver) + "\nServername=" +
                                         folder_ + "\nPort=" + std::to_string(kPort) + "\n");
    ::chmod((folder_ + "/pw").c_str(), 0644);
    ::setenv("ODBCSYSINI", folder_.c_str(), 1);

    // The watchdog waits for the end of this program (its pipe closes) and
    // then stops the server and removes the folder.
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) {
        problem_ = "no pipe for the watchdog";
        return;
    }
    std::string cleanup = (root_ ? "runuser -u postgres -- " : "") + bin_ + "/pg_ctl -D " + folder_ +
                          "/data -m immediate -s stop >/dev/null 2>&1; rm -rf " + folder_;
    pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[1]);
        char byte;
        while (::read(pipeEnds[0], &byte, 1) > 0) {}
        ::execl("/bin/sh", "sh", "-c", cleanup.c_str(), static_cast<char*>(nullptr));
        ::_exit(1);
    }
    ::close(pipeEnds[0]);
    ::fcntl(pipeEnds[1], F_SETFD, FD_CLOEXEC);  // the server must not hold it
    watchdogPipe_ = pipeEnds[1];
    watchdog_ = child;

    std::string data = folder_ + "/data";
    if (asOwner(bin_ + "/initdb -D " + data + " -U " + kUser + " --pwfile=" + folder_ +
                "/pw -A scram-sha-256 -E UTF8 --no-locale --no-sync --no-instructions >" + folder_ +
                "/initdb.log 2>&1") != 0) {
        problem_ = "initdb failed (see " + folder_ + "/initdb.log)";
        return;
    }
    std::ofstream(data + "/postgresql.conf", std::ios::app)
        << "listen_addresses = ''\nunix_socket_directories = '" << folder_ << "'\nport = " << kPort
        << "\nfsync = off\nfull_page_writes = off\nsynchronous_commit = off\nshared_buffers = 32MB\n"
           "max_connections = 30\n";
    start();
}

int PgCluster::asOwner(const std::string& command) const {
    std::string script = folder_ + "/command.sh";
    writeFile(script, command + "\n");
    ::chmod(script.c_str(), 0644);
    int status = std::system(((root_ ? "runuser -u postgres -- /bin/sh " : "/bin/sh ") + script).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void PgCluster::start() {
    ready_ = asOwner(bin_ + "/pg_ctl -D " + folder_ + "/data -l " + folder_ +
                     "/server.log -w -t 30 -s start") == 0;
    if (!ready_) problem_ = "the server did not start (see " + folder_ + "/server.log)";
}

void PgCluster::stop() {
    asOwner(bin_ + "/pg_ctl -D " + folder_ + "/data -m fast -w -s stop");
    ready_ = false;
}

void PgCluster::shutdown() {
    if (watchdog_ <= 0) return;
    ::close(watchdogPipe_);
    int status = 0;
    ::waitpid(watchdog_, &status, 0);
    watchdog_ = -1;
    ready_ = false;
}

std::string PgCluster::connect(const std::string& database, const std::string& password) const {
    std::string out = "ODBC;DRIVER={" + std::string(kDriver) + "};SERVER=" + folder_ +
                      ";PORT=" + std::to_string(kPort) + ";UID=" + kUser + ";PWD={" + password + "};";
    if (!database.empty()) out += "DATABASE=" + database + ";";
    return out;
}

std::string PgCluster::psql(const std::string& database, const std::string& sql) const {
    std::string file = folder_ + "/statements.sql";
    writeFile(file, sql);
    std::string command =
        "PGPASSWORD=" + quoted(kPassword) + " " + bin_ + "/psql -X -q -At -v ON_ERROR_STOP=1 -h " + folder_ +
        " -p " + std::to_string(kPort) + " -U " + kUser + " -d " + database + " -f " + file + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string out;
    std::array<char, 4096> buffer{};
    std::size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) out.append(buffer.data(), n);
    int status = ::pclose(pipe);
    EXPECT_EQ(status, 0) << "psql failed: " << out;
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

void PgCluster::recreate(const std::string& database, const std::string& sql) const {
    psql("postgres",
         "DROP DATABASE IF EXISTS " + database + " WITH (FORCE); CREATE DATABASE " + database + ";");
    psql(database, sql);
}

void PgClusterEnvironment::SetUp() {
    PgCluster& cluster = PgCluster::shared();
    if (!cluster.ready())
        std::fprintf(stderr, "No PostgreSQL cluster for the server tests: %s\n", cluster.problem().c_str());
}

void PgClusterEnvironment::TearDown() { PgCluster::shared().shutdown(); }

}  // namespace quorvel::testing
