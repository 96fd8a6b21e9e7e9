// sorvane: command-line host of the GPS control.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "link/product_identification.h"
#include "link/serial_port.h"

namespace {

constexpr const char* kUsage = R"(Usage: sorvane <command> [options]

Commands:
  identify [--port N]   ask the receiver on port N (default 1) who it is and
                        print its product ID, software version and description
  --help                show this text

Port N (1 to 9) is the device named by $SORVANE_COMN, else by the line COMN=
in $XDG_CONFIG_HOME/sorvane/ports.conf, else /dev/ttyS<N-1>.
)";

int Identify(int argc, char** argv) {
    sorvane::PortSettings settings;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--port" && i + 1 < argc) {
            char* end = nullptr;
            const long n = std::strtol(argv[++i], &end, 10);
            if (*argv[i] == '\0' || *end != '\0' || n < 0 || n > 255) {
                std::fprintf(stderr, "sorvane: bad port number: %s\n", argv[i]);
                return 2;
            }
            settings.port = static_cast<std::uint8_t>(n);
        } else if (arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else {
            std::fprintf(stderr, "sorvane: unknown option for identify: %s\n", argv[i]);
            return 2;
        }
    }

    const std::string device = sorvane::PortDevicePath(settings.port);
    if (device.empty()) {
        std::fprintf(stderr, "sorvane: port %d names no device (ports are 1 to 9)\n",
                     settings.port);
        return 1;
    }
    const sorvane::ProductIdentification id = sorvane::ReadProductID(settings);
    if (!id.ok) {
        if (id.errorCode != 0) {
            std::fprintf(stderr, "sorvane: identification on port %d (%s) failed: %s\n",
                         settings.port, device.c_str(), std::strerror(id.errorCode));
        } else {
            std::fprintf(stderr, "sorvane: no answer from a receiver on port %d (%s)\n",
                         settings.port, device.c_str());
        }
        return 1;
    }
    std::printf("Product ID: %d\n", id.productId);
    std::printf("Software version: %d\n", id.softwareVersion);
    std::printf("Description: %s\n", id.description.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string_view command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command == "identify")
        return Identify(argc, argv);
    std::fprintf(stderr, "sorvane: unknown command: %s\nTry 'sorvane --help'.\n", argv[1]);
    return 2;
}
