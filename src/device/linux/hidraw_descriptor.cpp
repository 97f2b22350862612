// SPDX-License-Identifier: GPL-2.0-or-later
#include "device/linux/hidraw_descriptor.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace vantorel {

std::vector<std::uint8_t> read_hidraw_descriptor(const std::string& devnode) {
    const int fd = ::open(devnode.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return {};
    std::vector<std::uint8_t> out;
    int size = 0;
    hidraw_report_descriptor rd{};
    if (::ioctl(fd, HIDIOCGRDESCSIZE, &size) == 0 && size > 0 && size <= HID_MAX_DESCRIPTOR_SIZE) {
        rd.size = static_cast<std::uint32_t>(size);
        if (::ioctl(fd, HIDIOCGRDESC, &rd) == 0) out.assign(rd.value, rd.value + size);
    }
    ::close(fd);
    return out;
}

}  // namespace vantorel
