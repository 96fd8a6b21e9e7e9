// The port map file (ports.conf) as a user or anything else may have left it.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "link/serial_port.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (int n = 0; n <= 10; ++n) {
        const std::string device = sorvane::PortMapDevice(text, "COM" + std::to_string(n));
        // A device is a trimmed value of one line.
        if (!device.empty() && (device.find('\n') != std::string::npos || device.front() == ' ' ||
                                device.back() == ' ' || device.back() == '\r'))
            std::abort();
    }
    return 0;
}
