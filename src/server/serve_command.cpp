// velmora serve: runs a generated application with PHP's built-in web server.
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "server/commands.h"

namespace velmora::cli {
namespace fs = std::filesystem;

int Serve(const ServeOptions& options) {
    std::error_code ec;
    fs::path app = fs::absolute(options.app, ec);
    if (ec || !fs::is_directory(app)) {
        std::cerr << "No application folder " << options.app << "\n";
        return kExitFailure;
    }
    // The application's router keeps its libraries, descriptions and database from being served.
    fs::path router = app / "router.php";
    if (!fs::is_regular_file(router)) {
        std::cerr << app.string() << " has no router.php: it was not generated with a package that runs under "
                  << "PHP's built-in server.\n";
        return kExitFailure;
    }
    if (options.port < 1 || options.port > 65535) {
        std::cerr << "Port " << options.port << " is out of range (1 to 65535)\n";
        return kExitUsage;
    }
    std::string address = options.host + ":" + std::to_string(options.port);
    std::cout << "Serving " << app.string() << " at http://" << address << "/ (Ctrl-C stops)" << std::endl;

    std::vector<std::string> args = {options.php, "-S", address, "-t", app.string(), router.string()};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    std::cerr << "Cannot run " << options.php << ": " << std::strerror(errno)
              << ". Install PHP 8 (Debian: apt-get install php-cli php-sqlite3 php-pgsql php-mysql).\n";
    return kExitFailure;
}

}  // namespace velmora::cli
